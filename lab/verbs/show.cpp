// `show`: the lab's settings and devices. `show NAME [SECTION]`: a readable summary of a
// device: identity, disk, settings, state, registers, memory, pins, nvme, faults; `blocks` lists the
// command blocks it handles. `show NAME MEMORY [OFFSET [LENGTH]]` dumps a memory (flash, led,
// media) or a range of it in hex; `show NAME AREA` (flash_pg, cust_page, uuid_area) dumps
// one area of the flash; `show NAME leds [--color auto|always|never] [--svg FILE]` draws the LED memory
// (show_leds.cpp); `show NAME pg` lists the entries of the PG record.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "lab/host/lab_os.h"
#include "lab/model/block_table.h"
#include "lab/model/flash/flash.h"
#include "lab/model/bridge/identity.h"
#include "lab/model/memory.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/model/flash/restart.h"
#include "lab/host/names.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

namespace {

// `show NAME leds` and its options, in any order, each at most once.
int show_leds_verb(const std::string& name, const bridge_record& record, const verb_args& args) {
    colour_choice colour = colour_choice::auto_detect;
    bool colour_given = false;
    const std::string* svg = nullptr;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return verb_form_usage_of("show", "show NAME leds");
        if (args[i] == "--svg" && svg == nullptr) {
            svg = &args[i + 1];
        } else if (args[i] == "--color" && !colour_given && parse_colour_choice(args[i + 1], &colour)) {
            colour_given = true;
        } else {
            return verb_form_usage_of("show", "show NAME leds");
        }
    }
    return show_leds(name, record, svg, colour);
}

// A dump without LENGTH runs to the end of the memory, but no further than this.
constexpr uint64_t k_default_dump_limit = 16u << 20;
constexpr size_t k_dump_chunk = 64u << 10;
constexpr const char* k_sections[] = {"identity", "disk", "settings", "state", "registers",
                                      "memory",   "pins", "nvme",     "faults"};

bool load_device(const std::string& dir, const device_ref& ref, bridge_record* record, std::string* error) {
    lab_lock_owner lock(lab_bridge_lock_path(dir, ref.entry.id));
    lab_lock_guard guard(lock.get());
    if (!guard.held()) {
        *error = "cannot lock " + ref.name;
        return false;
    }
    return lab_load_bridge(dir, ref.entry.id, record, error);
}

std::string availability(const bridge_record& record, int64_t now_ms) {
    if (bridge_online(record, now_ms)) return "online";
    if (record.state.offline_until_ms == INT64_MAX) return "offline for good";
    return "offline, answers again in " + std::to_string(record.state.offline_until_ms - now_ms) + " ms";
}

std::string kind_text(const bridge_record& record) {
    return record.params.kind == k_kind_foreign ? "foreign USB disk" : "bridge";
}

void print_registers(const bridge_record& record) {
    const uint32_t base = lab_register_base(record);
    std::vector<uint32_t> offsets = {k_reg_offset_hotplug, k_reg_offset_chip_version, k_reg_offset_chip_identity};
    for (const auto& [offset, value] : record.state.registers) {
        (void)value;
        bool known = false;
        for (const uint32_t o : offsets) known = known || o == offset;
        if (!known) offsets.push_back(offset);
    }
    for (const uint32_t offset : offsets) {
        std::printf("  %s %s%s\n", hex_number(base + offset, 8).c_str(),
                    hex_number(bridge_register_value(record, offset), 8).c_str(),
                    record.state.registers.count(offset) != 0 ? " (written)" : "");
    }
}

void print_faults(const bridge_record& record) {
    if (record.faults.empty()) std::printf("  none\n");
    for (size_t i = 0; i < record.faults.size(); ++i) {
        const fault_rule& rule = record.faults[i];
        std::printf("  %zu: %s %s (matched %u)\n", i + 1, fault_pattern_text(rule).c_str(),
                    fault_options_text(rule).c_str(), rule.matches);
    }
}

void print_blocks(const bridge_record& record) {
    for (const handled_block& row : handled_blocks()) {
        const uint8_t serves = record.params.kind == k_kind_foreign ? k_serves_foreign : k_serves_bridge;
        if ((row.serves & serves) == 0) continue;
        std::string key = hex_bytes(&row.opcode, 1) + " ";
        if (row.sub == k_any_sub) {
            key += "..";
        } else {
            const uint8_t sub = static_cast<uint8_t>(row.sub);
            key += hex_bytes(&sub, 1);
        }
        if (row.also_byte >= 0) key += " byte " + std::to_string(row.also_byte) + "=" + hex_bytes(&row.also_value, 1);
        std::printf("  %-18s %s\n", key.c_str(), row.name);
    }
}

void print_section(bridge_record& record, const std::string& section, int64_t now_ms) {
    std::printf("%s:\n", section.c_str());
    if (section == "registers") return print_registers(record);
    if (section == "faults") return print_faults(record);
    for (const persisted_field& field : persisted_fields()) {
        if (section != field.section) continue;
        std::printf("  %s %s\n", field.key, field_show_text(record, field, now_ms).c_str());
    }
    for (const lab_memory_row& memory : memory_rows()) {
        if (section != memory.section) continue;
        const std::string where =
            memory_written(record, memory.which) ? memory_file_name(record, memory.which) : "never written";
        std::printf("  %s %llu bytes, %s\n", memory.name,
                    static_cast<unsigned long long>(memory_size(record, memory.which)), where.c_str());
    }
    if (section == "nvme") print_nvme_summary(record);
}

// One line of 16 bytes (fewer at the end): offset, hex in two groups of 8, ASCII.
void print_dump_line(uint64_t offset, const uint8_t* bytes, size_t count) {
    char hex[3 * 16 + 2] = {};
    char ascii[17] = {};
    size_t at = 0;
    for (size_t i = 0; i < 16; ++i) {
        if (i == 8) hex[at++] = ' ';
        if (i < count) {
            std::snprintf(hex + at, 4, "%02X ", bytes[i]);
            ascii[i] = bytes[i] >= ' ' && bytes[i] <= '~' ? static_cast<char>(bytes[i]) : '.';
        } else {
            std::memcpy(hex + at, "   ", 4);
        }
        at += 3;
    }
    std::printf("%08llX  %s |%s|\n", static_cast<unsigned long long>(offset), hex, ascii);
}

// A hex dump of [offset, offset + length) of a memory, as hexdump -C prints one: a line
// repeating the line before it is left out, and a run of such lines is one "*" line; the
// last line is the offset where the range ends.
bool print_memory_dump(bridge_record& record, lab_memory which, uint64_t offset, uint64_t length) {
    std::vector<uint8_t> chunk;
    uint8_t previous[16];
    bool have_previous = false;
    bool starred = false;
    for (uint64_t done = 0; done < length;) {
        chunk.resize(static_cast<size_t>(std::min<uint64_t>(k_dump_chunk, length - done)));
        if (!memory_read(record, which, offset + done, chunk.data(), chunk.size())) return false;
        for (size_t at = 0; at < chunk.size(); at += 16) {
            const size_t count = std::min<size_t>(16, chunk.size() - at);
            if (count == 16 && have_previous && std::memcmp(previous, &chunk[at], 16) == 0) {
                if (!starred) std::printf("*\n");
                starred = true;
                continue;
            }
            print_dump_line(offset + done + at, &chunk[at], count);
            std::memcpy(previous, &chunk[at], count);
            have_previous = count == 16;
            starred = false;
        }
        done += chunk.size();
    }
    std::printf("%08llX\n", static_cast<unsigned long long>(offset) + length);
    return true;
}

// `show NAME MEMORY [OFFSET [LENGTH]]` and `show NAME AREA`; -1 when the section names
// neither.
int show_memory(bridge_record& record, const verb_args& args) {
    const std::string& section = args[1];
    for (const lab_memory_area& area : memory_areas()) {
        if (section != area.name) continue;
        if (args.size() > 2) return verb_usage(std::string("show NAME ") + area.name);
        return print_memory_dump(record, area.which, area.offset, area.length) ? 0
                                                                               : verb_fail("cannot read " + section);
    }
    const lab_memory_row* memory = find_memory(section);
    if (memory == nullptr) return -1;
    const uint64_t size = memory_size(record, memory->which);
    uint64_t offset = 0;
    if (args.size() > 2 && !parse_u64(args[2], &offset)) return verb_fail("OFFSET is a number, not '" + args[2] + "'");
    if (offset > size)
        return verb_fail(section + " has " + std::to_string(size) + " bytes: offset " + args[2] + " is beyond it");
    uint64_t length = std::min(size - offset, k_default_dump_limit);
    if (args.size() > 3 && !parse_u64(args[3], &length)) return verb_fail("LENGTH is a number, not '" + args[3] + "'");
    if (length > size - offset) {
        return verb_fail(section + " has " + std::to_string(size) + " bytes: the range runs beyond it");
    }
    return print_memory_dump(record, memory->which, offset, length) ? 0 : verb_fail("cannot read " + section);
}

void print_names(const std::string& dir, const bridge_record& record) {
    std::string names;
    for (const auto& [name, entry] : lab_list_names(dir)) {
        if (entry.id != record.id) continue;
        if (!entry.cdrom && name != record.state.name) continue;
        names += (names.empty() ? "" : ", ") + name + (entry.cdrom ? " (CD-ROM volume)" : "");
    }
    std::printf("names: %s\n", names.empty() ? "none" : names.c_str());
}

int show_lab(const std::string& dir) {
    lab_settings settings;
    std::string error;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    std::printf("lab %s\n", dir.c_str());
    std::printf("trace %s\n", settings.trace ? "on" : "off");
    std::printf("time_factor %u\n", settings.time_factor);
    if (settings.step_time)
        std::printf("time_mode step (lab time %lld ms)\n", static_cast<long long>(lab_time_ms(settings)));
    const int64_t now = lab_time_ms(settings);
    // A name whose file is damaged is listed as such, and the verb then fails.
    bool damaged = false;
    for (const std::string& name : lab_all_names()) {
        if (!lab_name_damaged(dir, name, &error)) continue;
        std::printf("%s damaged name file\n", name.c_str());
        verb_fail(error);
        damaged = true;
    }
    for (const auto& [name, entry] : lab_list_names(dir)) {
        const device_ref ref{name, entry};
        bridge_record record;
        if (!load_device(dir, ref, &record, &error)) return verb_fail(error);
        if (entry.cdrom) {
            std::printf("%s CD-ROM volume of %s\n", name.c_str(), record.state.name.c_str());
            continue;
        }
        if (record.state.name != name) continue;
        std::printf("%s %s, disk %s in state %u, %s, %s\n", name.c_str(), kind_text(record).c_str(),
                    choice_name(k_disk_kind_names, record.disk.kind), record.disk.state,
                    record.params.bus == k_bus_usb ? "usb" : "other", availability(record, now).c_str());
    }
    return damaged ? k_exit_failure : 0;
}

}  // namespace

std::vector<std::string> show_section_names() {
    std::vector<std::string> names(std::begin(k_sections), std::end(k_sections));
    names.push_back("blocks");
    names.push_back("leds");
    names.push_back("pg");
    for (const lab_memory_row& memory : memory_rows()) names.push_back(memory.name);
    for (const lab_memory_area& area : memory_areas()) names.push_back(area.name);
    return names;
}

int verb_show(const std::string& dir, const verb_args& args) {
    if (args.empty()) return show_lab(dir);
    const bool leds = args.size() >= 2 && args[1] == "leds";
    if (args.size() > 4 && !leds) return verb_usage_of("show");
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    lab_settings settings;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    bridge_record record;
    if (!load_device(dir, ref, &record, &error)) return verb_fail(error);

    const int64_t now = lab_time_ms(settings);
    if (args.size() >= 2) {
        const int dumped = show_memory(record, args);
        if (dumped >= 0) return dumped;
        const std::string& section = args[1];
        const bool plain = args.size() == 2;
        if (plain && section == "blocks") {
            print_blocks(record);
            return 0;
        }
        if (section == "leds") return show_leds_verb(ref.name, record, args);
        if (plain && section == "pg") {
            std::printf("pg:\n%s", pg_record_text(record).c_str());
            return 0;
        }
        for (const char* known : k_sections) {
            if (plain && section == known) {
                print_section(record, section, now);
                return 0;
            }
        }
        if (!plain) return verb_usage_of("show");
        std::string known;
        for (const std::string& name : show_section_names()) known += (known.empty() ? "" : ", ") + name;
        return verb_fail("unknown section '" + section + "' (" + known + ")");
    }

    std::printf("%s: %s, %s\n", ref.name.c_str(), kind_text(record).c_str(), availability(record, now).c_str());
    print_names(dir, record);
    for (const char* section : k_sections) print_section(record, section, now);
    return 0;
}
