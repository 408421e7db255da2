// Whether an image file fits the connected bridge: its chip code and, for main and
// rescue images, the marks of their kind. Reads the bridge, never writes it.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"
#include "zelko/pg/image_file.h"

ZELKO_API_BEGIN
namespace zelko {

// The chip code images for a bridge must carry, from its chip identity and the variant
// (bits 16 to 31 of the chip version); -1 for a chip no image is built for.
int expected_chip_code(uint32_t chip, uint32_t variant);

// True when the header's magic and mark are those of a rescue image (`rescue`) or of a
// main image for a bridge with chip identity `chip`.
bool image_kind_ok(const image_header_fields& fields, uint32_t chip, bool rescue);

// The header's CRC and the parts' layout inside the file, then the bridge's generation, chip identity and variant, then
// the chip code and the kind. 0, -1, or the status of a failed chip identity read.
cmd_status check_image(bridge_dev* dev, const char* path, bool rescue);

}  // namespace zelko
ZELKO_API_END
