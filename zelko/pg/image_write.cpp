#include "zelko/pg/image_write.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "zelko/pg/image_file.h"
#include "zelko/pg/pg_read.h"
#include "zelko/pg/pg_write.h"

namespace zelko {

namespace {

// Adds to a counter that only this thread writes; others read it whole.
void add_progress(std::atomic<uint32_t>& progress, uint64_t bytes) {
    progress.store(progress.load(std::memory_order_relaxed) + static_cast<uint32_t>(bytes), std::memory_order_release);
}

bool read_at(std::FILE* file, uint64_t offset, uint8_t* out, size_t length) {
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(out, 1, length, file) == length;
}

// One part of an image: `length` bytes at file `offset`, written to flash `address`.
struct image_part {
    uint64_t offset;
    uint32_t address;
    uint64_t length;
};

// Writes a part from its end down in chunks of `buffer.size()` bytes. A chunk that
// covers the PG sector gets the bridge's current record in its record half first.
cmd_status write_part(bridge_dev* dev, std::FILE* file, const image_part& part, std::vector<uint8_t>& buffer,
                      std::atomic<uint32_t>& progress, const kept_pg_record* keep) {
    uint64_t left = part.length;
    while (left != 0) {
        const uint64_t n = std::min<uint64_t>(buffer.size(), left);
        left -= n;
        const uint64_t chunk_address = part.address + left;
        if (!read_at(file, part.offset + left, buffer.data(), static_cast<size_t>(n))) return -1;
        const bool over_pg =
            chunk_address <= k_pg_sector_write && k_pg_sector_write + k_pg_sector_len <= chunk_address + n;
        if (over_pg && keep != nullptr) {
            const cmd_status status = write_over_pg_sector(dev, static_cast<uint32_t>(chunk_address), buffer.data(),
                                                           static_cast<size_t>(n), *keep);
            if (status != 0) return status;
            add_progress(progress, n);
            continue;
        }
        if (over_pg) {
            const size_t at = static_cast<size_t>(k_pg_sector_write - chunk_address) + k_pg_record_offset;
            const cmd_status status = read_pg_record(dev, buffer.data() + at, k_pg_record_len);
            if (status != 0) return status;
        }
        const cmd_status status =
            flash_write(dev, static_cast<uint32_t>(chunk_address), buffer.data(), static_cast<size_t>(n));
        if (status != 0) return status;
        add_progress(progress, n);
    }
    return 0;
}

}  // namespace

uint32_t image_chunk_size(bool limit_ok, uint32_t limit) {
    if (!limit_ok) return k_flash_write_unit;
    const uint32_t capped = std::min(limit, k_image_chunk_max);
    return std::max<uint32_t>(capped - capped % k_flash_write_unit, k_flash_write_unit);
}

cmd_status write_over_pg_sector(bridge_dev* dev, uint32_t address, uint8_t* data, size_t length,
                                const kept_pg_record& keep) {
    if (address > k_pg_sector_write || k_pg_sector_write - address + k_pg_sector_len > length) return -1;
    uint8_t* sector = data + (k_pg_sector_write - address);
    std::memcpy(sector + k_pg_record_offset, keep.bytes, sizeof keep.bytes);
    alignas(4) uint8_t back[k_pg_sector_len];
    for (int attempt = 0; attempt < k_commit_attempts; ++attempt) {
        cmd_status status = flash_write(dev, address, data, length);
        if (status != 0) return status;
        std::memset(back, 0, sizeof back);
        status = mem_read(dev, k_pg_sector_read, back, static_cast<int32_t>(sizeof back));
        if (status != 0) return status;
        if (std::memcmp(back, sector, sizeof back) == 0) return 0;
    }
    return -1;
}

cmd_status write_image(bridge_dev* dev, const char* path, std::atomic<uint32_t>& progress, const kept_pg_record* keep) {
    uint8_t header[k_image_header_len] = {};
    const cmd_status read = read_image_header(path, header);
    if (read != 0) return read;
    image_file_ptr file = open_image_file(path);
    if (!file) return -1;
    const int64_t size = image_stream_size(file.get());
    const image_header_fields f = decode_image_header(header, sizeof header);
    // A layout pointing outside the file is refused before the first write.
    if (size < 0 || !image_layout_ok(f, static_cast<uint64_t>(size))) return -1;
    uint32_t limit = 0;
    const bool limit_ok = max_xfer_get(dev, &limit) == 0;
    std::vector<uint8_t> buffer(image_chunk_size(limit_ok, limit));
    const image_part rear{f.rear_offset, f.rear_address, static_cast<uint64_t>(size) - f.front_length};
    const image_part front{f.front_offset, f.front_address, f.front_length};
    for (const image_part& part : {rear, front}) {
        const cmd_status status = write_part(dev, file.get(), part, buffer, progress, keep);
        if (status != 0) return status;
    }
    return 0;
}

cmd_status write_boot_header(bridge_dev* dev, const char* path, const kept_pg_record* keep) {
    alignas(4) uint8_t sector[k_pg_sector_len] = {};
    if (keep != nullptr) {
        const cmd_status status = read_image_header(path, sector);
        if (status != 0) return status;
        return write_over_pg_sector(dev, k_pg_sector_write, sector, sizeof sector, *keep);
    }
    cmd_status status = mem_read(dev, k_pg_sector_read, sector, static_cast<int32_t>(sizeof sector));
    if (status != 0) return status;
    status = read_image_header(path, sector);
    if (status != 0) return status;
    return flash_write(dev, k_pg_sector_write, sector, sizeof sector);
}

cmd_status write_led_image(bridge_dev* dev, const char* path, std::atomic<uint32_t>& progress) {
    uint32_t address = 0;
    const uint64_t total = check_led_image(path, &address);
    if (total == 0) return -1;
    image_file_ptr file = open_image_file(path);
    if (!file) return -1;
    alignas(4) uint8_t page[k_flash_write_unit];
    for (uint64_t o = 0; o < total; o += k_flash_write_unit) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(k_flash_write_unit, total - o));
        const uint32_t at = address + static_cast<uint32_t>(o);
        std::memset(page, 0, sizeof page);
        if (n < sizeof page) {
            // The flash keeps what it holds after the file's last byte.
            const cmd_status status = mem_read(dev, at | k_flash_read_bit, page, static_cast<int32_t>(sizeof page));
            if (status != 0) return status;
        }
        if (std::fread(page, 1, n, file.get()) != n) return -1;
        const cmd_status status = flash_write(dev, at, page, sizeof page);
        if (status != 0) return status;
        add_progress(progress, n);
    }
    return 0;
}

}  // namespace zelko
