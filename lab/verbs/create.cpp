// `create NAME [options]`: a new device in the lab (the lab itself is made when the
// directory is missing or empty).
//
//   --cdrom-of BRIDGE       NAME (a volume letter) becomes BRIDGE's CD-ROM volume: the
//                           same bridge, which answers INQUIRY there as "USB CD-ROM"
//   --foreign               another vendor's USB disk, for scans to skip
//   --gen 0|1               revision and chip identity typical of the generation (default 1)
//   --disk nvme|sata|none   the disk behind the bridge with typical strings (default nvme)
//   --nvme-id-ctrl FILE     the NVMe disk's Identify Controller data from a saved 4096-byte page
//   --nvme-id-ns FILE       its Identify Namespace data (4096 bytes)
//   --nvme-smart FILE       its SMART / Health log (512 bytes)
//   --KEY VALUE             any `set` key, applied after the above, in the order given
#include <cstdio>

#include "lab/host/lab_os.h"
#include "lab/model/led/led_memory.h"
#include "lab/model/bridge/identity.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/host/names.h"
#include "lab/verbs/verbs.h"

namespace {

struct create_options {
    std::string cdrom_of;
    bool foreign = false;
    int generation = 1;
    uint32_t disk = k_disk_nvme;
    std::vector<std::pair<std::string, std::string>> keys;
    std::vector<std::pair<nvme_memory, std::string>> nvme_files;  // saved pages to load
};

// Options naming a saved NVMe page.
bool nvme_page_option(const std::string& key, nvme_memory* which) {
    if (key == "nvme_id_ctrl")
        *which = nvme_memory::id_ctrl;
    else if (key == "nvme_id_ns")
        *which = nvme_memory::id_ns;
    else if (key == "nvme_smart")
        *which = nvme_memory::smart;
    else
        return false;
    return true;
}

bool parse_options(const verb_args& args, create_options* options, std::string* error) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].compare(0, 2, "--") != 0) {
            *error = "unexpected word '" + args[i] + "'";
            return false;
        }
        const std::string key = option_key(args[i]);
        if (key == "foreign") {
            options->foreign = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = args[i] + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        nvme_memory page = nvme_memory::id_ctrl;
        if (key == "cdrom_of") {
            options->cdrom_of = value;
        } else if (nvme_page_option(key, &page)) {
            options->nvme_files.emplace_back(page, value);
        } else if (key == "gen") {
            if (value != "0" && value != "1") {
                *error = "--gen is 0 or 1";
                return false;
            }
            options->generation = value == "0" ? 0 : 1;
        } else if (key == "disk") {
            if (!choice_value(k_disk_kind_names, value, &options->disk)) {
                *error = "--disk is one of " + choice_list(k_disk_kind_names);
                return false;
            }
        } else {
            const persisted_field* field = find_field(key);
            if (field == nullptr || !field->settable) {
                *error = "unknown option " + args[i - 1];
                return false;
            }
            options->keys.emplace_back(key, value);
        }
    }
    if (!options->cdrom_of.empty() && args.size() != 3) {
        *error = "--cdrom-of takes no other option";
        return false;
    }
    return true;
}

// The record's file: named after the device, or with a suffix when a device that was
// created under this name lives on under another one.
std::string free_id(const std::string& dir, const std::string& name) {
    std::string id = name;
    for (int n = 2; lab_bridge_exists(dir, id); ++n) id = name + "-" + std::to_string(n);
    return id;
}

int create_cdrom(const std::string& dir, const std::string& name, const std::string& target) {
    if (!lab_name_is_volume(name)) return verb_fail("a CD-ROM volume is a volume letter c..l, not " + name);
    std::string target_name;
    name_entry target_entry;
    if (!lab_normalize_name(target, &target_name) || !lab_read_name(dir, target_name, &target_entry)) {
        return verb_fail("no device " + target + " for the CD-ROM volume");
    }
    if (target_entry.cdrom) return verb_fail(target_name + " is itself a CD-ROM volume");
    if (!lab_write_name(dir, name, {target_entry.id, true})) return verb_fail("cannot write the name " + name);
    return 0;
}

}  // namespace

int verb_create(const std::string& dir, const verb_args& args) {
    if (args.empty()) return verb_usage_of("create");
    std::string name;
    if (!lab_normalize_name(args[0], &name)) {
        return verb_fail("'" + args[0] + "' is no device name (PhysicalDrive0..PhysicalDrive9 or c..l)");
    }
    create_options options;
    std::string error;
    if (!parse_options(args, &options, &error)) return verb_fail(error);
    if (!lab_init(dir, &error)) return verb_fail(error);

    lab_lock_owner lock(lab_lock_path(dir));
    lab_lock_guard guard(lock.get());
    name_entry existing;
    if (lab_name_taken(dir, name, &existing)) return verb_fail(name + " already exists");
    if (!options.cdrom_of.empty()) return create_cdrom(dir, name, options.cdrom_of);

    bridge_record record;
    record.id = free_id(dir, name);
    record.memories.dir = dir;
    // Memory files a removed device of this id left behind are not the new device's.
    for (const lab_memory_row& memory : memory_rows()) {
        (void)std::remove(lab_bridge_file_path(dir, record.id, memory.suffix).c_str());
    }
    record.state.name = name;
    apply_generation_defaults(record.params, options.generation);
    apply_disk_defaults(record, options.disk);
    if (options.foreign) apply_foreign_defaults(record);
    record.params.uuid = default_uuid(name);
    for (const auto& [which, path] : options.nvme_files) {
        if (!nvme_load_file(record, which, path, &error)) return verb_fail(error);
    }
    // A bridge leaves the factory with an LED image programmed; `--led_count N` replaces it.
    if (!options.foreign && !lab_write_default_led_image(record, k_lab_led_default_count)) {
        return verb_fail("cannot write the LED memory of " + name);
    }
    for (const auto& [key, value] : options.keys) {
        if (!field_set_text(record, *find_field(key), value, &error)) return verb_fail(error);
    }
    if (!lab_save_bridge(dir, record, &error)) return verb_fail(error);
    if (!lab_write_name(dir, name, {record.id, false})) return verb_fail("cannot write the name " + name);
    return 0;
}
