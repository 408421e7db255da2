// The bridge's LED memory image and its host-side copy: loading it in chunks, checking it,
// writing it back, the per-state field accessors, and the LED operations that talk to the
// bridge directly (support queries, application control, direct RGB). Command blocks are
// built by pure functions; the operations send them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Sub-commands (byte 4) and LED functions (byte 5) of the LED command blocks.
constexpr uint8_t k_sub_led_read = 0xCC;   // E2
constexpr uint8_t k_sub_led_write = 0x4C;  // E3
constexpr uint8_t k_led_fn_app_ctl = 0x01;
constexpr uint8_t k_led_fn_image = 0x02;
constexpr uint8_t k_led_fn_direct = 0x03;
constexpr uint8_t k_led_fn_sync_support = 0x04;
constexpr uint8_t k_led_fn_argb_support = 0x05;

// Sync ecosystems of the sync support query (byte 6).
constexpr uint8_t k_eco_aura = 1;
constexpr uint8_t k_eco_mystic = 2;
constexpr uint8_t k_eco_fusion = 4;

// The image: its size, the chunk it travels in, and its header fields.
constexpr uint32_t k_led_image_size = 16384;
constexpr uint32_t k_led_chunk_size = 1024;
constexpr uint32_t k_led_magic = 0x4C454453;  // "SDEL" as stored
constexpr uint32_t k_led_layout_version = 2;
constexpr size_t k_led_off_magic = 0;
constexpr size_t k_led_off_version = 4;
constexpr size_t k_led_off_table = 12;
constexpr size_t k_led_off_count = 24;
constexpr size_t k_led_off_brightness = 28;
// The header fields above end before this offset; an entry table starting earlier would let
// entry writes overwrite them.
constexpr size_t k_led_header_size = 32;

// Entries: 5 states x n LEDs, each a 32-byte settings part and 43 colour rows.
constexpr int k_led_states = 5;
constexpr int k_led_max_leds = 20;  // slots of a state row table
constexpr uint8_t k_led_entry_header = 32;
constexpr uint8_t k_led_color_rows = 43;
constexpr size_t k_led_entry_size = k_led_color_rows * 3 + k_led_entry_header;  // 161

// Offsets inside an entry.
constexpr size_t k_entry_mode = 0;
constexpr size_t k_entry_row_number = 1;
constexpr size_t k_entry_cycle = 2;   // little-endian
constexpr size_t k_entry_ramp = 4;    // big-endian
constexpr size_t k_entry_stable = 6;  // big-endian
constexpr size_t k_entry_effect_code = 8;
constexpr size_t k_entry_step_time = 9;  // little-endian
constexpr size_t k_entry_colors = 32;

// The settle read after the image travels: READ(10) of one block.
constexpr int32_t k_led_settle_len = 512;

// The host copy of the LED memory image, one per command, owned by the dispatcher.
// state_rows[s][k] points at the entry of state s and LED k inside `image`.
struct led_mem_dev {
    std::unique_ptr<uint8_t[]> image;
    std::array<std::unique_ptr<uint8_t*[]>, k_led_states> state_rows;
    uint8_t entry_header_size = 0;
    uint8_t color_row_count = 0;
    uint8_t sync_method = 0;  // byte 6 of the direct RGB block
    uint32_t image_size = 0;
};

// The fields of an entry's settings part that the commands read and set one at a time.
enum class led_field : uint8_t { mode, row_number, cycle_time, ramp_factor, stable_factor };

// Command block builders (no I/O).
cdb16 led_app_ctl_read_cdb();
cdb16 led_app_ctl_write_cdb(uint8_t enable);
cdb16 led_image_read_cdb(uint32_t offset, uint32_t length);
cdb16 led_image_write_cdb(uint32_t offset, uint32_t length);
cdb16 led_direct_cdb(uint8_t sync_method, uint8_t count);
cdb16 led_sync_support_cdb(uint8_t ecosystem);
cdb16 led_argb_support_cdb();
cdb16 led_settle_cdb();

// Loads the image into a zero-filled record: ARGB support, the chunks, the settle read,
// then the checks (magic, version 2, LED count 0 to 20, the entry table inside the image
// and clear of the header).
// Returns 0, or -1 with everything it allocated released.
cmd_status led_mem_dev_init(bridge_dev* dev, led_mem_dev* record);
// Checks a loaded image and builds the state row tables; -1 when the image is refused.
cmd_status led_mem_dev_index(led_mem_dev* record);
void led_mem_dev_free(led_mem_dev* record);
// Writes the whole image back, then the settle read. 0, or the status of the first
// failing chunk (the chunks before it stay written).
cmd_status led_mem_commit(bridge_dev* dev, led_mem_dev* record);

// True when the record holds a loaded, checked image.
bool led_mem_valid(const led_mem_dev* record);
int32_t led_count(const led_mem_dev* record);  // 0 for a record that is not valid
// The entry of (state, LED), or null when the record is not valid or either is out of range.
uint8_t* led_entry(led_mem_dev* record, uint8_t state, uint8_t led);

// Accessors. Each returns -1 without touching anything when the record is not valid or
// the state, LED or colour row is out of range; a setter with `commit` returns -1 when
// the commit fails.
cmd_status led_get_field(led_mem_dev* record, uint8_t state, uint8_t led, led_field field, uint16_t* value);
cmd_status led_set_field(bridge_dev* dev, led_mem_dev* record, uint8_t state, uint8_t led, led_field field,
                         uint16_t value, bool commit);
cmd_status led_get_color(led_mem_dev* record, uint8_t state, uint8_t led, uint8_t row, uint8_t rgb[3]);
// Writes `count` (at most 3) values to the row starting at red.
cmd_status led_set_color(bridge_dev* dev, led_mem_dev* record, uint8_t state, uint8_t led, uint8_t row,
                         const uint8_t* values, int count, bool commit);
cmd_status led_get_brightness(led_mem_dev* record, uint16_t* brightness);
cmd_status led_set_brightness(bridge_dev* dev, led_mem_dev* record, uint16_t brightness, bool commit);
cmd_status led_get_rgb_num(led_mem_dev* record, int32_t* count);

// Direct operations: no image involved.
cmd_status led_get_app_ctl(bridge_dev* dev, uint8_t* enable);
cmd_status led_set_app_ctl(bridge_dev* dev, uint8_t enable);
cmd_status led_get_argb_support(bridge_dev* dev, uint8_t* support);
cmd_status led_get_sync_support(bridge_dev* dev, uint8_t ecosystem, uint8_t* support);
// Sends `count` colour triples (3 x count bytes of `rgb`).
cmd_status led_set_rgb_direct(bridge_dev* dev, uint8_t sync_method, const uint8_t* rgb, uint8_t count);

}  // namespace zelko
ZELKO_API_END
