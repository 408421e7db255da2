#include "lab/host/lab_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "lab/host/lab_os.h"
#include "lab/host/names.h"
#include "lab/record/text.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* k_settings_magic = "mvbridge-lab lab 1";
constexpr size_t k_max_state_file = 64u << 20;

std::string names_dir(const std::string& dir) { return dir + "/names"; }
std::string bridges_dir(const std::string& dir) { return dir + "/bridges"; }
std::string name_path(const std::string& dir, const std::string& name) { return names_dir(dir) + "/" + name; }
std::string bridge_path(const std::string& dir, const std::string& id) {
    return lab_bridge_file_path(dir, id, "state");
}

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
}

// Ids are file names: letters, digits and '-' only.
bool valid_id(const std::string& id) {
    if (id.empty() || id.size() > 32) return false;
    for (const char c : id) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok) return false;
    }
    return true;
}

bool read_file(const std::string& path, std::string* content, size_t limit) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    content->clear();
    char buffer[16384];
    size_t got = 0;
    bool ok = true;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (content->size() + got > limit) {
            ok = false;
            break;
        }
        content->append(buffer, got);
    }
    if (std::ferror(file) != 0) ok = false;
    (void)std::fclose(file);  // read only: nothing to lose
    return ok;
}

bool write_file_atomically(const std::string& path, const std::string& content) {
    const std::string temp = path + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || !lab_replace_file(temp, path)) {
        (void)std::remove(temp.c_str());  // a stray .tmp is never read; the write already failed
        return false;
    }
    return true;
}

}  // namespace

const char* const k_crash_points[] = {"name_written", "record_saved", nullptr};

void lab_crash_point(const std::string& dir, const char* point) {
    lab_settings settings;
    if (lab_load_settings(dir, &settings, nullptr) && settings.crash_point == point) std::_Exit(137);
}

std::string lab_settings_path(const std::string& dir) { return dir + "/lab.conf"; }
std::string lab_lock_path(const std::string& dir) { return dir + "/lab.lock"; }
std::string lab_trace_path(const std::string& dir) { return dir + "/trace.log"; }
std::string lab_bridge_lock_path(const std::string& dir, const std::string& id) {
    return lab_bridge_file_path(dir, id, "lock");
}
std::string lab_bridge_hold_path(const std::string& dir, const std::string& id) {
    return lab_bridge_file_path(dir, id, "hold");
}
std::string lab_bridge_file_path(const std::string& dir, const std::string& id, const std::string& suffix) {
    return bridges_dir(dir) + "/" + id + "." + suffix;
}

bool lab_exists(const std::string& dir) {
    std::error_code ec;
    return fs::is_regular_file(lab_settings_path(dir), ec);
}

bool lab_init(const std::string& dir, std::string* error) {
    std::error_code ec;
    if (lab_exists(dir)) return true;
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir, ec)) return fail(error, dir + ": not a directory");
        if (!fs::is_empty(dir, ec)) return fail(error, dir + ": not a lab directory (no lab.conf) and not empty");
    }
    fs::create_directories(names_dir(dir), ec);
    if (ec) return fail(error, dir + ": cannot create the lab: " + ec.message());
    fs::create_directories(bridges_dir(dir), ec);
    if (ec) return fail(error, dir + ": cannot create the lab: " + ec.message());
    // Two processes making the same lab at once: the second finds the first's settings.
    lab_lock_owner lock(lab_lock_path(dir));
    lab_lock_guard guard(lock.get());
    if (lab_exists(dir)) return true;
    lab_settings settings;
    settings.anchor_real_ms = lab_real_now_ms();
    settings.anchor_lab_ms = settings.anchor_real_ms;
    return lab_save_settings(dir, settings, error);
}

std::string lab_settings_text(const lab_settings& settings) {
    std::string content = std::string(k_settings_magic) + "\n";
    content += std::string("trace ") + (settings.trace ? "on" : "off") + "\n";
    content += "time_factor " + std::to_string(settings.time_factor) + "\n";
    if (settings.step_time) content += "time_mode step\n";
    content += "anchor_real_ms " + std::to_string(settings.anchor_real_ms) + "\n";
    content += "anchor_lab_ms " + std::to_string(settings.anchor_lab_ms) + "\n";
    if (!settings.crash_point.empty()) content += "crash_point " + settings.crash_point + "\n";
    return content;
}

bool lab_parse_settings(const std::string& content, lab_settings* settings, std::string* why) {
    *settings = lab_settings{};
    size_t pos = 0;
    bool first = true;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) return fail(why, "unterminated line");
        const std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != k_settings_magic) return fail(why, "not a lab settings file");
            first = false;
            continue;
        }
        const std::vector<std::string> words = split_words(line);
        bool ok = words.size() == 2;
        if (ok && words[0] == "trace") {
            ok = words[1] == "on" || words[1] == "off";
            settings->trace = words[1] == "on";
        } else if (ok && words[0] == "time_factor") {
            ok = parse_u32(words[1], &settings->time_factor) && settings->time_factor != 0;
        } else if (ok && words[0] == "time_mode") {
            ok = words[1] == "step" || words[1] == "real";
            settings->step_time = words[1] == "step";
        } else if (ok && words[0] == "anchor_real_ms") {
            ok = parse_i64(words[1], &settings->anchor_real_ms);
        } else if (ok && words[0] == "anchor_lab_ms") {
            ok = parse_i64(words[1], &settings->anchor_lab_ms);
        } else if (ok && words[0] == "crash_point") {
            uint32_t point = 0;
            ok = choice_value(k_crash_points, words[1], &point);
            settings->crash_point = words[1];
        } else {
            ok = false;
        }
        if (!ok) return fail(why, "'" + line + "'");
    }
    if (first) return fail(why, "empty");
    return true;
}

bool lab_load_settings(const std::string& dir, lab_settings* settings, std::string* error) {
    std::string content;
    if (!lab_exists(dir)) return fail(error, dir + ": not a lab directory (no lab.conf)");
    if (!read_file(lab_settings_path(dir), &content, 1u << 16)) return fail(error, dir + ": cannot read lab.conf");
    std::string why;
    if (!lab_parse_settings(content, settings, &why)) return fail(error, dir + ": lab.conf is corrupt (" + why + ")");
    return true;
}

bool lab_save_settings(const std::string& dir, const lab_settings& settings, std::string* error) {
    if (!write_file_atomically(lab_settings_path(dir), lab_settings_text(settings))) {
        return fail(error, dir + ": cannot write lab.conf");
    }
    return true;
}

// Each step is held at the limits instead of overflowing, and lab time never runs before
// 0: anchors and a factor far beyond what the lab writes (a damaged or edited lab.conf)
// still give a clock, only a stopped one.
int64_t lab_time_at_ms(const lab_settings& settings, int64_t real_now_ms) {
    if (settings.step_time) return settings.anchor_lab_ms < 0 ? 0 : settings.anchor_lab_ms;
    int64_t elapsed = 0;
    if (__builtin_sub_overflow(real_now_ms, settings.anchor_real_ms, &elapsed)) {
        elapsed = real_now_ms < settings.anchor_real_ms ? INT64_MIN : INT64_MAX;
    }
    int64_t scaled = 0;
    if (__builtin_mul_overflow(elapsed, static_cast<int64_t>(settings.time_factor), &scaled)) {
        scaled = elapsed < 0 ? INT64_MIN : INT64_MAX;
    }
    int64_t now = 0;
    if (__builtin_add_overflow(settings.anchor_lab_ms, scaled, &now)) now = scaled < 0 ? INT64_MIN : INT64_MAX;
    return now < 0 ? 0 : now;
}

int64_t lab_time_ms(const lab_settings& settings) { return lab_time_at_ms(settings, lab_real_now_ms()); }

uint64_t lab_sleep_real_us(const lab_settings& settings, uint32_t milliseconds) {
    if (settings.step_time) return 0;
    return static_cast<uint64_t>(milliseconds) * 1000u / (settings.time_factor != 0 ? settings.time_factor : 1);
}

void lab_set_time_factor(lab_settings& settings, uint32_t factor) {
    const int64_t now_lab = lab_time_ms(settings);
    settings.anchor_real_ms = lab_real_now_ms();
    settings.anchor_lab_ms = now_lab;
    settings.time_factor = factor;
}

void lab_set_step_time(lab_settings& settings, bool step) {
    const int64_t now_lab = lab_time_ms(settings);
    settings.anchor_real_ms = lab_real_now_ms();
    settings.anchor_lab_ms = now_lab;
    settings.step_time = step;
}

void lab_step_time(lab_settings& settings, uint32_t milliseconds) {
    if (!settings.step_time) return;
    int64_t now = lab_time_at_ms(settings, 0);
    if (__builtin_add_overflow(now, static_cast<int64_t>(milliseconds), &now)) now = INT64_MAX;
    settings.anchor_lab_ms = now;
}

bool lab_parse_name_entry(const std::string& content, name_entry* entry) {
    const std::vector<std::string> words = split_words(content.substr(0, content.find('\n')));
    if (words.size() != 2 || (words[0] != "bridge" && words[0] != "cdrom") || !valid_id(words[1])) return false;
    entry->cdrom = words[0] == "cdrom";
    entry->id = words[1];
    return true;
}

bool lab_read_name(const std::string& dir, const std::string& name, name_entry* entry) {
    std::string content;
    return read_file(name_path(dir, name), &content, 256) && lab_parse_name_entry(content, entry);
}

bool lab_name_damaged(const std::string& dir, const std::string& name, std::string* error) {
    name_entry entry;
    std::error_code ec;
    if (!fs::exists(name_path(dir, name), ec) || lab_read_name(dir, name, &entry)) return false;
    if (error != nullptr) *error = name_path(dir, name) + ": damaged name file";
    return true;
}

bool lab_write_name(const std::string& dir, const std::string& name, const name_entry& entry) {
    return write_file_atomically(name_path(dir, name),
                                 std::string(entry.cdrom ? "cdrom " : "bridge ") + entry.id + "\n");
}

void lab_remove_name(const std::string& dir, const std::string& name) {
    // A name already gone is what was asked for.
    (void)std::remove(name_path(dir, name).c_str());
}

bool lab_name_taken(const std::string& dir, const std::string& name, name_entry* entry) {
    if (!lab_read_name(dir, name, entry)) return false;
    if (entry->cdrom) return true;
    bridge_record record;
    if (!lab_load_bridge(dir, entry->id, &record, nullptr)) return true;
    return record.state.name == name;
}

std::vector<std::pair<std::string, name_entry>> lab_list_names(const std::string& dir) {
    std::vector<std::pair<std::string, name_entry>> names;
    for (const std::string& name : lab_all_names()) {
        name_entry entry;
        if (lab_name_taken(dir, name, &entry)) names.emplace_back(name, entry);
    }
    return names;
}

bool lab_bridge_exists(const std::string& dir, const std::string& id) {
    std::error_code ec;
    return fs::exists(bridge_path(dir, id), ec);
}

bool lab_load_bridge(const std::string& dir, const std::string& id, bridge_record* record, std::string* error) {
    if (!valid_id(id)) return fail(error, "bad device id '" + id + "'");
    const std::string path = bridge_path(dir, id);
    std::string content;
    if (!read_file(path, &content, k_max_state_file)) return fail(error, path + ": cannot read the device state");
    record->id = id;
    record->memories.dir = dir;
    std::string why;
    if (!decode_bridge(content, record, &why)) return fail(error, path + ": corrupt device state (" + why + ")");
    // A file of the older form had its flash areas moved into the flash file: save it in
    // the present form. A process killed before this save moves the same bytes again.
    if (record->dirty) return lab_save_bridge(dir, *record, error);
    return true;
}

bool lab_save_bridge(const std::string& dir, bridge_record& record, std::string* error) {
    if (!valid_id(record.id)) return fail(error, "bad device id '" + record.id + "'");
    const std::string path = bridge_path(dir, record.id);
    if (!write_file_atomically(path, encode_bridge(record)))
        return fail(error, path + ": cannot write the device state");
    record.dirty = false;
    return true;
}

void lab_append_trace(const std::string& dir, const std::string& line) {
    std::FILE* file = std::fopen(lab_trace_path(dir).c_str(), "ab");
    if (file == nullptr) return;
    const std::string text = line + "\n";
    // One write call per line keeps lines of concurrent processes whole.
    // The trace is a record for the reader, best effort: a line the disk refuses is lost and
    // the device's answer does not wait on it.
    std::setvbuf(file, nullptr, _IOFBF, text.size() + 1);
    (void)std::fwrite(text.data(), 1, text.size(), file);
    (void)std::fclose(file);
}
