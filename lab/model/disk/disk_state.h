// The disk behind the bridge as the bridge reports it: its kind, its strings and size, its
// security words (SATA), the link it trained, and what it lives through. Its raw memories
// (SMART data, the PCIe function's spaces) are lab memories (disk_spaces.h); its settable
// keys are disk_fields.cpp's rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum : uint32_t { k_disk_nvme = 0, k_disk_sata = 1, k_disk_none = 2 };
// The disk kinds' names, by value, null-terminated: the state file, `create --disk` and
// `show` all use this one list (disk_fields.cpp).
extern const char* const k_disk_kind_names[];

struct disk_state {
    uint32_t kind = k_disk_nvme;
    uint32_t state = 1;      // disk state the bridge reports
    uint32_t pcie_link = 1;  // PCIe link state it reports
    std::string model;       // disk strings, ATA form: up to 40, 20, 8
    std::string serial;
    std::string firmware;
    int64_t capacity_sectors = 1953525168;  // 512-byte sectors (1 TB)
    uint32_t security_status = 0;           // IDENTIFY words 128, 92, 89, 90 (SATA disks)
    uint32_t master_password_id = 0;
    uint32_t erase_time = 0;
    uint32_t enhanced_erase_time = 0;
    std::vector<uint8_t> ata_features;  // SET FEATURES received: FEATURES, COUNT pairs
};
