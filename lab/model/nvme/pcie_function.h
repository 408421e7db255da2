// The NVMe disk's PCIe function as the bridge reaches it: a 256-byte configuration space
// (type 0 header; power management, MSI-X and PCI Express capabilities) and BAR0, the
// controller's 16 KiB register space. Registers take writes as the PCI and NVMe
// standards make them writable; the link registers follow the link the lab sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lab/record/state.h"

// The disk's vendor (a made-up one): its configuration space's vendor and subsystem vendor
// IDs, and the VID and SSVID of the Identify Controller data the disk builds, are this one.
constexpr uint16_t k_nvme_disk_vendor_id = 0x1F9A;

// Configuration space.
constexpr uint32_t k_conf_vendor = 0x00;
constexpr uint32_t k_conf_command = 0x04;
constexpr uint32_t k_conf_status = 0x06;
constexpr uint32_t k_conf_bar0 = 0x10;
constexpr uint32_t k_conf_bar1 = 0x14;
constexpr uint32_t k_conf_cap_pointer = 0x34;
constexpr uint32_t k_cap_power = 0x40;
constexpr uint32_t k_cap_msix = 0x50;
constexpr uint32_t k_cap_express = 0x70;
constexpr uint32_t k_express_link_cap = k_cap_express + 0x0C;
constexpr uint32_t k_express_link_status = k_cap_express + 0x12;
constexpr uint32_t k_express_link_cap2 = k_cap_express + 0x2C;
constexpr uint32_t k_express_link_control2 = k_cap_express + 0x30;
// Configuration reads and writes reach the 4 KiB a PCI Express function has; past the
// 256 bytes kept, it has nothing (reads 0, writes ignored).
constexpr uint32_t k_conf_reach = 0x1000;

// BAR0 (NVMe controller registers).
constexpr uint32_t k_nvme_cap = 0x00;
constexpr uint32_t k_nvme_vs = 0x08;
constexpr uint32_t k_nvme_cc = 0x14;
constexpr uint32_t k_nvme_csts = 0x1C;
constexpr uint32_t k_nvme_aqa = 0x24;
constexpr uint32_t k_nvme_asq = 0x28;
constexpr uint32_t k_nvme_acq = 0x30;
constexpr uint32_t k_nvme_doorbells = 0x1000;
constexpr uint32_t k_msix_table = 0x2000;
constexpr uint32_t k_msix_vectors = 32;
constexpr uint32_t k_msix_pba = 0x3000;

// Link speeds are generations (1: 2.5 GT/s ... 6: 64 GT/s); widths are lane counts.
constexpr uint32_t k_link_max_gen = 6;
bool link_width_valid(uint32_t width);

struct pcie_link {
    uint32_t max_gen = 0;  // Link Capabilities
    uint32_t max_width = 0;
    uint32_t gen = 0;  // Link Status
    uint32_t width = 0;
};
pcie_link link_of(const std::vector<uint8_t>& conf);
// Writes the link registers (Link Capabilities and 2, Link Control 2's target speed,
// Link Status) for `link`.
void put_link(std::vector<uint8_t>& conf, const pcie_link& link);

// Where BAR0 sits in memory space (64-bit, from BAR0 and BAR1).
uint64_t bar0_address(const std::vector<uint8_t>& conf);

// Merges `length` bytes written at `offset` into `space` as the function takes them:
// read-only bits keep their value, write-1-to-clear bits clear where a 1 is written.
void conf_take_write(std::vector<uint8_t>& conf, uint32_t offset, const uint8_t* data, size_t length);
void bar0_take_write(std::vector<uint8_t>& bar0, uint32_t offset, const uint8_t* data, size_t length);

// The function's reset when the bridge restarts: both spaces back to their power-on
// content, the link as it was.
void pcie_function_reset(bridge_record& record);
