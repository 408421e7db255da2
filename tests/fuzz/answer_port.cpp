#include "answer_port.h"

#include <cstring>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/device/port.h"
#include "fuzz_check.h"

namespace zelko {

struct port_handle {
    std::string path;
};

namespace {

constexpr int k_error_general_failure = 31;
constexpr int k_error_device_gone = 1167;

struct answer_source {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t next = 0;
    bool genuine_identity = false;

    bool empty() const { return next >= size; }
    uint8_t byte() { return empty() ? 0 : data[next++]; }
};

// Fuzz inputs are run one at a time; the source is reloaded before each.
answer_source& source() {
    static answer_source s;
    return s;
}

// A generation 1 bridge's identification answers, or false for any other block.
bool identity_answer(const port_request& request, std::vector<uint8_t>* answer) {
    const uint8_t* cdb = request.cdb;
    if (cdb[0] == 0x12) {
        answer->assign(36, ' ');
        (*answer)[0] = 0x00;
        (*answer)[2] = 0x06;
        (*answer)[3] = 0x02;
        (*answer)[4] = 31;
        std::memcpy(answer->data() + 8, "Morvelt USB3 NVMe Bridge1.01", 28);
        return true;
    }
    if (cdb[0] != 0xE2 || cdb[4] != 0x92) return false;
    const uint32_t address = get_le32(cdb + 8);
    if (address == 0xB37000C8 || address == 0xB37000C4) {
        answer->assign(4, 0);
        put_le32(answer->data(), address == 0xB37000C8 ? 0xA0020001u : 0x00120003u);
        return true;
    }
    if (address == 0xAC004000) {
        answer->assign(request.length, 0xFF);
        return true;
    }
    return false;
}

void fill_sense(port_request* request, uint8_t key, uint8_t asc, uint8_t ascq) {
    request->sense[0] = 0x70;
    request->sense[2] = key;
    request->sense[7] = 0x0A;
    request->sense[12] = asc;
    request->sense[13] = ascq;
}

}  // namespace

void answer_port_load(const uint8_t* data, size_t size, bool genuine_identity) {
    source() = answer_source{data, size, 0, genuine_identity};
}

port_handle* port_open(const char* path) {
    require(path != nullptr);
    return new port_handle{path};
}

void port_close(port_handle* handle) { delete handle; }

int port_pass_through(port_handle* handle, port_request* request) {
    require(handle != nullptr);
    require(request->length == 0 || request->buffer != nullptr);
    auto* buffer = static_cast<uint8_t*>(request->buffer);
    const bool data_in = request->direction == data_direction::from_device;
    request->scsi_status = 0;
    request->residual = 0;
    std::memset(request->sense, 0, sizeof request->sense);
    if (!data_in && request->length != 0) {
        // Read every byte the request claims to carry.
        volatile uint8_t sum = 0;
        for (uint32_t i = 0; i < request->length; ++i) sum = static_cast<uint8_t>(sum + buffer[i]);
    }

    answer_source& in = source();
    std::vector<uint8_t> genuine;
    if (in.genuine_identity && identity_answer(*request, &genuine)) {
        if (data_in && request->length != 0) {
            std::memset(buffer, 0, request->length);
            std::memcpy(buffer, genuine.data(), genuine.size() < request->length ? genuine.size() : request->length);
        }
        return 0;
    }
    if (in.empty()) return k_error_device_gone;

    const uint8_t control = in.byte();
    uint32_t count = data_in ? request->length : 0;
    switch (control & 7) {
        case 4: {
            const uint32_t wanted = in.byte();
            count = wanted < count ? wanted : count;
            break;
        }
        case 5: {
            request->scsi_status = in.byte();
            const uint8_t key = in.byte();
            const uint8_t asc = in.byte();
            const uint8_t ascq = in.byte();
            fill_sense(request, key, asc, ascq);
            if (request->scsi_status != 0) return 0;
            break;
        }
        case 6: return k_error_general_failure;
        case 7: {
            const uint8_t error = in.byte();
            return error == 0 ? 1 : error;
        }
        default: break;
    }
    for (uint32_t i = 0; i < count; ++i) buffer[i] = in.byte();
    if (data_in) request->residual = request->length - count;
    return 0;
}

bool port_is_general_failure(int os_error) { return os_error == k_error_general_failure; }

bool port_is_time_out(int) { return false; }

bool port_query_bus_is_usb(port_handle*, bool* is_usb) {
    *is_usb = true;
    return true;
}

std::vector<port_candidate_path> port_candidate_paths() {
    return {{"\\\\.\\PhysicalDrive0", false}, {"\\\\.\\PhysicalDrive1", false}, {"\\\\.\\c:", true}};
}

}  // namespace zelko
