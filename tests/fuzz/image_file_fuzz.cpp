// Image files come from users: any file must be read, checked and measured without a read
// outside it, an accepted header must pass its own CRC, and the flash ranges an accepted
// image or LED image writes must be placed by the update's rules without overflow.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_check.h"
#include "zelko/pg/image_file.h"
#include "zelko/pg/image_layout.h"

using namespace zelko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz_image_file." + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    if (size != 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    uint8_t header[k_image_header_len] = {};
    if (read_image_header(path.c_str(), header) == 0) {
        require(size >= k_image_min_len);
        const image_header_fields f = decode_image_header(header, sizeof header);
        require(static_cast<uint64_t>(f.checked_offset) + f.checked_length <= size);
        require(crc32_update(0, data + f.checked_offset, f.checked_length) == f.crc);
        image_layout_ok(f, size);
    }
    std::vector<flash_range> ranges;
    if (image_flash_ranges(path.c_str(), &ranges)) {
        require(!ranges.empty() && ranges.size() <= 2);
        uint64_t total = 0;
        for (const flash_range& range : ranges) total += range.length;
        require(total == size);
        std::vector<flash_range> taken;
        for (const flash_range& range : ranges) {
            if (flash_range_placeable(range, taken)) {
                require(range.address >= 0x8C004000 && range.address + range.length <= (uint64_t{1} << 32));
                taken.push_back(range);
            }
        }
    }
    const uint64_t led = check_led_image(path.c_str());
    require(led == 0 || led == size);
    flash_range led_range{};
    if (led_flash_range(path.c_str(), &led_range)) {
        require(led_range.length >= led && led_range.length - led < 4096 && led_range.length % 4096 == 0);
        flash_range_placeable(led_range, {});
    }
    return 0;
}
