#include "tests/unit/fake_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>

namespace zelko {

struct port_handle {
    std::string path;
};

namespace fake {
namespace {

struct state {
    std::vector<device_entry> devices;
    std::vector<port_candidate_path> candidates;
    std::deque<answer> script;
    std::vector<sent_request> requests;
    std::vector<std::string> events;
    size_t unexpected = 0;
    int open = 0;
};

state& the() {
    static state s;
    return s;
}

const device_entry* find_device(const std::string& path) {
    for (const auto& d : the().devices) {
        if (d.path == path) return &d;
    }
    return nullptr;
}

}  // namespace

void reset() { the() = state{}; }
void add_device(const device_entry& device) { the().devices.push_back(device); }
void set_candidates(const std::vector<port_candidate_path>& candidates) { the().candidates = candidates; }
void script(const answer& a) { the().script.push_back(a); }
void script_ok(const std::vector<uint8_t>& data) { script(answer{.data = data}); }
void script_os_error(int os_error, int times) {
    for (int i = 0; i < times; ++i) script(answer{.os_error = os_error});
}
const std::vector<sent_request>& requests() { return the().requests; }
const std::vector<std::string>& events() { return the().events; }
size_t unused_answers() { return the().script.size(); }
size_t unexpected_requests() { return the().unexpected; }
int open_handles() { return the().open; }

std::string hex(const uint8_t* bytes, size_t count) {
    std::string out;
    char cell[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += cell;
    }
    return out;
}

std::string hex(const cdb16& cdb) { return hex(cdb.data(), cdb.size()); }

}  // namespace fake

port_handle* port_open(const char* path) {
    const fake::device_entry* device = fake::find_device(path);
    fake::the().events.push_back(std::string("OPEN ") + path + (device ? " ok" : " fail"));
    if (device == nullptr) return nullptr;
    ++fake::the().open;
    return new port_handle{path};
}

void port_close(port_handle* handle) {
    if (handle == nullptr) return;
    fake::the().events.push_back("CLOSE " + handle->path);
    --fake::the().open;
    delete handle;
}

int port_pass_through(port_handle* handle, port_request* request) {
    fake::sent_request sent;
    sent.path = handle->path;
    std::memcpy(sent.cdb.data(), request->cdb, 16);
    sent.data_in = request->direction == data_direction::from_device;
    sent.length = request->length;
    sent.buffer_address = reinterpret_cast<uintptr_t>(request->buffer);
    sent.buffer_null = request->buffer == nullptr;
    if (!sent.data_in && request->buffer != nullptr) {
        const auto* p = static_cast<const uint8_t*>(request->buffer);
        sent.data_out.assign(p, p + request->length);
    }
    fake::the().requests.push_back(sent);

    if (fake::the().script.empty()) {
        ++fake::the().unexpected;
        return fake::k_access_denied;
    }
    const fake::answer a = fake::the().script.front();
    fake::the().script.pop_front();
    request->scsi_status = a.scsi_status;
    request->residual = std::min(a.residual, request->length);
    std::memset(request->sense, 0, sizeof request->sense);
    if (!a.sense.empty()) std::memcpy(request->sense, a.sense.data(), std::min(a.sense.size(), sizeof request->sense));
    if (a.os_error != 0) return a.os_error;
    if (sent.data_in && request->buffer != nullptr && a.scsi_status == 0 && !a.data.empty()) {
        std::memcpy(request->buffer, a.data.data(), std::min<size_t>(a.data.size(), request->length));
    }
    return 0;
}

bool port_is_general_failure(int os_error) { return os_error == fake::k_general_failure; }

bool port_is_time_out(int os_error) { return os_error == fake::k_time_out; }

bool port_query_bus_is_usb(port_handle* handle, bool* is_usb) {
    const fake::device_entry* device = fake::find_device(handle->path);
    const bool ok = device != nullptr;
    *is_usb = ok && device->usb;
    fake::the().events.push_back("QUERY " + handle->path + (ok ? (*is_usb ? " bus=usb" : " bus=other") : " fail"));
    return ok;
}

std::vector<port_candidate_path> port_candidate_paths() { return fake::the().candidates; }

}  // namespace zelko
