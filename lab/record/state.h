// The record of one lab device and its persistence.
//
// A record composes the parts of the device, each owned by its family under lab/model/
// beside its behaviour: the bridge's own (`params`, `state`: model/bridge/bridge_state.h),
// the disk (model/disk), the NVMe controller (model/nvme), the LED control (model/led), the
// flash and firmware (model/flash) and the pins (model/pins); the fault rules are the
// record's own.
//
// Persistence is driven by ONE table of keys, composed of the families' rows (each
// family's *_fields.cpp): a row per field with its key (also the `set` key and the `show`
// label), its section and its type. Adding a persisted field is a member in the family's
// state struct plus one row in its table; a state file written before the field existed
// still loads, with the member's default.
//
// State file: a text header of "key value" lines (text values escaped with %XX so that a
// value is one word; numbers decimal or 0x hex), then a line "data". The bridge's large
// memories (flash, LED memory, disk media) are files of their own (lab/record/storage.h),
// never part of this file. A file written before they were kept apart announces its flash
// areas with "blob KEY LENGTH" lines and holds their bytes after "data": loading it moves
// them into the flash once. Every length read from a file is checked against the area's
// size and the file's own size; any fault makes the whole file corrupt.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "lab/model/bridge/bridge_state.h"
#include "lab/model/disk/disk_state.h"
#include "lab/model/flash/flash_state.h"
#include "lab/model/led/led_state.h"
#include "lab/model/nvme/nvme_state.h"
#include "lab/model/pins/pin_state.h"
#include "lab/record/fault.h"
#include "lab/record/storage.h"

// The name of a choice value; "?" for a value beyond the list (a record built in code).
const char* choice_name(const char* const* names, uint32_t value);
// The value of a choice name; false when the list has no such name.
bool choice_value(const char* const* names, const std::string& name, uint32_t* value);
// The names joined by '|': "nvme|sata|none".
std::string choice_list(const char* const* names);

struct bridge_record {
    std::string id;        // the file it lives in; stays across renames
    bridge_params params;  // the bridge's identity and settings
    bridge_live state;     // what the bridge lives through
    disk_state disk;
    nvme_state nvme;
    led_state led;
    flash_state flash;
    bridge_pins pins;  // GPIO, I2C and UART
    std::vector<fault_rule> faults;
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

// Limits of the rows' numbers.
constexpr uint32_t k_u8 = 0xFF;
constexpr uint32_t k_u16 = 0xFFFF;
constexpr uint32_t k_u32 = 0xFFFFFFFF;
constexpr int64_t k_i64 = INT64_MAX;

// The accessor of member `Member` of the record's part `Part`, for a row of a family's
// table: field_of<&bridge_record::nvme, &nvme_state::apst>.
template <auto Part, auto Member>
auto& field_of(bridge_record& record) {
    return (record.*Part).*Member;
}

// Every key: the families' rows and the record's fault rules.
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
