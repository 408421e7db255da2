// `show`: the lab's settings and devices. `show NAME [SECTION]`: a readable summary of a
// device: identity, disk, settings, state, registers, memory, pins, faults; `blocks` lists the
// command blocks it handles, `leds` draws the LED memory (show_leds.cpp), and the name of a
// memory field (flash_pg, cust_page, led_memory, led_direct) dumps it in hex.
#include <cstdio>
#include <cstring>

#include "lab/lab_os.h"
#include "lab/model/block_table.h"
#include "lab/model/identity.h"
#include "lab/model/memory.h"
#include "lab/model/restart.h"
#include "lab/text.h"
#include "lab/verbs/verbs.h"

namespace {

constexpr const char* k_usage = "show [NAME [SECTION]] | show NAME leds [--svg FILE]";
constexpr const char* k_sections[] = {"identity", "disk", "settings", "state", "registers", "memory", "pins", "faults"};

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
        std::printf("  %s %s%s\n", format_hex32(base + offset).c_str(),
                    format_hex32(bridge_register_value(record, offset)).c_str(),
                    record.state.registers.count(offset) != 0 ? " (written)" : "");
    }
}

void print_faults(const bridge_record& record) {
    if (record.state.faults.empty()) std::printf("  none\n");
    for (size_t i = 0; i < record.state.faults.size(); ++i) {
        const fault_rule& rule = record.state.faults[i];
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

void print_section(bridge_record& record, const std::string& section) {
    std::printf("%s:\n", section.c_str());
    if (section == "registers") return print_registers(record);
    if (section == "faults") return print_faults(record);
    for (const persisted_field& field : persisted_fields()) {
        if (section != field.section) continue;
        std::printf("  %s %s\n", field.key, field_show_text(record, field).c_str());
    }
}

void print_hex_dump(const std::vector<uint8_t>& bytes) {
    for (size_t offset = 0; offset < bytes.size(); offset += 16) {
        const size_t count = bytes.size() - offset < 16 ? bytes.size() - offset : 16;
        std::printf("%04zX: %s\n", offset, hex_bytes(&bytes[offset], count).c_str());
    }
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
    const int64_t now = lab_time_ms(settings);
    for (const auto& [name, entry] : lab_list_names(dir)) {
        const device_ref ref{name, entry};
        bridge_record record;
        if (!load_device(dir, ref, &record, &error)) return verb_fail(error);
        if (entry.cdrom) {
            std::printf("%s CD-ROM volume of %s\n", name.c_str(), record.state.name.c_str());
            continue;
        }
        if (record.state.name != name) continue;
        const char* disks[] = {"nvme", "sata", "none"};
        std::printf("%s %s, disk %s in state %u, %s, %s\n", name.c_str(), kind_text(record).c_str(),
                    disks[record.params.disk], record.state.disk_state, record.params.bus == k_bus_usb ? "usb" : "other",
                    availability(record, now).c_str());
    }
    return 0;
}

}  // namespace

int verb_show(const std::string& dir, const verb_args& args) {
    if (args.empty()) return show_lab(dir);
    const bool leds = args.size() >= 2 && args[1] == "leds";
    if (args.size() > 2 && !(leds && args.size() == 4 && args[2] == "--svg")) return verb_usage(k_usage);
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    lab_settings settings;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    bridge_record record;
    if (!load_device(dir, ref, &record, &error)) return verb_fail(error);

    if (args.size() == 4) return show_leds(ref.name, record, &args[3]);
    if (args.size() == 2) {
        const std::string& section = args[1];
        if (section == "blocks") {
            print_blocks(record);
            return 0;
        }
        if (leds) return show_leds(ref.name, record, nullptr);
        const persisted_field* field = find_field(section);
        if (field != nullptr) {
            if (const auto* blob = std::get_if<blob_field>(&field->type)) {
                print_hex_dump(blob->at(record));
                return 0;
            }
        }
        for (const char* known : k_sections) {
            if (section == known) {
                print_section(record, section);
                return 0;
            }
        }
        return verb_fail("unknown section '" + section + "' (identity, disk, settings, state, registers, memory, "
                         "pins, faults, blocks, leds, flash_pg, cust_page, led_memory, led_direct)");
    }

    std::printf("%s: %s, %s\n", ref.name.c_str(), kind_text(record).c_str(),
                availability(record, lab_time_ms(settings)).c_str());
    print_names(dir, record);
    for (const char* section : k_sections) print_section(record, section);
    return 0;
}
