// The bridge's information and control operations: UUID, customer page, firmware
// version, restart, disk link speed, reported read/write mode, status block and disk
// hot-plug. Command blocks are built by pure functions; the operations send them.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Sub-commands (byte 4 of the vendor command block).
constexpr uint8_t k_sub_uuid = 0xC3;              // E2: the UUID
constexpr uint8_t k_sub_uuid_by_offset = 0x96;    // E2: the UUID read at a flash offset
constexpr uint8_t k_sub_cust_page_write = 0x44;   // E3
constexpr uint8_t k_sub_cust_page_read = 0xC4;    // E2
constexpr uint8_t k_sub_fw_version = 0xA5;        // E2
constexpr uint8_t k_sub_restart = 0x30;           // E3, byte 5 the restart type
constexpr uint8_t k_sub_disk_speed_write = 0x4D;  // E3, byte 6 the speed
constexpr uint8_t k_sub_disk_speed_read = 0xCD;   // E2
constexpr uint8_t k_sub_rw_mode_write = 0x4F;     // E3, byte 6 the mode
constexpr uint8_t k_sub_rw_mode_read = 0xCF;      // E2
constexpr uint8_t k_sub_status_block = 0xB5;      // E2

// Data phase lengths.
constexpr int32_t k_uuid_len = 4;
constexpr int32_t k_cust_page_len = 4096;
constexpr int32_t k_fw_version_len = 20;
constexpr int32_t k_restart_len = 4;
constexpr int32_t k_disk_speed_len = 2;
constexpr int32_t k_rw_mode_len = 1;
constexpr int32_t k_status_block_len = 128;

// Offsets of the 32-bit little-endian words used from the status block.
constexpr int k_status_usb_speed = 20;
constexpr int k_status_ips_threshold = 64;

// Flash offset of the UUID for the fallback read, per bridge generation.
constexpr uint32_t k_uuid_offset[2] = {0xFC, 0x7FC};

// Bits of the hot-plug control register that stay set when hot-plug is disabled,
// per bridge generation (generation 0 clears bits 0-1, generation 1 bits 8, 9, 12, 13).
constexpr uint32_t k_hotplug_keep_mask[2] = {0xFFFFFFFCu, 0xFFFFCCFFu};

// Highest disk speed code set_disk_speed sends (0 to 3).
constexpr uint8_t k_max_disk_speed = 3;

// Read/write modes the bridge reports to the host.
constexpr uint8_t k_rw_mode_normal = 0;
constexpr uint8_t k_rw_mode_write_protect = 1;
constexpr uint8_t k_rw_mode_format = 2;

// The 20-byte firmware version answer: five 32-bit little-endian words.
struct fw_version {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    uint32_t reserved = 0;
    uint32_t build_date = 0;
};

// Command block builders (no I/O).
cdb16 uuid_cdb();
cdb16 uuid_by_offset_cdb(uint32_t offset);
cdb16 cust_page_write_cdb();
cdb16 cust_page_read_cdb();
cdb16 fw_version_cdb();
cdb16 restart_cdb(uint8_t type);
cdb16 disk_speed_write_cdb(uint8_t speed);
cdb16 disk_speed_read_cdb();
cdb16 rw_mode_write_cdb(uint8_t mode);
cdb16 rw_mode_read_cdb();
cdb16 status_block_cdb();

// Printed names of codes: static texts, not to be freed.
const char* usb_speed_text(uint32_t code);  // with its line end
const char* rw_mode_text(uint8_t mode);     // without a line end

// Operations. Each returns the cmd_status of its exchange (or -1 for a failure found
// before sending; k_status_short_answer for an answer shorter than its length); on failure
// the output is left untouched. The buffers named are read or written whole.

// Reads the UUID (k_uuid_len bytes) into `*uuid`; when that read fails, identifies the
// bridge and reads it at k_uuid_offset of its generation (-1 for a device that is no bridge).
cmd_status get_uuid(bridge_dev* dev, uint32_t* uuid);
cmd_status set_cust_page(bridge_dev* dev, const uint8_t* page);  // k_cust_page_len bytes
cmd_status get_cust_page(bridge_dev* dev, uint8_t* page);        // k_cust_page_len bytes
cmd_status get_fw_version(bridge_dev* dev, fw_version* version);
cmd_status bridge_restart(bridge_dev* dev, uint8_t type);
cmd_status set_disk_speed(bridge_dev* dev, uint8_t speed);  // -1 above 3, nothing sent
cmd_status get_disk_speed(bridge_dev* dev, uint8_t* speed);
cmd_status set_bridge_rw_mode(bridge_dev* dev, uint8_t mode);
cmd_status get_bridge_rw_mode(bridge_dev* dev, uint8_t* mode);
cmd_status get_status_block(bridge_dev* dev, uint8_t* block);  // k_status_block_len bytes
cmd_status disable_disk_hotplug(bridge_dev* dev);

}  // namespace zelko
ZELKO_API_END
