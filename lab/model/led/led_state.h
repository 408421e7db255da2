// What the bridge's LED control keeps besides its LED memory image (led_memory.h): whether
// it drives addressable lights and which sync ecosystems it serves (settings), and what an
// application did to the lights (state). Its settable keys are led_fields.cpp's rows.
#pragma once

#include <cstdint>
#include <vector>

struct led_state {
    uint32_t argb = 1;            // setting: 1, it drives an addressable RGB string
    uint32_t sync = 7;            // setting: sync ecosystems served, 1 Aura, 2 Mystic, 4 Fusion
    uint32_t app_ctl = 0;         // 1: an application drives the lights
    uint32_t direct_sync = 0;     // sync method of the last direct frame
    std::vector<uint8_t> direct;  // the last direct frame, 3 bytes per LED
};
