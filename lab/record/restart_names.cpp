#include "lab/record/restart_names.h"

#include "lab/host/lab_dir.h"
#include "lab/host/lab_os.h"

namespace {

// Makes the new name lead to the record, or takes the old name back when another device
// has the new one. Returns the trace comment's part about the name.
std::string claim_new_name(const std::string& dir, bridge_record& record, const std::string& old_name) {
    const std::string new_name = record.state.name;
    lab_lock_owner lock(lab_lock_path(dir));
    lab_lock_guard guard(lock.get());
    name_entry taken;
    if (lab_name_taken(dir, new_name, &taken) && taken.id != record.id) {
        record.state.name = old_name;
        return ", " + new_name + " is taken: keeps its name";
    }
    if (!lab_write_name(dir, new_name, {record.id, false})) {
        record.state.name = old_name;
        return ", " + new_name + " cannot be written: keeps its name";
    }
    return ", comes back as " + new_name;
}

void release_old_name(const std::string& dir, const bridge_record& record, const std::string& old_name) {
    lab_lock_owner lock(lab_lock_path(dir));
    lab_lock_guard guard(lock.get());
    name_entry old_entry;
    if (lab_read_name(dir, old_name, &old_entry) && old_entry.id == record.id && !old_entry.cdrom) {
        lab_remove_name(dir, old_name);
    }
}

}  // namespace

bool lab_commit_record(const std::string& dir, bridge_record& record, const std::string& old_name, uint32_t old_boot,
                       std::string* note, std::string* error) {
    note->clear();
    std::string name_part;
    const bool renaming = record.state.name != old_name;
    if (renaming) {
        name_part = claim_new_name(dir, record, old_name);
        lab_crash_point(dir, "name_written");
    }
    if (record.dirty && !lab_save_bridge(dir, record, error)) return false;
    if (renaming && record.state.name != old_name) {
        lab_crash_point(dir, "record_saved");
        release_old_name(dir, record, old_name);
    }
    if (record.state.boot_count == old_boot) return true;
    *note = "# " + old_name + " restarts (boot " + std::to_string(record.state.boot_count) + ")" + name_part;
    if (record.state.offline_until_ms == INT64_MAX) {
        *note += ", never answers again";
    } else {
        *note += ", answers again after " + std::to_string(record.params.restart_delay_ms) + " ms";
    }
    return true;
}
