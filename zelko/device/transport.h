// The one path to the device: 16-byte command blocks sent through the platform port,
// plus the bridge's memory, register and transfer-setting operations built on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "zelko/common/export.h"
#include "zelko/device/port.h"
#include "zelko/device/result.h"

ZELKO_API_BEGIN
namespace zelko {

// Every command in the system is sent with this time-out.
constexpr uint32_t k_timeout_s = 10;

// Attempts scsi_send makes while the port reports a general failure.
constexpr int k_send_attempts = 5;

// An opened device path; owns one port handle and remembers what its last request came to.
struct bridge_dev {
    port_handle* handle = nullptr;
    send_result last;  // the record of the last request scsi_send made on this device
    bridge_dev() = default;
    explicit bridge_dev(port_handle* h) : handle(h) {}
    bridge_dev(const bridge_dev&) = delete;
    bridge_dev& operator=(const bridge_dev&) = delete;
    ~bridge_dev() { port_close(handle); }
};
using bridge_dev_ptr = std::unique_ptr<bridge_dev>;

// Bytes of every command block.
constexpr size_t k_cdb_len = 16;
using cdb16 = std::array<uint8_t, k_cdb_len>;

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
// Returns the k_cdb_len-byte block of `fields`, by value; no I/O.
cdb16 vendor_cdb(const vendor_fields& fields);

// Status of a data-in request whose answer came back shorter than the bytes the command
// decodes at fixed offsets: the missing bytes were never sent, so nothing is decoded.
constexpr cmd_status k_status_short_answer = -1;

// Sends one command block and waits for its end. `buffer` holds `length` bytes (the data
// phase, read or written in the given direction; it may be null when `length` is 0) and
// stays the caller's. A general failure of the port is sent again, k_send_attempts calls
// in all. Returns 0 on status GOOD; else the SCSI status byte when it is nonzero (it wins
// over an OS error), else the OS error; -1 when nothing was sent (null device, negative
// length, null buffer, no memory for the aligned copy). A short data phase is no failure
// here (see read_fixed). `result`, when given, receives the request's result record
// whatever the outcome; the device keeps the same record for last_result.
cmd_status scsi_send(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length, data_direction direction,
                     uint32_t timeout_s, send_result* result = nullptr);

// The result record of the last request sent on `dev`, with its category; describe()
// puts it in words. A device that has sent nothing yet, or a null `dev`, gives a record
// of category result_category::not_sent. Returns a copy: the caller owns it.
send_result last_result(const bridge_dev* dev);

// A data-in request whose answer is decoded at fixed offsets (a register, a counter, a
// status block): reads `length` bytes into `buffer`. Returns what scsi_send returns, or
// k_status_short_answer when fewer than `length` bytes came back.
cmd_status read_fixed(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length);

// Bridge addresses.
constexpr uint32_t k_config_window = 0xAC004000;  // read window of the configuration area
constexpr uint32_t k_register_base[2] = {0xB3500000, 0xB3700000};
constexpr uint32_t k_reg_hotplug = 0x94;
constexpr uint32_t k_reg_chip_version = 0xC4;
constexpr uint32_t k_reg_chip_identity = 0xC8;

// The memory, register and transfer-setting operations: one vendor block each, sent with
// k_timeout_s. Each returns the status of read_fixed (reads) or scsi_send (writes) and,
// on failure, leaves its destination untouched.

// Reads `length` bytes of bridge memory at `address` into `buffer` (`length` bytes).
cmd_status mem_read(bridge_dev* dev, uint32_t address, void* buffer, int32_t length);
// Reads the 32-bit register at `address` into `*value`.
cmd_status reg_read32(bridge_dev* dev, uint32_t address, uint32_t* value);
// Writes `value` to the 32-bit register at `address`; `selector` goes in byte 5 (callers pass 0).
cmd_status reg_write32(bridge_dev* dev, uint32_t address, uint8_t selector, uint32_t value);
// Reads the one-byte transfer flag into `*flag`. It must be 0 while data phases longer
// than 4096 bytes run.
cmd_status xfer_flag_get(bridge_dev* dev, uint8_t* flag);
// Writes the one-byte transfer flag.
cmd_status xfer_flag_set(bridge_dev* dev, uint8_t flag);
// Reads the largest data phase, in bytes, the bridge takes in one command into `*length`.
cmd_status max_xfer_get(bridge_dev* dev, uint32_t* length);

}  // namespace zelko
ZELKO_API_END
