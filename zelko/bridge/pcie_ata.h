// The PCIe function behind the bridge (its configuration and memory space, the capability
// list and the link registers) and standard ATA commands to a SATA disk, carried in
// ATA PASS-THROUGH(12). Command blocks are built by pure functions; the operations send
// them.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Sub-commands (byte 4 of the vendor command block).
constexpr uint8_t k_sub_pcie_conf_read = 0xB3;   // E2
constexpr uint8_t k_sub_pcie_conf_write = 0x33;  // E3
constexpr uint8_t k_sub_pcie_mem_read = 0xB4;    // E2
constexpr uint8_t k_sub_pcie_mem_write = 0x34;   // E3

// Transfers longer than this run with the bridge's transfer flag cleared.
constexpr int32_t k_xfer_flag_limit = 4096;

// The read commands accept these lengths.
constexpr int32_t k_pcie_conf_max_read = 256;
constexpr int32_t k_pcie_mem_max_read = 262144;

// Configuration header registers and the capability list.
constexpr uint8_t k_pci_status = 0x06;           // 16 bits
constexpr uint8_t k_pci_status_cap_list = 0x10;  // bit 4 of its first byte
constexpr uint8_t k_pci_cap_pointer = 0x34;      // 8 bits
constexpr uint8_t k_pci_cap_express = 0x10;      // PCI Express capability id
constexpr uint8_t k_pcie_link_cap = 0x0C;        // from the capability's start, 32 bits
constexpr uint8_t k_pcie_link_status = 0x12;     // 16 bits, read as 32
// Capabilities are dword-aligned headers after the 64-byte header, so a list in a
// 256-byte space holds at most (256 - 64) / 4 of them; a longer walk is going round.
constexpr int k_pci_max_caps = 48;

// pcie_find_cap: the device has no capability list, or the id is not in it.
constexpr cmd_status k_status_cap_absent = -1;
// pcie_find_cap: the list does not end within k_pci_max_caps entries (it loops).
constexpr cmd_status k_status_cap_list_loops = -2;

// Link fields of Link Capabilities and Link Status: the speed in bits 0-3, the width in
// bits 4-9.
constexpr uint32_t link_speed(uint32_t value) { return value & 0xF; }
constexpr uint32_t link_width(uint32_t value) { return (value >> 4) & 0x3F; }

// ATA PASS-THROUGH(12).
constexpr uint8_t k_op_ata_pass_through12 = 0xA1;
constexpr uint8_t k_ata_protocol_pio_in = 0x08;
constexpr uint8_t k_ata_protocol_non_data = 0x06;
// Transfer from the device, length in blocks, taken from the sector count.
constexpr uint8_t k_ata_flags_in_blocks = 0x0E;
constexpr uint8_t k_ata_cmd_smart = 0xB0;
constexpr uint8_t k_ata_smart_read_data = 0xD0;  // FEATURES of SMART READ DATA
constexpr uint8_t k_ata_smart_lba_mid = 0x4F;
constexpr uint8_t k_ata_smart_lba_high = 0xC2;
constexpr uint8_t k_ata_device_smart = 0xA0;
constexpr uint8_t k_ata_cmd_set_features = 0xEF;
constexpr int32_t k_smart_data_len = 512;

// Command block builders (no I/O).
cdb16 pcie_conf_read_cdb(uint8_t reg, uint32_t length);
cdb16 pcie_conf_write_cdb(uint8_t reg, uint32_t length);
cdb16 pcie_mem_read_cdb(uint32_t address, uint32_t length);
cdb16 pcie_mem_write_cdb(uint32_t address, uint32_t length);
cdb16 ata_smart_read_cdb();
cdb16 ata_set_features_cdb(uint8_t feature, uint8_t count);

// Operations; each returns the cmd_status of its exchange, or -1 for an argument refused
// before sending. A read whose answer comes back short fails (k_status_short_answer).
cmd_status pcie_conf_read(bridge_dev* dev, uint8_t reg, uint8_t* buffer, int32_t length);
cmd_status pcie_conf_write(bridge_dev* dev, uint8_t reg, const uint8_t* data, int32_t length);
// Transfers longer than k_xfer_flag_limit clear the transfer flag before and set it
// again after, whatever the transfer came to; they return the transfer's status.
cmd_status pcie_mem_read(bridge_dev* dev, uint32_t address, uint8_t* buffer, int32_t length);
cmd_status pcie_mem_write(bridge_dev* dev, uint32_t address, const uint8_t* data, int32_t length);
// -1 without sending when `length` is below k_smart_data_len.
cmd_status ata_smart_read(bridge_dev* dev, uint8_t* buffer, int32_t length);
cmd_status ata_set_features(bridge_dev* dev, uint8_t feature, uint8_t count);

// The configuration offset of the first capability with `id`: 0 and `offset` set, or
// k_status_cap_absent, k_status_cap_list_loops, or the failing read's status.
cmd_status pcie_find_cap(bridge_dev* dev, uint8_t id, uint8_t* offset);
// The 32-bit value at `field` (k_pcie_link_cap or k_pcie_link_status) of the PCI Express
// capability; the register offset wraps at 8 bits.
cmd_status pcie_read_link_field(bridge_dev* dev, uint8_t field, uint32_t* value);

}  // namespace zelko
ZELKO_API_END
