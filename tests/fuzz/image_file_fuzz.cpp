// Image files come from users: any file must be read, checked and measured without a read
// outside it, and an accepted header must pass its own CRC.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "fuzz_check.h"
#include "zelko/pg/image_file.h"

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
    const uint64_t led = check_led_image(path.c_str());
    require(led == 0 || led == size);
    return 0;
}
