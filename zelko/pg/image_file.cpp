#include "zelko/pg/image_file.h"

#include <array>
#include <cstdio>
#include <memory>

#include "zelko/common/cursor.h"
#include "zelko/common/input_file.h"

namespace zelko {

namespace {

// Built once, at compile time.
constexpr std::array<uint32_t, 256> crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> k_crc_table = crc_table();

bool whole_sectors(uint64_t length) { return length != 0 && length % k_image_min_len == 0; }

}  // namespace

image_header_fields decode_image_header(const uint8_t* header, size_t length) {
    read_cursor in(header, length);
    image_header_fields f{};
    f.magic = in.le32_at(0x00);
    f.mark = in.u8_at(0x04);
    f.chip_code = in.u8_at(0x08);
    f.crc = in.le32_at(0x10);
    f.checked_offset = in.le32_at(0x14);
    f.checked_length = in.le32_at(0x18);
    f.rear_offset = in.le32_at(0x1C);
    f.rear_address = in.le32_at(0x20);
    f.front_offset = in.le32_at(0x28);
    f.front_address = in.le32_at(0x2C);
    f.front_length = in.le32_at(0x30);
    return f;
}

uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t length) {
    uint32_t c = ~crc;
    for (size_t i = 0; i < length; ++i) c = k_crc_table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    return ~c;
}

bool image_layout_ok(const image_header_fields& f, uint64_t file_size) {
    if (f.front_offset != 0 || f.front_length < k_image_header_len || f.front_length > file_size) return false;
    const uint64_t rear_length = file_size - f.front_length;
    if (!whole_sectors(f.front_length) || (rear_length != 0 && !whole_sectors(rear_length))) return false;
    return static_cast<uint64_t>(f.rear_offset) + rear_length <= file_size;
}

cmd_status read_image_header(const char* path, uint8_t* header) {
    image_file_ptr file = open_image_file(path);
    if (!file) return -1;
    const int64_t size = image_stream_size(file.get());
    uint8_t block[k_image_min_len];
    if (size < static_cast<int64_t>(k_image_min_len) ||
        std::fread(block, 1, sizeof block, file.get()) != sizeof block) {
        return -1;
    }
    std::copy(block, block + k_image_header_len, header);
    const image_header_fields f = decode_image_header(block, sizeof block);
    // A checked range that points outside the file is refused before any seek.
    if (static_cast<uint64_t>(f.checked_offset) + f.checked_length > static_cast<uint64_t>(size)) return -1;
    if (std::fseek(file.get(), static_cast<long>(f.checked_offset), SEEK_SET) != 0) {
        std::perror("fseek()");
        return -1;
    }
    uint32_t crc = 0;
    for (uint64_t left = f.checked_length; left != 0;) {
        const size_t n = left < sizeof block ? static_cast<size_t>(left) : sizeof block;
        if (std::fread(block, 1, n, file.get()) != n) return -1;
        crc = crc32_update(crc, block, n);
        left -= n;
    }
    return crc == f.crc ? 0 : -1;
}

int64_t image_stream_size(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

image_file_ptr open_image_file(const char* path) { return open_input_file(path); }

int64_t image_file_size(const char* path) {
    image_file_ptr file = open_image_file(path);
    return file ? image_stream_size(file.get()) : -1;
}

uint64_t check_led_image(const char* path, uint32_t* address) {
    image_file_ptr file = open_image_file(path);
    if (!file) return 0;
    const int64_t size = image_stream_size(file.get());
    uint8_t header[k_led_image_header_len] = {};
    if (size < 0 || std::fread(header, 1, sizeof header, file.get()) != sizeof header) return 0;
    read_cursor in(header, sizeof header);
    const uint64_t total = static_cast<uint64_t>(in.le32_at(0x0C)) + in.le32_at(0x14);
    if (in.le32_at(0x00) != k_led_image_magic || total != static_cast<uint64_t>(size)) return 0;
    if (address != nullptr) *address = in.le32_at(0x08);
    return total;
}

}  // namespace zelko
