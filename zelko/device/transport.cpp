#include "zelko/device/transport.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "zelko/common/bytes.h"

namespace zelko {

cdb16 vendor_cdb(const vendor_fields& f) {
    cdb16 cdb{};
    cdb[0] = f.opcode;
    cdb[4] = f.sub;
    cdb[5] = f.p5;
    cdb[6] = f.p6;
    cdb[7] = f.p7;
    put_le32(&cdb[8], f.address);
    put_le32(&cdb[12], f.length);
    return cdb;
}

namespace {

// The pass-through request wants a data buffer on a 4-byte boundary. An unaligned caller
// buffer is replaced by an aligned copy of size (length & ~3) + 4.
bool needs_bounce(const void* buffer, int32_t length) {
    return length != 0 && (reinterpret_cast<uintptr_t>(buffer) & 3u) != 0;
}

// The request itself; `outcome` arrives as a record of nothing sent and is filled once the
// request went out.
cmd_status send_request(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length, data_direction direction,
                        uint32_t timeout_s, send_result* outcome) {
    if (dev == nullptr || length < 0 || (length > 0 && buffer == nullptr)) return -1;
    const bool data_in = direction == data_direction::from_device;

    std::unique_ptr<uint8_t[]> bounce;
    void* data = length == 0 ? nullptr : buffer;
    if (needs_bounce(buffer, length)) {
        const size_t size = (static_cast<size_t>(length) & ~size_t{3}) + 4;
        bounce.reset(new (std::nothrow) uint8_t[size]());
        if (!bounce) return -1;  // nothing was sent
        std::memcpy(bounce.get(), buffer, static_cast<size_t>(length));
        data = bounce.get();
    }

    port_request request;
    std::memcpy(request.cdb, cdb.data(), cdb.size());
    request.buffer = data;
    request.length = static_cast<uint32_t>(length);
    request.direction = direction;
    request.timeout_s = timeout_s;

    int os_error = 0;
    for (int attempt = 0; attempt < k_send_attempts; ++attempt) {
        os_error = port_pass_through(dev->handle, &request);
        if (os_error == 0 || !port_is_general_failure(os_error)) break;
    }

    cmd_status status = 0;
    if (request.scsi_status != 0) {
        status = request.scsi_status;
    } else if (os_error != 0) {
        status = os_error;
    }

    if (bounce && data_in) std::memcpy(buffer, bounce.get(), static_cast<size_t>(length));

    outcome->status = status;
    outcome->scsi_status = request.scsi_status;
    outcome->os_error = os_error;
    std::memcpy(outcome->sense, request.sense, k_sense_len);
    outcome->residual = std::min(request.residual, request.length);
    outcome->transferred = request.length - outcome->residual;
    outcome->category = categorize(request.scsi_status, os_error, port_is_time_out(os_error), outcome->residual);
    return status;
}

}  // namespace

cmd_status scsi_send(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length, data_direction direction,
                     uint32_t timeout_s, send_result* result) {
    send_result outcome{.residual = length > 0 ? uint32_t(length) : 0u};
    const cmd_status status = send_request(dev, cdb, buffer, length, direction, timeout_s, &outcome);
    if (dev != nullptr) dev->last = outcome;
    if (result != nullptr) *result = outcome;
    return status;
}

send_result last_result(const bridge_dev* dev) { return dev != nullptr ? dev->last : send_result{}; }

cmd_status read_fixed(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length) {
    send_result result;
    const cmd_status status = scsi_send(dev, cdb, buffer, length, data_direction::from_device, k_timeout_s, &result);
    if (status != 0) return status;
    return result.residual != 0 ? k_status_short_answer : 0;
}

cmd_status mem_read(bridge_dev* dev, uint32_t address, void* buffer, int32_t length) {
    const cdb16 cdb = vendor_cdb(
        {.opcode = k_op_vendor_read, .sub = 0x92, .address = address, .length = static_cast<uint32_t>(length)});
    return read_fixed(dev, cdb, buffer, length);
}

cmd_status reg_read32(bridge_dev* dev, uint32_t address, uint32_t* value) {
    alignas(4) uint8_t raw[4] = {};
    const cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_read, .sub = 0xA2, .address = address, .length = 4});
    const cmd_status status = read_fixed(dev, cdb, raw, 4);
    if (status == 0) *value = get_le32(raw);
    return status;
}

cmd_status reg_write32(bridge_dev* dev, uint32_t address, uint8_t selector, uint32_t value) {
    alignas(4) uint8_t raw[4];
    put_le32(raw, value);
    const cdb16 cdb =
        vendor_cdb({.opcode = k_op_vendor_write, .sub = 0x23, .p5 = selector, .address = address, .length = 4});
    return scsi_send(dev, cdb, raw, 4, data_direction::to_device, k_timeout_s);
}

cmd_status xfer_flag_get(bridge_dev* dev, uint8_t* flag) {
    uint8_t raw = 0;
    const cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_read, .sub = 0xCB, .length = 1});
    const cmd_status status = read_fixed(dev, cdb, &raw, 1);
    if (status == 0) *flag = raw;
    return status;
}

cmd_status xfer_flag_set(bridge_dev* dev, uint8_t flag) {
    uint8_t raw = flag;
    const cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_write, .sub = 0x4B, .length = 1});
    return scsi_send(dev, cdb, &raw, 1, data_direction::to_device, k_timeout_s);
}

cmd_status max_xfer_get(bridge_dev* dev, uint32_t* length) {
    alignas(4) uint8_t raw[4] = {};
    const cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_read, .sub = 0xCA, .address = 2, .length = 4});
    const cmd_status status = read_fixed(dev, cdb, raw, 4);
    if (status == 0) *length = get_le32(raw);
    return status;
}

}  // namespace zelko
