// Where an update's images land in the bridge flash, checked before the first write: an
// image file decides the addresses of its parts, so nothing it says is taken on trust.
// A part must be whole aligned sectors at or above the PG sector, must not wrap past the
// end of the 32-bit address space, must not overlap another part of the same update
// (the PG sector, which every image's front part and boot header share, excepted), and
// its last sector must exist on the bridge.
#pragma once

#include <cstdint>
#include <vector>

#include "zelko/device/transport.h"
#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// The bytes one part writes, at flash write addresses (0x8C000000 + flash offset).
struct flash_range {
    uint64_t address;
    uint64_t length;
};

// The ranges an image's rear and front parts write. False when the file cannot be read
// or its layout lies outside the file (read_image_header and image_layout_ok).
bool image_flash_ranges(const char* path, std::vector<flash_range>* ranges);

// The range an LED image's pages write (its byte count rounded up to whole pages).
// False for an invalid LED image.
bool led_flash_range(const char* path, flash_range* range);

// True when `range` is a nonzero run of whole sectors starting on a sector boundary, at
// or above the PG sector, ending at or below the end of the address space, and meeting
// none of `taken` outside the PG sector.
bool flash_range_placeable(const flash_range& range, const std::vector<flash_range>& taken);

// Asks the bridge for the last 4 bytes of `range` through the flash read window: 0 when
// the flash holds them, else the failing read's status (-1 for an empty range).
cmd_status flash_range_exists(bridge_dev* dev, const flash_range& range);

}  // namespace zelko
ZELKO_API_END
