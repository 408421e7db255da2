// Identity facts of the emulated bridge: generations, register block, defaults.
#pragma once

#include <cstdint>
#include <string>

#include "lab/record/state.h"

// Generation selected by an INQUIRY product revision: 0, 1, or -1 for an unknown one.
int lab_generation_of_revision(const std::string& revision);

// Base of the bridge's register block: generation 0 revisions put it at 0xB3500000,
// every other revision at 0xB3700000.
uint32_t lab_register_base(const bridge_record& record);

constexpr uint32_t k_register_block_size = 0x1000;
constexpr uint32_t k_reg_offset_hotplug = 0x94;
constexpr uint32_t k_reg_offset_chip_version = 0xC4;
constexpr uint32_t k_reg_offset_chip_identity = 0xC8;

// Revision and chip identity and version typical of a generation (0 or 1).
void apply_generation_defaults(bridge_params& params, int generation);
// Product string, disk strings, PCIe link and disk state typical of a disk kind.
void apply_disk_defaults(bridge_record& record, uint32_t disk);
// Another vendor's USB disk: no bridge behind its INQUIRY.
void apply_foreign_defaults(bridge_record& record);
// A UUID that differs from bridge to bridge: derived from the name it was created under.
uint32_t default_uuid(const std::string& name);
