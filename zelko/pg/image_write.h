// Writing images into the bridge flash: a firmware image's two parts, an image header
// into the boot header area of the PG sector, an LED image page by page. Each writer
// adds the bytes it has put into flash to a counter that another thread may read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"
#include "zelko/pg/pg_record.h"

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

// The PG record a firmware update keeps (read before its first write). A write over the
// PG sector made with it carries it in the sector's record half and is read back; a
// sector that differs from what was written is written again, k_commit_attempts writes
// in all, and still differing gives -1. A torn or silently dropped write thus never
// leaves the bridge without its identity while the update goes on.
struct kept_pg_record {
    uint8_t bytes[k_pg_record_len];
};

// Writes the rear part, then the front part, each from its end down, so that the chunk
// holding the image header goes last. A chunk over the PG sector carries `keep` (checked
// as above), or without it the bridge's current PG record. 0, -1 for a file or layout
// failure or a PG sector that stays different, or a failing command's status.
cmd_status write_image(bridge_dev* dev, const char* path, std::atomic<uint32_t>& progress,
                       const kept_pg_record* keep = nullptr);

// Writes the image's header into the boot header half of the PG sector; the record half
// is `keep` (checked as above), or without it the record half as read.
cmd_status write_boot_header(bridge_dev* dev, const char* path, const kept_pg_record* keep = nullptr);

// Writes `length` bytes at flash `address`, a range that holds the whole PG sector, with
// `keep` in the record half, reads the sector back and writes again on a difference.
cmd_status write_over_pg_sector(bridge_dev* dev, uint32_t address, uint8_t* data, size_t length,
                                const kept_pg_record& keep);

// Writes an LED image (checked first) in 4096-byte pages; a short last page keeps the
// bytes the flash holds after the file's end.
cmd_status write_led_image(bridge_dev* dev, const char* path, std::atomic<uint32_t>& progress);

}  // namespace zelko
ZELKO_API_END
