#include "zelko/pg/image_layout.h"

#include <algorithm>

#include "zelko/pg/image_file.h"
#include "zelko/pg/image_write.h"
#include "zelko/pg/pg_record.h"
#include "zelko/pg/pg_write.h"

namespace zelko {

namespace {

constexpr uint64_t k_address_space_end = uint64_t{1} << 32;

uint64_t end_of(const flash_range& range) { return range.address + range.length; }

// True when the two ranges share a byte outside the PG sector.
bool overlap_outside_pg_sector(const flash_range& a, const flash_range& b) {
    const uint64_t from = std::max(a.address, b.address);
    const uint64_t to = std::min(end_of(a), end_of(b));
    if (from >= to) return false;
    return from < k_pg_sector_write || to > uint64_t{k_pg_sector_write} + k_pg_sector_len;
}

}  // namespace

bool image_flash_ranges(const char* path, std::vector<flash_range>* ranges) {
    uint8_t header[k_image_header_len] = {};
    if (read_image_header(path, header) != 0) return false;
    const int64_t size = image_file_size(path);
    const image_header_fields f = decode_image_header(header, sizeof header);
    if (size < 0 || !image_layout_ok(f, static_cast<uint64_t>(size))) return false;
    const uint64_t rear_length = static_cast<uint64_t>(size) - f.front_length;
    if (rear_length != 0) ranges->push_back({f.rear_address, rear_length});
    ranges->push_back({f.front_address, f.front_length});
    return true;
}

bool led_flash_range(const char* path, flash_range* range) {
    uint32_t address = 0;
    const uint64_t bytes = check_led_image(path, &address);
    if (bytes == 0) return false;
    *range = {address, (bytes + k_flash_write_unit - 1) / k_flash_write_unit * k_flash_write_unit};
    return true;
}

bool flash_range_placeable(const flash_range& range, const std::vector<flash_range>& taken) {
    if (range.length == 0 || range.length % k_flash_write_unit != 0 || range.address % k_flash_write_unit != 0) {
        return false;
    }
    if (range.address < k_pg_sector_write || end_of(range) > k_address_space_end) return false;
    return std::none_of(taken.begin(), taken.end(),
                        [&](const flash_range& other) { return overlap_outside_pg_sector(range, other); });
}

cmd_status flash_range_exists(bridge_dev* dev, const flash_range& range) {
    if (range.length < 4 || end_of(range) > k_address_space_end) return -1;
    alignas(4) uint8_t last[4] = {};
    const uint32_t at = static_cast<uint32_t>(end_of(range) - sizeof last);
    return mem_read(dev, at | k_flash_read_bit, last, static_cast<int32_t>(sizeof last));
}

}  // namespace zelko
