#include "lab/record/state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "lab/host/names.h"
#include "lab/model/bridge/bridge_fields.h"
#include "lab/model/disk/disk_fields.h"
#include "lab/model/flash/flash_fields.h"
#include "lab/model/led/led_fields.h"
#include "lab/model/nvme/nvme_fields.h"
#include "lab/model/pins/pin_fields.h"
#include "lab/record/text.h"

namespace {

constexpr const char* k_magic = "mvbridge-lab bridge 1";
constexpr size_t k_max_header = 1u << 20;

// The record's own key: the fault rules.
std::span<const persisted_field> record_fields() {
    static const persisted_field rows[] = {
        {"fault", "faults", false, fault_list_field{[](bridge_record & record) -> auto& {return record.faults;
}
}  // namespace
}
,
}
;
return rows;
}

// The families' rows in the order the state file and `show` list them.
const std::vector<persisted_field>& all_fields() {
    static const std::vector<persisted_field> fields = [] {
        const std::span<const persisted_field> families[] = {
            bridge_identity_fields(), disk_fields(), bridge_fields(), pin_fields(),
            record_fields(),          nvme_fields(), led_fields(),    disk_memory_fields(),
            flash_fields(),
        };
        std::vector<persisted_field> all;
        for (const std::span<const persisted_field> rows : families) all.insert(all.end(), rows.begin(), rows.end());
        return all;
    }();
    return fields;
}

// Flash areas that state files kept as binary sections before the memories had files of
// their own; loading such a file moves their bytes into the flash.
struct legacy_blob {
    const char* key;
    uint64_t flash_offset;
    uint32_t size;
};
constexpr legacy_blob k_legacy_blobs[] = {
    {"flash_pg", k_flash_pg_sector, k_flash_sector_size},
    {"cust_page", k_flash_cust_page, k_cust_page_size},
};

const legacy_blob* find_legacy_blob(const std::string& key) {
    for (const legacy_blob& blob : k_legacy_blobs) {
        if (key == blob.key) return &blob;
    }
    return nullptr;
}

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

bool printable(const std::string& text) {
    for (const char c : text) {
        if (c < ' ' || c > '~') return false;
    }
    return true;
}

struct set_visitor {
    bridge_record& record;
    const std::string& key;
    const std::string& value;
    std::string* error;

    bool operator()(const u32_field& f) const {
        uint32_t number = 0;
        if (!parse_u32(value, &number)) return fail(error, key + " needs a number, not '" + value + "'");
        if (number > f.max) return fail(error, key + " is at most " + std::to_string(f.max));
        if (number < f.min) return fail(error, key + " is at least " + std::to_string(f.min));
        f.at(record) = number;
        return true;
    }
    bool operator()(const i64_field& f) const {
        int64_t number = 0;
        if (!parse_i64(value, &number)) return fail(error, key + " needs a number, not '" + value + "'");
        if (number < f.min || number > f.max) {
            return fail(error, key + " is from " + std::to_string(f.min) + " to " + std::to_string(f.max));
        }
        f.at(record) = number;
        return true;
    }
    bool operator()(const text_field& f) const {
        if (!printable(value)) return fail(error, key + " takes printable ASCII text");
        if (value.size() < f.min_len || value.size() > f.max_len) {
            return fail(error, f.min_len == f.max_len
                                   ? key + " is exactly " + std::to_string(f.max_len) + " characters"
                                   : key + " is at most " + std::to_string(f.max_len) + " characters");
        }
        if (f.check != nullptr && !f.check(value)) return fail(error, key + " cannot be '" + value + "'");
        f.at(record) = value;
        return true;
    }
    bool operator()(const choice_field& f) const {
        if (choice_value(f.names, value, &f.at(record))) return true;
        return fail(error, key + " is one of " + choice_list(f.names));
    }
    bool operator()(const register_map_field&) const { return fail(error, key + " cannot be set"); }
    bool operator()(const fault_list_field&) const { return fail(error, key + " cannot be set"); }
    bool operator()(const custom_field& f) const {
        if (f.set == nullptr) return fail(error, key + " cannot be set");
        return f.set(record, value, error);
    }
};

// Hex fields of 16 bits show four digits, wider ones eight.
std::string number_text(const u32_field& f, uint32_t value) {
    if (!f.hex) return std::to_string(value);
    return hex_number(value, f.max > 0xFFFF ? 8 : 4);
}

// Writes the header lines of one field.
struct encode_visitor {
    bridge_record& record;
    const char* key;
    std::string& out;

    void line(const std::string& value) const { out += std::string(key) + " " + value + "\n"; }
    void operator()(const u32_field& f) const { line(number_text(f, f.at(record))); }
    void operator()(const i64_field& f) const { line(std::to_string(f.at(record))); }
    void operator()(const text_field& f) const { line(escape_text(f.at(record))); }
    void operator()(const choice_field& f) const { line(choice_name(f.names, f.at(record))); }
    void operator()(const register_map_field& f) const {
        for (const auto& [offset, value] : f.at(record)) line(hex_number(offset, 8) + " " + hex_number(value, 8));
    }
    void operator()(const fault_list_field& f) const {
        for (const fault_rule& rule : f.at(record)) line(fault_encode(rule));
    }
    void operator()(const custom_field& f) const {
        for (const std::string& value : f.encode(record)) line(value);
    }
};

// Reads one header line's value into the field.
struct decode_visitor {
    bridge_record& record;
    const std::string& key;
    const std::string& value;
    std::string* error;

    bool operator()(const text_field&) const {
        std::string text;
        if (!unescape_text(value, &text)) return fail(error, "bad escape in " + key);
        return std::visit(set_visitor{record, key, text, error}, find_field(key)->type);
    }
    bool operator()(const register_map_field& f) const {
        const std::vector<std::string> words = split_words(value);
        uint32_t offset = 0;
        uint32_t number = 0;
        if (words.size() != 2 || !parse_u32(words[0], &offset) || !parse_u32(words[1], &number)) {
            return fail(error, "bad register line");
        }
        f.at(record)[offset] = number;
        return true;
    }
    bool operator()(const fault_list_field& f) const {
        fault_rule rule;
        if (!fault_decode(value, &rule, error)) return false;
        f.at(record).push_back(rule);
        return true;
    }
    bool operator()(const custom_field& f) const { return f.decode(record, value, error); }
    template <class T>
    bool operator()(const T&) const {
        return std::visit(set_visitor{record, key, value, error}, find_field(key)->type);
    }
};

// A moment of lab time as seen from `now_ms`.
std::string lab_time_text(int64_t moment_ms, int64_t now_ms) {
    if (moment_ms == INT64_MAX) return "never";
    if (moment_ms <= now_ms) return "past";
    return "in " + std::to_string(moment_ms - now_ms) + " ms";
}

struct show_visitor {
    bridge_record& record;
    int64_t now_ms;

    std::string operator()(const u32_field& f) const { return number_text(f, f.at(record)); }
    std::string operator()(const i64_field& f) const {
        return f.lab_time ? lab_time_text(f.at(record), now_ms) : std::to_string(f.at(record));
    }
    std::string operator()(const text_field& f) const { return "\"" + f.at(record) + "\""; }
    std::string operator()(const choice_field& f) const { return choice_name(f.names, f.at(record)); }
    std::string operator()(const register_map_field& f) const {
        std::string out;
        for (const auto& [offset, value] : f.at(record)) {
            out += (out.empty() ? "" : ", ") + hex_number(offset, 8) + "=" + hex_number(value, 8);
        }
        return out.empty() ? "none written" : out;
    }
    std::string operator()(const fault_list_field& f) const { return std::to_string(f.at(record).size()) + " rules"; }
    std::string operator()(const custom_field& f) const { return f.show(record); }
};

struct announced_blob {
    const legacy_blob* blob;
    size_t length;
};

// Moves the bytes of older binary sections into the flash; an area still erased is
// left alone, so that loading makes no flash file for it.
bool move_legacy_blobs(const std::string& content, size_t pos, const std::vector<announced_blob>& blobs,
                       bridge_record* record, std::string* error) {
    for (const announced_blob& announced : blobs) {
        const char* bytes = content.data() + pos;
        pos += announced.length;
        if (std::all_of(bytes, bytes + announced.length, [](char c) { return static_cast<uint8_t>(c) == 0xFF; })) {
            continue;
        }
        if (!memory_write(*record, lab_memory::flash, announced.blob->flash_offset, bytes, announced.length)) {
            return fail(error, std::string("cannot move ") + announced.blob->key + " into the flash");
        }
    }
    return true;
}

}  // namespace

const char* choice_name(const char* const* names, uint32_t value) {
    for (uint32_t i = 0; names[i] != nullptr; ++i) {
        if (i == value) return names[i];
    }
    return "?";
}

std::string choice_list(const char* const* names) {
    std::string out;
    for (int i = 0; names[i] != nullptr; ++i) out += std::string(i != 0 ? "|" : "") + names[i];
    return out;
}

bool choice_value(const char* const* names, const std::string& name, uint32_t* value) {
    for (uint32_t i = 0; names[i] != nullptr; ++i) {
        if (name == names[i]) {
            *value = i;
            return true;
        }
    }
    return false;
}

const std::vector<persisted_field>& persisted_fields() { return all_fields(); }

const persisted_field* find_field(const std::string& key) {
    for (const persisted_field& field : all_fields()) {
        if (key == field.key) return &field;
    }
    return nullptr;
}

bool field_set_text(bridge_record& record, const persisted_field& field, const std::string& value, std::string* error) {
    return std::visit(set_visitor{record, field.key, value, error}, field.type);
}

std::string field_show_text(bridge_record& record, const persisted_field& field, int64_t now_ms) {
    return std::visit(show_visitor{record, now_ms}, field.type);
}

std::string encode_bridge(bridge_record& record) {
    std::string out = std::string(k_magic) + "\n";
    for (const persisted_field& field : all_fields()) std::visit(encode_visitor{record, field.key, out}, field.type);
    out += "data\n";
    return out;
}

bool decode_bridge(const std::string& content, bridge_record* record, std::string* error) {
    const std::string id = record->id;
    memory_home memories = std::move(record->memories);
    *record = bridge_record{};
    record->id = id;
    record->memories = std::move(memories);

    size_t pos = 0;
    bool first_line = true;
    bool have_data = false;
    std::vector<announced_blob> blobs;
    const std::vector<persisted_field>& fields = all_fields();
    std::vector<bool> seen(fields.size(), false);
    size_t line_number = 0;
    while (pos < content.size() && pos < k_max_header) {
        const size_t end = content.find('\n', pos);
        if (end == std::string::npos) break;
        if (end >= k_max_header) return fail(error, "header longer than " + std::to_string(k_max_header) + " bytes");
        const std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        const std::string where = "line " + std::to_string(line_number) + ": ";
        if (first_line) {
            if (line != k_magic) return fail(error, "not a lab bridge state file");
            first_line = false;
            continue;
        }
        if (line == "data") {
            have_data = true;
            break;
        }
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (key == "blob") {
            const std::vector<std::string> words = split_words(value);
            const legacy_blob* blob = words.size() == 2 ? find_legacy_blob(words[0]) : nullptr;
            uint32_t length = 0;
            if (blob == nullptr || !parse_u32(words[1], &length)) return fail(error, where + "bad blob line");
            if (length != blob->size) return fail(error, where + "blob " + words[0] + " has a wrong length");
            for (const announced_blob& earlier : blobs) {
                if (earlier.blob == blob) return fail(error, where + "blob " + words[0] + " announced twice");
            }
            blobs.push_back({blob, length});
            continue;
        }
        const persisted_field* field = find_field(key);
        if (field == nullptr) return fail(error, where + "unknown key '" + key + "'");
        seen[static_cast<size_t>(field - fields.data())] = true;
        std::string why;
        if (!std::visit(decode_visitor{*record, key, value, &why}, field->type)) return fail(error, where + why);
    }
    if (first_line) return fail(error, "empty state file");
    if (!have_data) return fail(error, "state file ends before its data");

    size_t total = 0;
    for (const announced_blob& blob : blobs) total += blob.length;
    if (content.size() - pos != total) return fail(error, "binary sections do not match their lengths");
    // A bridge's identity is never a default: a file without one of its keys is damaged.
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!seen[i] && std::strcmp(fields[i].section, "identity") == 0) {
            return fail(error, std::string("missing key '") + fields[i].key + "'");
        }
    }
    if (!lab_name_is_canonical(record->state.name)) return fail(error, "state file has no valid name");
    if (!move_legacy_blobs(content, pos, blobs, record, error)) return false;
    record->dirty = !blobs.empty();
    return true;
}
