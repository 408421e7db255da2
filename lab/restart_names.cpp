#include "lab/restart_names.h"

#include <cstdint>

#include "lab/lab_dir.h"
#include "lab/lab_os.h"

std::string lab_settle_restart(const std::string& dir, bridge_record& record, const std::string& old_name) {
    const std::string new_name = record.state.name;
    std::string note = "# " + old_name + " restarts (boot " + std::to_string(record.state.boot_count) + ")";
    if (new_name != old_name) {
        lab_lock_owner lock(lab_lock_path(dir));
        lab_lock_guard guard(lock.get());
        name_entry taken;
        if (lab_read_name(dir, new_name, &taken) && taken.id != record.id) {
            record.state.name = old_name;
            std::string ignored;
            lab_save_bridge(dir, record, &ignored);
            note += ", " + new_name + " is taken: keeps its name";
        } else {
            lab_write_name(dir, new_name, {record.id, false});
            name_entry old_entry;
            if (lab_read_name(dir, old_name, &old_entry) && old_entry.id == record.id && !old_entry.cdrom) {
                lab_remove_name(dir, old_name);
            }
            note += ", comes back as " + new_name;
        }
    }
    if (record.state.offline_until_ms == INT64_MAX) {
        note += ", never answers again";
    } else {
        note += ", answers again after " + std::to_string(record.params.restart_delay_ms) + " ms";
    }
    return note;
}
