// The disk's large memories as raw bytes: the PCIe function's configuration space and
// memory space (BAR0), and a SATA disk's SMART READ DATA. They are read and written in
// place at an offset, as the device holds them; the device behaviours decide what a
// write may change.
//
// They live in the bridge record today (bridge_live); a record that never held one gets
// its power-on content on first use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lab/state.h"

enum class disk_space { pcie_conf, pcie_bar0, smart_data };

constexpr uint32_t k_pcie_conf_size = 256;
constexpr uint32_t k_pcie_bar0_size = 0x4000;
constexpr uint32_t k_smart_data_size = 512;

// False, touching nothing, when the range does not lie inside the space.
bool space_read(bridge_record& record, disk_space which, uint64_t offset, void* out, size_t length);
bool space_write(bridge_record& record, disk_space which, uint64_t offset, const void* data, size_t length);
uint64_t space_size(const bridge_record& record, disk_space which);
// A copy of the whole space.
std::vector<uint8_t> space_bytes(const bridge_record& record, disk_space which);

// Puts every space back to its power-on content (as a new record; it is not marked dirty).
void space_reset_all(bridge_record& record);

// Power-on contents (pcie_function.cpp, ata.cpp).
std::vector<uint8_t> pcie_conf_power_on();
std::vector<uint8_t> pcie_bar0_power_on();
std::vector<uint8_t> smart_data_power_on();
