#include "zelko/led/led_names.h"

namespace zelko {

const char* const k_led_state_names[k_led_state_count] = {"Idle", "Read/Write", "IPS", "Sleep", "No Disk"};

const char* const k_led_mode_names[k_led_mode_count] = {"None",        "Color_Always",  "Color_Cycle",
                                                        "Color_Blink", "Color_Breathe", "force_shutdown"};

}  // namespace zelko
