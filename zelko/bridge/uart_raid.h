// The bridge's serial port and the RAID mode of bridges that join two disks. Command
// blocks are built by pure functions; the operations send them.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Sub-commands (byte 4 of the vendor command block).
constexpr uint8_t k_sub_uart_init = 0x4E;      // E3
constexpr uint8_t k_sub_uart_transmit = 0x38;  // E3
constexpr uint8_t k_sub_uart_clear = 0x3A;     // E3
constexpr uint8_t k_sub_uart_receive = 0xB8;   // E2
constexpr uint8_t k_sub_uart_count = 0xBA;     // E2
constexpr uint8_t k_sub_raid_get = 0xD2;       // E2
constexpr uint8_t k_sub_raid_set = 0x52;       // E3

// Byte 5 of a transmit: the transmit pin with this bit set when the pin is given.
constexpr uint8_t k_uart_pin_given = 0x80;

constexpr int32_t k_uart_init_len = 1;         // the receive pin
constexpr int32_t k_uart_count_len = 4;        // 32-bit little-endian count
constexpr uint32_t k_uart_max_receive = 1024;  // largest count the receive buffer holds

// RAID modes.
constexpr uint8_t k_raid_jbod = 0;
constexpr uint8_t k_raid0 = 1;
constexpr uint8_t k_raid1 = 2;
constexpr uint8_t k_raid_max_mode = k_raid1;
constexpr int32_t k_raid_mode_len = 1;

// Bytes 8 to 11 of a RAID set: the ASCII bytes 'R' 'A' 'I' 'D'.
constexpr uint32_t k_raid_set_key = 0x44494152u;

// Name of a RAID mode as printed; "UNKNOWN" for any other value. A static text.
const char* raid_mode_name(uint8_t mode);

// Command block builders (no I/O).
cdb16 uart_init_cdb(uint32_t baud);
cdb16 uart_transmit_cdb(bool with_pin, uint8_t tx_pin, uint32_t baud, uint32_t length);
cdb16 uart_count_cdb();
cdb16 uart_receive_cdb(uint32_t count);
cdb16 uart_clear_cdb();
cdb16 raid_get_cdb();
cdb16 raid_set_cdb(uint8_t mode);

// Operations; each returns the cmd_status of its exchange, or -1 for an argument it
// refuses before sending. On failure the outputs are left untouched.
// Sets the receive pin and speed (k_uart_init_len data byte: the pin).
cmd_status uart_set_rx(bridge_dev* dev, uint8_t rx_pin, uint32_t baud);
// Sends the `length` bytes at `data` (copied first; -1 without memory or for a negative length).
cmd_status uart_transmit(bridge_dev* dev, bool with_pin, uint8_t tx_pin, uint32_t baud, const uint8_t* data,
                         int32_t length);
// The count of waiting bytes (k_uart_count_len bytes, little-endian) into `*count`.
cmd_status uart_receive_count(bridge_dev* dev, uint32_t* count);
// Reads up to `count` waiting bytes into `buffer` (`count` bytes; the tool's buffer holds
// k_uart_max_receive); `*received` tells how many arrived, 0 on failure.
cmd_status uart_receive(bridge_dev* dev, uint8_t* buffer, int32_t count, uint32_t* received);
cmd_status uart_clear(bridge_dev* dev);
// The RAID mode (k_raid_mode_len byte) into `*mode`.
cmd_status get_raid_mode(bridge_dev* dev, uint8_t* mode);
cmd_status set_raid_mode(bridge_dev* dev, uint8_t mode);  // -1 above RAID1, nothing sent

}  // namespace zelko
ZELKO_API_END
