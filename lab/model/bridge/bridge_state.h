// The bridge's own part of a lab device's record: what it is (`bridge_params`: identity
// and settings, chosen at creation and changed only by `mvbridge-lab set`) apart from what
// it lives through (`bridge_live`: its current name, volatile settings, registers written).
// Its settable keys are bridge_fields.cpp's rows; the disk, NVMe controller, LED control,
// flash and pins keep their own parts (lab/record/state.h composes them).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "lab/record/storage.h"

// Values of the choice fields.
enum : uint32_t { k_kind_bridge = 0, k_kind_foreign = 1 };
enum : uint32_t { k_bus_usb = 0, k_bus_other = 1 };

// raid_pending when no new RAID mode waits for a restart.
constexpr uint32_t k_raid_none = 3;

struct bridge_params {
    uint32_t kind = k_kind_bridge;             // a bridge, or another vendor's USB disk
    std::string vendor = "Morvelt";            // INQUIRY vendor, space-padded to 8
    std::string product = "USB3 NVMe Bridge";  // INQUIRY product, space-padded to 16
    std::string revision = "1.01";             // INQUIRY product revision, 4 characters
    uint32_t chip_id = 0xA0020001;
    uint32_t chip_version = 0x00120003;
    uint32_t uuid = 0;
    uint32_t bus = k_bus_usb;
    uint32_t max_xfer = 0x40000;      // largest data phase accepted
    int64_t restart_delay_ms = 2000;  // lab time a restart keeps the bridge away
    std::string restart_name;         // name it comes back under; empty: the same
    uint32_t restart_never = 0;       // 1: a restart takes it away for good
    uint32_t uuid_cmd = 1;            // 1: its firmware serves the UUID command (0xC3)
    uint32_t fw_major = 1;            // firmware version words (0xA5)
    uint32_t fw_minor = 4;
    uint32_t fw_patch = 2;
    uint32_t fw_reserved = 0;
    uint32_t fw_build_date = 20240611;
    uint32_t usb_speed = 6;                      // USB link speed code of the status block (6: 10 Gbps)
    uint32_t ips_threshold = 85;                 // IPS threshold of the status block
    uint32_t disk_speed_max = 3;                 // fastest disk link generation it trains to (1..3)
    uint32_t disks = 1;                          // disks it joins; 2 makes the RAID commands work
    uint32_t flash_size = k_flash_size_default;  // bytes of its flash (lab/record/storage.h)
};

struct bridge_live {
    std::string name;  // the name it answers under now
    uint32_t xfer_flag = 1;
    uint32_t boot_count = 0;                 // restarts so far; handles of an older boot are stale
    int64_t offline_until_ms = 0;            // lab time; away until then
    std::map<uint32_t, uint32_t> registers;  // register block offset -> value written since boot
    uint32_t disk_speed = 0;                 // disk speed setting, 0: fastest; back to 0 at restart
    uint32_t rw_mode = 0;                    // read/write mode reported to the host; back to 0 at restart
    uint32_t raid_mode = 0;                  // RAID mode in force (0 JBOD, 1 RAID0, 2 RAID1)
    uint32_t raid_pending = k_raid_none;     // RAID mode applied at the next restart, or k_raid_none
};
