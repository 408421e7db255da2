#include "lab/usb/served_bridge.h"

#include "lab/host/lab_dir.h"
#include "lab/host/lab_os.h"
#include "lab/model/flash/restart.h"
#include "lab/record/restart_names.h"
#include "lab/host/serve.h"

namespace {

// What the lab's port answers for a device that went away.
constexpr int k_error_device_gone = 1167;

int64_t now_ms(const lab_settings* settings) {
    return settings != nullptr ? lab_time_ms(*settings) : lab_real_now_ms();
}

// Appends a line to the lab's trace when tracing is on.
void trace(const served_bridge& bridge, const std::string& line) {
    lab_settings settings;
    if (lab_load_settings(bridge.dir, &settings, nullptr) && settings.trace) lab_append_trace(bridge.dir, line);
}

}  // namespace

void served_bridge_trace_open(const served_bridge& bridge) { trace(bridge, "OPEN " + bridge.name + " ok"); }

void served_bridge_trace_close(const served_bridge& bridge) { trace(bridge, "CLOSE " + bridge.name); }

bool served_bridge_open(const std::string& dir, const std::string& name, served_bridge* bridge, std::string* error) {
    name_entry entry;
    if (!lab_read_name(dir, name, &entry)) {
        *error = "no device " + name + " in " + dir;
        return false;
    }
    if (entry.cdrom) {
        *error = name + " is a CD-ROM volume; serve its bridge";
        return false;
    }
    bridge->dir = dir;
    bridge->id = entry.id;
    bridge->name = name;
    bridge_presence presence;
    if (!served_bridge_look(*bridge, &presence)) {
        *error = "cannot read " + name;
        return false;
    }
    bridge->boot = presence.boot;
    return true;
}

bool served_bridge_look(const served_bridge& bridge, bridge_presence* presence) {
    lab_settings settings;
    const bool have_settings = lab_load_settings(bridge.dir, &settings, nullptr);
    lab_lock_owner lock(lab_bridge_lock_path(bridge.dir, bridge.id));
    lab_lock_guard guard(lock.get());
    bridge_record record;
    if (!guard.held() || !lab_load_bridge(bridge.dir, bridge.id, &record, nullptr)) return false;
    presence->answers = bridge_online(record, now_ms(have_settings ? &settings : nullptr));
    presence->boot = record.state.boot_count;
    presence->name = record.state.name;
    presence->identity = bridge_usb_identity(record);
    return true;
}

void served_bridge_request(served_bridge& bridge, const block_request& request, block_answer& answer) {
    lab_settings settings;
    const bool have_settings = lab_load_settings(bridge.dir, &settings, nullptr);
    block_request timed = request;
    timed.now_ms = now_ms(have_settings ? &settings : nullptr);
    timed.cdrom_view = false;

    std::string restart_note;
    answer.os_error = k_error_device_gone;
    {
        lab_lock_owner lock(lab_bridge_lock_path(bridge.dir, bridge.id));
        lab_lock_guard guard(lock.get());
        bridge_record record;
        if (guard.held() && lab_load_bridge(bridge.dir, bridge.id, &record, nullptr) &&
            record.state.boot_count == bridge.boot && bridge_online(record, timed.now_ms)) {
            answer.os_error = 0;
            const std::string old_name = record.state.name;
            serve_request(record, timed, answer);
            std::string ignored;
            if (!lab_commit_record(bridge.dir, record, old_name, bridge.boot, &restart_note, &ignored)) {
                answer = block_answer{};
                answer.os_error = k_error_device_gone;
            }
        }
    }
    if (!have_settings || !settings.trace) return;
    const int status = answer.os_error == 0 ? answer.status : 0;
    lab_append_trace(bridge.dir, trace_cmd_line(bridge.name, request.cdb, request.data_in, request.length, status,
                                                answer.os_error, request.data_out));
    if (!restart_note.empty()) lab_append_trace(bridge.dir, restart_note);
}
