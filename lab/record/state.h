// The record of one lab device and its persistence.
//
// A record keeps what the device is (`bridge_params`: its identity and settings, chosen at
// creation and changed only by `mvbridge-lab set`) apart from what it lives through
// (`bridge_live`: its current name, volatile settings, registers written, flash, faults).
//
// Persistence is driven by ONE table, k_persisted_fields in state.cpp: a row per field
// with its key (also the `set` key and the `show` label), its section and its type.
// Adding a persisted field is a member here plus one row there; a state file written
// before the field existed still loads, with the member's default.
//
// State file: a text header of "key value" lines (text values escaped with %XX so that a
// value is one word; numbers decimal or 0x hex), then a line "data". The bridge's large
// memories (flash, LED memory, disk media) are files of their own (lab/record/storage.h), never
// part of this file. A file written before they were kept apart announces its flash
// areas with "blob KEY LENGTH" lines and holds their bytes after "data": loading it moves
// them into the flash once. Every length read from a file is checked against the area's
// size and the file's own size; any fault makes the whole file corrupt.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "lab/record/fault.h"
#include "lab/model/pins/pin_state.h"
#include "lab/record/storage.h"

// Values of the choice fields.
enum : uint32_t { k_kind_bridge = 0, k_kind_foreign = 1 };
enum : uint32_t { k_bus_usb = 0, k_bus_other = 1 };
enum : uint32_t { k_disk_nvme = 0, k_disk_sata = 1, k_disk_none = 2 };

// The disk kinds' names, by value, null-terminated: the state file, `create --disk` and
// `show` all use this one list.
extern const char* const k_disk_kind_names[];
// The name of a choice value; "?" for a value beyond the list (a record built in code).
const char* choice_name(const char* const* names, uint32_t value);
// The value of a choice name; false when the list has no such name.
bool choice_value(const char* const* names, const std::string& name, uint32_t* value);
// The names joined by '|': "nvme|sata|none".
std::string choice_list(const char* const* names);

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
    uint32_t disk = k_disk_nvme;
    uint32_t pcie_link = 1;
    std::string model;  // disk strings, ATA form: up to 40, 20, 8
    std::string serial;
    std::string firmware;
    int64_t capacity_sectors = 1953525168;  // 512-byte sectors (1 TB)
    uint32_t security_status = 0;           // IDENTIFY words 128, 92, 89, 90 (SATA disks)
    uint32_t master_password_id = 0;
    uint32_t erase_time = 0;
    uint32_t enhanced_erase_time = 0;
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
    // LED control
    uint32_t led_argb = 1;  // 1: it drives an addressable RGB string
    uint32_t led_sync = 7;  // sync ecosystems served: 1 Aura, 2 Mystic, 4 Fusion
};

struct bridge_live {
    std::string name;  // the name it answers under now
    uint32_t disk_state = 1;
    uint32_t xfer_flag = 1;
    uint32_t boot_count = 0;                 // restarts so far; handles of an older boot are stale
    int64_t offline_until_ms = 0;            // lab time; away until then
    std::map<uint32_t, uint32_t> registers;  // register block offset -> value written since boot
    uint32_t disk_speed = 0;                 // disk speed setting, 0: fastest; back to 0 at restart
    uint32_t rw_mode = 0;                    // read/write mode reported to the host; back to 0 at restart
    uint32_t raid_mode = 0;                  // RAID mode in force (0 JBOD, 1 RAID0, 2 RAID1)
    uint32_t raid_pending = k_raid_none;     // RAID mode applied at the next restart, or k_raid_none
    bridge_pins pins;                        // GPIO, I2C and UART (pin_state.h)
    std::vector<fault_rule> faults;
    // The NVMe controller behind the bridge (lab/model/nvme/). Its pages are raw bytes
    // in the lab memories `nvme_pages` and `nvme_fw` (nvme_store.h); these are its small
    // settings.
    uint32_t nvme_held = 0;           // pages held as raw bytes (nvme_store.h); others built from the disk's settings
    uint32_t nvme_entry_waiting = 0;  // 1: a submitted entry waits for its data phase
    uint32_t nvme_entry_queue = 0;    // its queue: 0 admin, 1 I/O
    int64_t nvme_entry_host = 0;      // the process that submitted it (0: unknown)
    int64_t nvme_entry_since_ms = 0;  // lab time it was submitted
    uint32_t nvme_temp_threshold = 343;  // Temperature Threshold feature, composite over-temperature (K)
    uint32_t nvme_power_state = 0;       // Power Management feature
    uint32_t nvme_apst = 1;              // Autonomous Power State Transition feature: enabled
    uint32_t nvme_cmd_timeout = 30;      // bridge: NVMe command time-out
    uint32_t nvme_aspm = 1;              // bridge: 1 ASPM on, 0 switched off
    uint32_t nvme_media_fill = 0;        // 32-bit pattern that blocks never written read as
    uint32_t nvme_sanitize_action = 0;   // SANACT of the sanitize in progress, 0 for none
    uint32_t nvme_sanitize_cdw10 = 0;    // its CDW10 and overwrite pattern
    uint32_t nvme_sanitize_pattern = 0;
    int64_t nvme_sanitize_start_ms = 0;  // lab time it started
    uint32_t nvme_sanitize_ms = 3000;    // lab time a sanitize takes
    uint32_t nvme_sstat = 0;             // Sanitize Status log: SSTAT, SPROG and SCDW10 as last reported
    uint32_t nvme_sprog = 0xFFFF;
    uint32_t nvme_scdw10 = 0;
    std::vector<uint32_t> nvme_sanitize_log;  // scripted log answers, empty: over lab time (model/nvme/sanitize_log.h)
    uint32_t nvme_sanitize_log_next = 0;      // the one the next read answers
    uint32_t nvme_fw_length = 0;              // bytes in the firmware download buffer, assembled at the chunks' offsets
    uint32_t nvme_fw_gap = 0;                 // 1: a chunk left a gap, the image cannot be committed
    uint32_t nvme_fw_active = 1;              // firmware slot running (its revision, or the disk's firmware when empty)
    uint32_t nvme_fw_pending = 0;             // slot activated at the next reset, 0 for none
    uint32_t nvme_sanitize_fail = 0;          // 1: sanitize operations fail when their time is up
    uint32_t nvme_sanitize_failed = 0;        // 1: sanitize failure mode, media access refused
    uint32_t nvme_media_key = 0;              // media encryption key; nonzero: never-written blocks read as its noise
    // LED control
    uint32_t led_app_ctl = 0;           // 1: an application drives the lights
    uint32_t led_direct_sync = 0;       // sync method of the last direct frame
    std::vector<uint8_t> led_direct;    // the last direct frame, 3 bytes per LED
    std::vector<uint8_t> ata_features;  // SET FEATURES received: FEATURES, COUNT pairs
    uint32_t flash_address = 0;         // flash write address taken by E3 10; 0: none since boot
    // Firmware update
    uint32_t fw_running = 0;  // what booted: factory, main, rescue, unknown (lab/model/flash/firmware.h)
};

struct bridge_record {
    std::string id;  // the file it lives in; stays across renames
    bridge_params params;
    bridge_live state;
    bool dirty = false;    // not persisted: set when the record must be saved
    memory_home memories;  // not persisted: where its memories live (storage.h)
};

// Field types of the persistence table.
struct u32_field {
    uint32_t& (*at)(bridge_record&);
    bool hex;
    uint32_t max;
    uint32_t min = 0;
};
struct i64_field {
    int64_t& (*at)(bridge_record&);
    int64_t min;
    int64_t max;
    bool lab_time = false;  // a moment of lab time: `show` tells it from now
};
struct text_field {
    std::string& (*at)(bridge_record&);
    uint32_t min_len;
    uint32_t max_len;
    bool (*check)(const std::string& value);  // further check, or null
};
struct choice_field {
    uint32_t& (*at)(bridge_record&);
    const char* const* names;  // null-terminated; the value is the index
};
struct register_map_field {
    std::map<uint32_t, uint32_t>& (*at)(bridge_record&);
};
struct fault_list_field {
    std::vector<fault_rule>& (*at)(bridge_record&);
};
// A field whose owner writes its text forms: its header values (one line each), the
// reading of one such line, its `show` summary and, for a `set` key, the reading of a
// `set` value, which may differ from the stored form (a feed adds to what is stored).
struct custom_field {
    std::vector<std::string> (*encode)(const bridge_record&);
    bool (*decode)(bridge_record&, const std::string& value, std::string* error);
    std::string (*show)(const bridge_record&);
    bool (*set)(bridge_record&, const std::string& value, std::string* error);  // null: no `set` form
};
using field_type =
    std::variant<u32_field, i64_field, text_field, choice_field, register_map_field, fault_list_field, custom_field>;

struct persisted_field {
    const char* key;
    const char* section;  // identity, disk, settings, state, registers, memory, pins, faults
    bool settable;        // a `set` key
    field_type type;
};

const std::vector<persisted_field>& persisted_fields();
const persisted_field* find_field(const std::string& key);

// Sets a settable field from user text, with the field's checks.
bool field_set_text(bridge_record& record, const persisted_field& field, const std::string& value, std::string* error);
// The field's value as `show` prints it; a moment of lab time is told from `now_ms`
// ("in 1500 ms", "past", "never").
std::string field_show_text(bridge_record& record, const persisted_field& field, int64_t now_ms);

std::string encode_bridge(bridge_record& record);
// Reads a state file into `record`, which keeps its id and where its memories live. A
// file with flash areas of the older form moves them into the flash and leaves the
// record dirty, so that the caller saves it in the present form.
bool decode_bridge(const std::string& content, bridge_record* record, std::string* error);
