#include <cstdio>

#include "lab/host/lab_os.h"
#include "lab/host/names.h"
#include "lab/record/restart_names.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

// Arguments quoted in a message may hold anything: the line stays one line.
int verb_fail(const std::string& message) {
    std::fprintf(stderr, "mvbridge-lab: %s\n", printable_line(message).c_str());
    return k_exit_failure;
}

int verb_usage(const std::string& usage) {
    std::fprintf(stderr, "usage: mvbridge-lab DIR %s\n", usage.c_str());
    return k_exit_usage;
}

bool resolve_device(const std::string& dir, const std::string& text, device_ref* ref, std::string* error) {
    lab_settings settings;
    if (!lab_load_settings(dir, &settings, error)) return false;
    if (!lab_normalize_name(text, &ref->name)) {
        *error = "'" + text + "' is no device name (PhysicalDrive0..PhysicalDrive9 or c..l)";
        return false;
    }
    if (!lab_read_name(dir, ref->name, &ref->entry)) {
        if (lab_name_damaged(dir, ref->name, error)) return false;
        *error = "no device " + ref->name + " in " + dir;
        return false;
    }
    return true;
}

bool edit_device(const std::string& dir, const device_ref& ref,
                 const std::function<bool(bridge_record&, std::string*)>& edit, std::string* error) {
    lab_lock_owner lock(lab_bridge_lock_path(dir, ref.entry.id));
    lab_lock_guard guard(lock.get());
    if (!guard.held()) {
        *error = "cannot lock " + ref.name;
        return false;
    }
    bridge_record record;
    if (!lab_load_bridge(dir, ref.entry.id, &record, error)) return false;
    const std::string old_name = record.state.name;
    const uint32_t old_boot = record.state.boot_count;
    if (!edit(record, error)) return false;
    std::string note;
    if (!lab_commit_record(dir, record, old_name, old_boot, &note, error)) return false;
    lab_settings settings;
    if (!note.empty() && lab_load_settings(dir, &settings, nullptr) && settings.trace) lab_append_trace(dir, note);
    return true;
}

std::string option_key(const std::string& option) {
    std::string key = option.compare(0, 2, "--") == 0 ? option.substr(2) : option;
    for (char& c : key) {
        if (c == '-') c = '_';
    }
    return key;
}

std::string memory_name_list() {
    std::string names;
    for (const lab_memory_row& row : memory_rows()) names += std::string(names.empty() ? "" : ", ") + row.name;
    return names;
}
