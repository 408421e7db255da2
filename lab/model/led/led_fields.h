// The LED control's keys: its settings and state (led_state.h: led_argb, led_sync,
// led_app_ctl, led_direct_sync, led_direct), and `set` and `show` views of the LED
// memory's header, for tests and demos, whose values live in the raw image (the bridge's
// `led` memory), so none of them adds a line to the state file:
//   led_count N        a fresh image for N LEDs (0 to 20)
//   led_count_field N  the LED count field alone, any 32-bit signed value
//   led_magic X        the magic field (the bridge expects 0x4C454453)
//   led_version N      the layout version field (the bridge expects 2)
#pragma once

#include <span>

#include "lab/record/state.h"

// The LED control's rows: its settings, state, and the views of its memory's header
// above.
std::span<const persisted_field> led_fields();
