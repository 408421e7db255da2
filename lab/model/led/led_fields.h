// `set` and `show` views of the LED memory's header, for tests and demos: the values live
// in the raw image (the bridge's `led` memory), so none of them adds a line to the state
// file.
//   led_count N        a fresh image for N LEDs (0 to 20)
//   led_count_field N  the LED count field alone, any 32-bit signed value
//   led_magic X        the magic field (the bridge expects 0x4C454453)
//   led_version N      the layout version field (the bridge expects 2)
#pragma once

#include "lab/record/state.h"

// The last direct RGB frame, as hex bytes (3 per LED, at most 20 LEDs).
extern const custom_field k_led_direct_field;

extern const custom_field k_led_count_field;
extern const custom_field k_led_count_raw_field;
extern const custom_field k_led_magic_field;
extern const custom_field k_led_version_field;
