// The lab's platform port: zelko/device/port.h served from a lab directory.
//
// Opening a device takes its hold (DIR/bridges/ID.hold) until the close, as the host
// ports lock the device they open: a second process on the same device waits for the
// first one's command to end. Each request then locks the device's record, loads it, serves the block (fault rules,
// then the device model), saves the record when it changed, and unlocks: processes sharing a device are serialised per
// request. With tracing on, every open, bus query, request attempt and close is a line of DIR/trace.log.
#include <cstdio>
#include <cstring>
#include <thread>

#include "zelko/device/port.h"
#include "lab/host/lab_dir.h"
#include "lab/host/lab_os.h"
#include "lab/host/lab_port.h"
#include "lab/model/flash/restart.h"
#include "lab/host/names.h"
#include "lab/record/restart_names.h"
#include "lab/host/serve.h"
#include "lab/record/text.h"

namespace zelko {
struct port_handle {
    std::string name;   // the lab name the path reached
    name_entry entry;   // the device it leads to
    uint32_t boot = 0;  // the device's boot when opened
    lab_lock_file* lock = nullptr;
    lab_lock_file* hold = nullptr;  // the device's hold, owned from open to close
};
}  // namespace zelko

using namespace zelko;

namespace {

// Windows' ERROR_GEN_FAILURE, the failure scsi_send retries,
// ERROR_DEVICE_NOT_CONNECTED, what a device that went away answers, and ERROR_SEM_TIMEOUT,
// a request the adapter gave up on (a fault rule's --os-error 121).
constexpr int k_error_gen_failure = 31;
constexpr int k_error_device_gone = 1167;
constexpr int k_error_time_out = 121;

struct lab_attachment {
    std::string dir;
    bool ok = false;
    lab_settings settings;
};

// The port's one piece of process-wide state: the lab it is attached to.
lab_attachment& attachment() {
    static lab_attachment lab;
    return lab;
}

void trace(const std::string& line) {
    const lab_attachment& lab = attachment();
    if (lab.ok && lab.settings.trace) lab_append_trace(lab.dir, line);
}

// In step time another process's sleeps move lab time too: it is read from lab.conf.
int64_t lab_now_ms() {
    lab_attachment& lab = attachment();
    if (!lab.ok) return lab_real_now_ms();
    if (lab.settings.step_time) {
        lab_settings now;
        if (lab_load_settings(lab.dir, &now, nullptr)) lab.settings = now;
    }
    return lab_time_ms(lab.settings);
}

// A sleep in step time: lab time moves on by its milliseconds at once, for every process
// of the lab.
void step_lab_time(uint32_t milliseconds) {
    lab_attachment& lab = attachment();
    lab_lock_owner lock(lab_lock_path(lab.dir));
    lab_lock_guard guard(lock.get());
    lab_settings now;
    if (!guard.held() || !lab_load_settings(lab.dir, &now, nullptr)) return;
    lab_step_time(now, milliseconds);
    if (lab_save_settings(lab.dir, now, nullptr)) lab.settings = now;
}

// Loads the record a handle leads to, when the device still answers that handle at lab
// time `now_ms`.
bool load_answering(port_handle* handle, int64_t now_ms, bridge_record* record) {
    if (!lab_load_bridge(attachment().dir, handle->entry.id, record, nullptr)) return false;
    return record->state.boot_count == handle->boot && bridge_online(*record, now_ms);
}

bool open_name(const std::string& name, port_handle* handle) {
    const std::string& dir = attachment().dir;
    if (!lab_read_name(dir, name, &handle->entry)) {
        std::string error;
        if (lab_name_damaged(dir, name, &error))
            std::fprintf(stderr, "mvbridge-lab: %s\n", printable_line(error).c_str());
        return false;
    }
    handle->name = name;
    // The hold comes first, and without the record's lock: a waiting process keeps no
    // one else from the device.
    handle->hold = lab_lock_open(lab_bridge_hold_path(dir, handle->entry.id));
    if (handle->hold == nullptr || !lab_lock_acquire(handle->hold)) return false;
    handle->lock = lab_lock_open(lab_bridge_lock_path(dir, handle->entry.id));
    if (handle->lock == nullptr) return false;
    lab_lock_guard guard(handle->lock);
    bridge_record record;
    if (!guard.held()) return false;
    std::string error;
    if (!lab_load_bridge(dir, handle->entry.id, &record, &error)) {
        // The tool says only that the path does not open; the lab says why.
        std::fprintf(stderr, "mvbridge-lab: %s\n", printable_line(error).c_str());
        return false;
    }
    if (!bridge_online(record, lab_now_ms())) return false;
    // A name left behind by a bridge that came back under another one leads nowhere.
    if (!handle->entry.cdrom && record.state.name != name) return false;
    handle->boot = record.state.boot_count;
    return true;
}

// Closing the hold's file releases it (the lock belongs to the open file).
void release_handle(port_handle* handle) {
    lab_lock_close(handle->lock);
    lab_lock_close(handle->hold);
    delete handle;
}

void fill_sense(port_request* request, const block_answer& answer) {
    std::memset(request->sense, 0, sizeof request->sense);
    request->sense[0] = 0x70;  // current error, fixed format
    request->sense[2] = answer.sense_key;
    request->sense[7] = 0x0A;  // additional sense length
    request->sense[12] = answer.sense_asc;
    request->sense[13] = answer.sense_ascq;
}

std::string cmd_line(const port_handle* handle, const port_request* request, int os_error) {
    const bool data_in = request->direction == data_direction::from_device;
    return trace_cmd_line(handle->name, request->cdb, data_in, request->length, request->scsi_status, os_error,
                          static_cast<const uint8_t*>(request->buffer));
}

// Serves one request on the locked, loaded record at lab time `now_ms`; returns the OS
// error.
int serve_locked(port_handle* handle, bridge_record& record, int64_t now_ms, port_request* request,
                 block_answer& answer, std::string* restart_note) {
    block_request block;
    block.cdb = request->cdb;
    block.data_in = request->direction == data_direction::from_device;
    block.length = request->length;
    block.data_out = !block.data_in && request->length != 0 ? static_cast<const uint8_t*>(request->buffer) : nullptr;
    block.cdrom_view = handle->entry.cdrom;
    block.now_ms = now_ms;
    block.host = lab_process_id();

    const std::string old_name = record.state.name;
    const uint32_t old_boot = record.state.boot_count;
    serve_request(record, block, answer);
    std::string ignored;
    if (!lab_commit_record(attachment().dir, record, old_name, old_boot, restart_note, &ignored))
        return k_error_device_gone;
    return answer.os_error;
}

}  // namespace

void lab_port_attach(const std::string& dir) {
    lab_attachment& lab = attachment();
    lab.dir = dir;
    lab.ok = lab_load_settings(dir, &lab.settings, nullptr);
}

namespace zelko {

port_handle* port_open(const char* path) {
    if (path == nullptr) return nullptr;
    auto* handle = new port_handle;
    std::string name;
    const bool opened = attachment().ok && lab_name_of_path(path, &name) && open_name(name, handle);
    trace(std::string("OPEN ") + path + (opened ? " ok" : " fail"));
    if (!opened) {
        release_handle(handle);
        return nullptr;
    }
    return handle;
}

void port_close(port_handle* handle) {
    if (handle == nullptr) return;
    trace("CLOSE " + handle->name);
    release_handle(handle);
}

int port_pass_through(port_handle* handle, port_request* request) {
    request->scsi_status = 0;
    block_answer answer;
    std::string restart_note;
    int os_error = k_error_device_gone;
    {
        lab_lock_guard guard(handle->lock);
        // Lab time is read once: the device is found answering and serves the block at
        // the same moment, even while another process moves step time on.
        const int64_t now_ms = lab_now_ms();
        bridge_record record;
        if (guard.held() && load_answering(handle, now_ms, &record)) {
            os_error = serve_locked(handle, record, now_ms, request, answer, &restart_note);
        }
    }
    // Nothing moves unless the device accepted the block; a data-in answer moves what it
    // holds, and the rest of the data phase is the residual, as a host adapter reports it.
    request->residual = request->length;
    if (os_error == 0) {
        request->scsi_status = answer.status;
        if (answer.status != 0) {
            fill_sense(request, answer);
        } else if (request->direction == data_direction::from_device) {
            const uint32_t count =
                answer.data.size() < request->length ? static_cast<uint32_t>(answer.data.size()) : request->length;
            if (count != 0) std::memcpy(request->buffer, answer.data.data(), count);
            request->residual = request->length - count;
        } else {
            request->residual = 0;
        }
    }
    trace(cmd_line(handle, request, os_error));
    if (!answer.note.empty()) trace(answer.note);
    if (!restart_note.empty()) trace(restart_note);
    return os_error;
}

bool port_is_general_failure(int os_error) { return os_error == k_error_gen_failure; }

bool port_is_time_out(int os_error) { return os_error == k_error_time_out; }

bool port_query_bus_is_usb(port_handle* handle, bool* is_usb) {
    bridge_record record;
    bool answered = false;
    {
        lab_lock_guard guard(handle->lock);
        answered = guard.held() && load_answering(handle, lab_now_ms(), &record);
    }
    if (!answered) {
        trace("# QUERY " + handle->name + " failed: the device does not answer");
        return false;
    }
    *is_usb = record.params.bus == k_bus_usb;
    trace("QUERY " + handle->name + " bus=" + (*is_usb ? "usb" : "other"));
    return true;
}

std::vector<port_candidate_path> port_candidate_paths() {
    std::vector<port_candidate_path> paths;
    for (const std::string& name : lab_all_names()) paths.push_back({lab_path_of_name(name), lab_name_is_volume(name)});
    return paths;
}

void port_sleep_ms(uint32_t milliseconds) {
    const lab_attachment& lab = attachment();
    if (lab.ok && lab.settings.step_time) {
        step_lab_time(milliseconds);
        trace("# SLEEP " + std::to_string(milliseconds) + " ms of step time");
        return;
    }
    lab_real_sleep_us(lab.ok ? lab_sleep_real_us(lab.settings, milliseconds) : uint64_t{milliseconds} * 1000u);
}

int64_t port_time_s() { return lab_now_ms() / 1000; }

struct port_thread {
    std::thread thread;
};

port_thread* port_thread_start(void (*body)(void*), void* argument) {
    auto* thread = new port_thread;
    thread->thread = std::thread(body, argument);
    return thread;
}

void port_thread_join(port_thread* thread) {
    if (thread == nullptr) return;
    if (thread->thread.joinable()) thread->thread.join();
    delete thread;
}

}  // namespace zelko
