// Writing images into the bridge flash: a firmware image's two parts, an image header
// into the boot header area of the PG sector, an LED image page by page. Each writer
// adds the bytes it has put into flash to a counter that another thread may read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Largest chunk of an image written in one data phase.
constexpr uint32_t k_image_chunk_max = 65536;
// Bit that turns a flash write address into its read window address.
constexpr uint32_t k_flash_read_bit = 0x20000000;

// The chunk size for a bridge that reports `limit` bytes per data phase (`limit_ok`
// false when the read failed): capped at 64 KiB, rounded down to whole 4096-byte
// sectors, 4096 at least.
uint32_t image_chunk_size(bool limit_ok, uint32_t limit);

// Writes the rear part, then the front part, each from its end down, so that the chunk
// holding the image header goes last. A chunk over the PG sector carries the bridge's
// current PG record. 0, -1 for a file or layout failure, or a failing command's status.
cmd_status write_image(bridge_dev* dev, const char* path, std::atomic<uint32_t>& progress);

// Writes the image's header into the boot header half of the PG sector, keeping the
// record half as read.
cmd_status write_boot_header(bridge_dev* dev, const char* path);

// Writes an LED image (checked first) in 4096-byte pages; a short last page keeps the
// bytes the flash holds after the file's end.
cmd_status write_led_image(bridge_dev* dev, const char* path, std::atomic<uint32_t>& progress);

}  // namespace zelko
ZELKO_API_END
