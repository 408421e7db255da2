// The PG record: the bridge's 2048-byte tag/data configuration record in the upper half
// of its PG flash sector. Tag table, entry sizes, the walk, the decoded form `PgInfo`,
// and the edits of single entries. Pure functions over byte spans; nothing here talks to
// the device.
//
// Every walker reads through a bounded cursor over the record: a byte past the record
// reads as 0 (so a tag in the last byte is an entry without data), and an entry whose
// data would run past the record makes the record invalid (-1) for whatever reads,
// copies or moves it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Where the record lives: the upper half of the 4096-byte PG sector.
constexpr uint32_t k_pg_sector_read = 0xAC004000;   // flash read window of the sector
constexpr uint32_t k_pg_sector_write = 0x8C004000;  // flash write address of the sector
constexpr size_t k_pg_sector_len = 4096;
constexpr size_t k_pg_record_offset = 2048;
constexpr size_t k_pg_record_len = 2048;

// Tags of entries the commands use directly.
constexpr uint8_t k_tag_end = 0;
constexpr uint8_t k_tag_vid = 3;
constexpr uint8_t k_tag_pid = 4;
constexpr uint8_t k_tag_serial = 7;
constexpr uint8_t k_tag_usb_speed = 27;
// Tags above this carry a length byte (which must be 0).
constexpr uint8_t k_tag_last_known = 54;

// Format codes of the tag table.
enum class pg_format : uint8_t {
    fixed = 0,        // raw value of the table size
    count2 = 2,       // count byte n, then n items of 2 bytes
    count3 = 3,       // count byte n, then n items of 3 bytes
    descriptor = 4,   // USB string descriptor; the table size is the largest length
    padded_text = 5,  // ASCII padded with spaces to the table size
    block = 6,        // byte block of the table size
    none = 255,       // no data
};

struct pg_tag_format {
    pg_format format;
    uint8_t size;
};

// Format of a tag of the table (tags 0 to 53); tag 54 and above: no data, size 0.
pg_tag_format pg_tag_info(uint8_t tag);

// Data bytes after a tag, given the byte after it.
size_t pg_entry_size(uint8_t tag, uint8_t next);

// Result of a walk.
struct pg_walk {
    cmd_status code = 0;  // 0, or -1 for an invalid record
    bool found = false;
    size_t position = 0;  // the entry found, else the end marker (or the record's length)
};

// Walks to the first entry with `tag`; stops at the end marker.
pg_walk find_pg_entry(const uint8_t* record, size_t length, uint8_t tag);

// Data size of the entry at `position`, or -1 when its data would run past the record.
int64_t pg_entry_data_size(const uint8_t* record, size_t length, size_t position);

// The decoded record. Text fields are zero-terminated.
struct PgInfo {
    uint16_t VID;
    uint16_t PID;
    char PRODUCT[64];
    char MANUFACTURE[32];
    char SERIAL[64];
    char SCSI_VENDOR[9];
    char SCSI_PRODUCT[17];
    uint8_t ASPMDIS;
    uint8_t DISK_IPS_THRES;
    uint8_t LED;
    uint32_t HW_LED_CFG;
    uint8_t CUSTOMIZED_LED[15];
    uint8_t SUSPEND_LED_OFF;
    uint8_t UART_DBG_PIN;
    uint8_t DISK_HOTPLUG;
    uint32_t SD_MMC_TYPE;
    uint8_t USB_SELF_PWR;
    uint64_t CUSTOMIZED_FEATURE;
    uint32_t SUPPORT_HID;
};

// Value kinds of the configuration file.
enum class pg_key_kind : uint8_t { number, quoted_text, hex_list };

// One of the nineteen named keys.
struct pg_key {
    const char* name;
    uint8_t tag;
    pg_key_kind kind;
};
constexpr size_t k_pg_key_count = 19;
extern const pg_key pg_keys[k_pg_key_count];

// The key of `tag`, or null when the tag is not a named key.
const pg_key* find_pg_key_by_tag(uint8_t tag);
// The key named exactly `name` (case-sensitive), or null.
const pg_key* find_pg_key(const char* name);

// Fills `info` (zeroed first) from the record: entries of named keys in order, stopping
// at the first other tag. 0, or -1 when an entry's data runs past the record.
cmd_status decode_pg_record(const uint8_t* record, size_t length, PgInfo* info);

// Removes the first entry with `tag`, moving what follows down and zero-filling the tail.
// 0 (also when absent), -1 for an invalid record.
cmd_status remove_pg_entry(uint8_t* record, size_t length, uint8_t tag);

// Writes `size` bytes of `value` as the data of `tag`: over the first entry with the tag
// (whose data size must be `size`), or as a new entry at the end marker, after which the
// record is zero to its end. -1 (record unchanged) when invalid, when it does not fit, or
// when the walk would not find the new entry where it was written.
cmd_status put_pg_entry(uint8_t* record, size_t length, uint8_t tag, const void* value, size_t size);

// Capacity of a descriptor's characters, per tag (62 for tags 5 and 7, 30 for tag 6).
// `out` must hold capacity + 2 bytes: 31 characters make a 64-byte descriptor.
size_t string_to_usb_descriptor(const char* text, size_t text_length, uint8_t* out, size_t capacity);

}  // namespace zelko
ZELKO_API_END
