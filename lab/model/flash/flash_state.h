// What the bridge's flash and firmware keep besides the flash memory itself (lab/record/
// storage.h): the address a write command took and what booted. Their keys are
// flash_fields.cpp's rows.
#pragma once

#include <cstdint>

struct flash_state {
    uint32_t address = 0;  // flash write address taken by E3 10; 0: none since boot
    uint32_t running = 0;  // what booted: factory, main, rescue, unknown (firmware.h)
};
