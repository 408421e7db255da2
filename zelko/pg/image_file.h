// Firmware and LED image files: the image header, its CRC-32 check, the layout of the two
// parts an image is written as, and the LED image header. Everything here reads files
// only; nothing talks to the bridge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

constexpr size_t k_image_header_len = 2048;
constexpr size_t k_image_min_len = 4096;
constexpr uint32_t k_image_magic_main = 0x97463136;
constexpr uint32_t k_image_magic_rescue = 0x79817981;  // rescue image of the first chip family
constexpr uint8_t k_image_rescue_mark = 0xFE;          // byte 0x04 of the other families' rescue images

// Fields of the image header (offsets in the file, little-endian).
struct image_header_fields {
    uint32_t magic;           // 0x00
    uint8_t mark;             // 0x04
    uint8_t chip_code;        // 0x08
    uint32_t crc;             // 0x10
    uint32_t checked_offset;  // 0x14
    uint32_t checked_length;  // 0x18
    uint32_t rear_offset;     // 0x1C
    uint32_t rear_address;    // 0x20
    uint32_t front_offset;    // 0x28
    uint32_t front_address;   // 0x2C
    uint32_t front_length;    // 0x30
};

image_header_fields decode_image_header(const uint8_t* header, size_t length);

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320, initial 0xFFFFFFFF, final complement);
// `crc` carries the value of the bytes before, starting from 0.
uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t length);

// True when both parts lie inside a file of `file_size` bytes, the front part starts at
// offset 0 and holds the header, and both part lengths are whole 4096-byte sectors.
bool image_layout_ok(const image_header_fields& fields, uint64_t file_size);

// Reads the image header (2048 bytes into `header`) and checks the CRC of the checked
// range. -1 for a file that cannot be read, is shorter than 4096 bytes, whose checked
// range lies outside it, or whose CRC differs.
cmd_status read_image_header(const char* path, uint8_t* header);

// An image file opened for binary reading; null for a null or empty path, a path that is
// no regular file (a device, a FIFO, a directory) or a file that does not open.
using image_file_ptr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
image_file_ptr open_image_file(const char* path);
// The size of an open file, which is left at its start; -1 when it cannot be told.
int64_t image_stream_size(std::FILE* file);

// The size of the file at `path`, -1 when it cannot be opened or measured.
int64_t image_file_size(const char* path);

// LED image: magic 0x4C454453, flash address at 0x08, lengths at 0x0C and 0x14.
constexpr uint32_t k_led_image_magic = 0x4C454453;
constexpr size_t k_led_image_header_len = 64;

// The bytes an LED image writes (first + second length, equal to the file's size), or 0
// for a missing path or an invalid file.
uint64_t check_led_image(const char* path, uint32_t* address = nullptr);

}  // namespace zelko
ZELKO_API_END
