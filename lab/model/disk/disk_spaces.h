// The disk's memories with content of their own from power-on: the PCIe function's
// configuration space and BAR0, and a SATA disk's SMART READ DATA (lab/record/storage.h). A
// bridge whose memory was never written (made before the memory existed) gets the
// power-on content on first use, so that the device behaves as a new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lab/record/state.h"
#include "lab/record/storage.h"

// memory_read and memory_write of lab/record/storage.h, after the power-on content is in place.
bool space_read(bridge_record& record, lab_memory which, uint64_t offset, void* out, size_t length);
bool space_write(bridge_record& record, lab_memory which, uint64_t offset, const void* data, size_t length);
// A copy of the whole memory as the device holds it; the power-on content when it was
// never written (nothing is written here).
std::vector<uint8_t> space_bytes(const bridge_record& record, lab_memory which);

// Writes the power-on content of every such memory.
void space_reset_all(bridge_record& record);

// Power-on contents (pcie_function.cpp, ata.cpp).
std::vector<uint8_t> pcie_conf_power_on();
std::vector<uint8_t> pcie_bar0_power_on();
std::vector<uint8_t> smart_data_power_on();
