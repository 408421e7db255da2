// The ten ready-made LED effects. A generator computes one settings header and a row table
// (a block of colour rows per LED) without any I/O; led_apply_effect copies them into the
// entries of the host image and commits it.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/led/led_mem.h"

ZELKO_API_BEGIN
namespace zelko {

// The 11 leading bytes of an entry.
struct led_effect_header {
    uint8_t mode = 0;
    uint8_t row_number = 0;
    uint16_t cycle_time = 0;   // little-endian in the entry
    uint16_t ramp_factor = 0;  // big-endian
    uint8_t stable_high = 0;   // byte 6
    uint8_t stable_low = 0;    // byte 7
    uint8_t effect_code = 0;
    uint16_t step_time = 0;  // little-endian
};
constexpr size_t k_led_effect_header_size = 11;

// LED i's block starts at i x rows x 3; the buffer is zero-filled, so unset rows are black.
constexpr size_t k_led_row_table_size = 4096;

struct led_effect {
    led_effect_header header;
    uint8_t rows[k_led_row_table_size] = {};
};

// The effects.
enum class led_effect_kind : uint8_t {
    always_on,
    blink,
    breathe,
    spectrum,
    scroll,
    rainbow_scroll,
    running_water,
    sliding,
    newton_cradle,
    meteor,
};

// Mode numbers the effects use.
constexpr uint8_t k_led_mode_always = 1;
constexpr uint8_t k_led_mode_cycle = 2;
constexpr uint8_t k_led_mode_breathe = 4;

// Packed 0xRRGGBB from hue in degrees, saturation and value, with the bridge's own
// rounding: single-precision steps except the sector fraction, which is computed in double.
uint32_t hsv_to_rgb(float hue, float saturation, float value);

// Entry i of the hue table of `count` colours around the wheel.
uint32_t led_hue_entry(int count, int i);

// Builds an effect for `leds` LEDs. `colour` is packed 0xRRGGBB (bits 24-31 ignored) where
// the effect has one, `cycle` the cycle in milliseconds where it has one. False when the
// effect cannot be built for that many LEDs (none at all, fewer than 4 for Newton's
// cradle, or more rows than an entry holds); `out` is then unspecified.
bool build_led_effect(led_effect_kind kind, int leds, uint32_t colour, uint16_t cycle, led_effect* out);

// Copies the header to bytes 0-10 and the LED's block of row_number x 3 bytes to bytes 32
// onward of entry (state, k) for each LED k of the mask (bit k mod 32); bytes 11-31 and the
// rows beyond row_number stay. With `commit`, writes the image back. -1 when the record is
// not valid, the state is out of range, the row number exceeds the entry's rows, or the
// commit fails; otherwise 0.
cmd_status led_apply_effect(bridge_dev* dev, led_mem_dev* record, const led_effect_header& header, const uint8_t* rows,
                            uint8_t state, uint32_t mask, bool commit);

// Builds the effect for the record's LED count and applies it to every LED of state 0,
// with commit. -1 when it cannot be built (nothing is written) or applied.
cmd_status led_set_effect(bridge_dev* dev, led_mem_dev* record, led_effect_kind kind, uint32_t colour, uint16_t cycle);

}  // namespace zelko
ZELKO_API_END
