// The one path to the device: 16-byte command blocks sent through the platform port,
// plus the bridge's memory, register and transfer-setting operations built on it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "zelko/device/port.h"

namespace zelko {

// The integer result of every device operation: 0 success; a nonzero SCSI status byte
// or operating-system error code from the transport; -1 (or another negative value)
// for a failure the tool finds itself.
using cmd_status = int32_t;

// Every command in the system is sent with this time-out.
constexpr uint32_t k_timeout_s = 10;

// Attempts scsi_send makes while the port reports a general failure.
constexpr int k_send_attempts = 5;

// Bytes of sense data handed back to callers.
constexpr int k_sense_len = 18;

// An opened device path; owns one port handle.
struct bridge_dev {
    port_handle* handle = nullptr;
    bridge_dev() = default;
    explicit bridge_dev(port_handle* h) : handle(h) {}
    bridge_dev(const bridge_dev&) = delete;
    bridge_dev& operator=(const bridge_dev&) = delete;
    ~bridge_dev() { port_close(handle); }
};
using bridge_dev_ptr = std::unique_ptr<bridge_dev>;

using cdb16 = std::array<uint8_t, 16>;

// Opcodes of the bridge's own command blocks.
constexpr uint8_t k_op_vendor_read = 0xE2;
constexpr uint8_t k_op_vendor_write = 0xE3;

// Fields of a vendor command block: byte 0 opcode, byte 4 sub-command, bytes 5 to 7
// small parameters, bytes 8 to 11 a 32-bit address or parameter, bytes 12 to 15 the
// data length (both little-endian). Unnamed bytes stay 0.
struct vendor_fields {
    uint8_t opcode = 0;
    uint8_t sub = 0;
    uint8_t p5 = 0;
    uint8_t p6 = 0;
    uint8_t p7 = 0;
    uint32_t address = 0;
    uint32_t length = 0;
};
cdb16 vendor_cdb(const vendor_fields& fields);

// Status of a data-in request whose answer came back shorter than the bytes the command
// decodes at fixed offsets: the missing bytes were never sent, so nothing is decoded.
constexpr cmd_status k_status_short_answer = -1;

// What one scsi_send came to, for the callers that need more than its status.
struct send_result {
    cmd_status status = 0;            // what scsi_send returned
    uint8_t scsi_status = 0;          // SCSI status byte of the last attempt
    int os_error = 0;                 // OS error of the last attempt, 0 when carried out
    uint8_t sense[k_sense_len] = {};  // first bytes of the sense area, whatever the outcome
    uint32_t residual = 0;            // bytes of the data phase not transferred
    uint32_t transferred = 0;         // bytes of the data phase transferred

    bool ok() const { return status == 0; }
};

// Sends one command block. `buffer` may be null when `length` is 0. `result`, when given,
// receives the status, sense and residual count of the request whatever the outcome.
cmd_status scsi_send(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length, data_direction direction,
                     uint32_t timeout_s, send_result* result = nullptr);

// A data-in request whose answer is decoded at fixed offsets (a register, a counter, a
// status block): an answer shorter than `length` fails with k_status_short_answer.
cmd_status read_fixed(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length);

// Bridge addresses.
constexpr uint32_t k_config_window = 0xAC004000;  // read window of the configuration area
constexpr uint32_t k_register_base[2] = {0xB3500000, 0xB3700000};
constexpr uint32_t k_reg_hotplug = 0x94;
constexpr uint32_t k_reg_chip_version = 0xC4;
constexpr uint32_t k_reg_chip_identity = 0xC8;

cmd_status mem_read(bridge_dev* dev, uint32_t address, void* buffer, int32_t length);
cmd_status reg_read32(bridge_dev* dev, uint32_t address, uint32_t* value);
cmd_status reg_write32(bridge_dev* dev, uint32_t address, uint8_t selector, uint32_t value);
cmd_status xfer_flag_get(bridge_dev* dev, uint8_t* flag);
cmd_status xfer_flag_set(bridge_dev* dev, uint8_t flag);
cmd_status max_xfer_get(bridge_dev* dev, uint32_t* length);

}  // namespace zelko
