// Names of the LED states and LED lighting modes, shared by the manual and the LED
// commands.
#pragma once

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

constexpr int k_led_state_count = 5;  // LED states 0 to 4
constexpr int k_led_mode_count = 6;   // LED modes 0 to 5 (the mode byte of an LED entry)

// Indexed by the LED state number: 0 "Idle", 1 "Read/Write", 2 "IPS", 3 "Sleep", 4 "No Disk".
extern const char* const k_led_state_names[k_led_state_count];

// Indexed by the mode byte: 0 "None", 1 "Color_Always", 2 "Color_Cycle", 3 "Color_Blink",
// 4 "Color_Breathe", 5 "force_shutdown".
extern const char* const k_led_mode_names[k_led_mode_count];

}  // namespace zelko
ZELKO_API_END
