// Image files: the CRC-32, the header read and its checks, the parts' layout, the LED
// image header.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/pg/image_file.h"

using namespace zelko;

namespace {

using bytes = std::vector<uint8_t>;

std::string write_file(const std::string& name, const bytes& content) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return path;
}

// A main image of `size` bytes: front part of 4096 bytes at 0x8C004000, the rest as the
// rear part; the checked range is everything after the header.
bytes image(size_t size, uint8_t chip_code = 12) {
    bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    std::fill(b.begin(), b.begin() + 0x40, 0);
    put_le32(&b[0x00], k_image_magic_main);
    b[0x08] = chip_code;
    put_le32(&b[0x14], 2048);
    put_le32(&b[0x18], static_cast<uint32_t>(size - 2048));
    put_le32(&b[0x1C], 4096);
    put_le32(&b[0x20], 0x8C005000);
    put_le32(&b[0x28], 0);
    put_le32(&b[0x2C], 0x8C004000);
    put_le32(&b[0x30], 4096);
    put_le32(&b[0x10], crc32_update(0, &b[2048], size - 2048));
    return b;
}

TEST(Crc32, KnownVectors) {
    const std::string check = "123456789";
    EXPECT_EQ(crc32_update(0, reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    EXPECT_EQ(crc32_update(0, nullptr, 0), 0u);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(crc32_update(0, reinterpret_cast<const uint8_t*>(fox.data()), fox.size()), 0x414FA339u);
    // In two pieces as in one.
    const uint32_t first = crc32_update(0, reinterpret_cast<const uint8_t*>(fox.data()), 10);
    EXPECT_EQ(crc32_update(first, reinterpret_cast<const uint8_t*>(fox.data()) + 10, fox.size() - 10), 0x414FA339u);
}

TEST(ImageHeader, ReadAndChecked) {
    uint8_t header[k_image_header_len] = {};
    const bytes good = image(3 * 4096);
    EXPECT_EQ(read_image_header(write_file("good.img", good).c_str(), header), 0);
    EXPECT_EQ(bytes(header, header + sizeof header), bytes(good.begin(), good.begin() + 2048));
    const image_header_fields f = decode_image_header(header, sizeof header);
    EXPECT_EQ(f.magic, k_image_magic_main);
    EXPECT_EQ(f.chip_code, 12);
    EXPECT_EQ(f.rear_address, 0x8C005000u);
    EXPECT_TRUE(image_layout_ok(f, good.size()));

    bytes wrong_crc = good;
    wrong_crc[5000] ^= 1;
    bytes outside = good;
    put_le32(&outside[0x18], 3 * 4096);  // checked range runs 2048 bytes past the end
    bytes empty_range = good;
    put_le32(&empty_range[0x18], 0);
    put_le32(&empty_range[0x10], 0);
    const struct {
        const char* name;
        bytes content;
        cmd_status code;
    } rows[] = {
        {"short.img", bytes(good.begin(), good.begin() + 4095), -1},
        {"crc.img", wrong_crc, -1},
        {"outside.img", outside, -1},
        {"empty_range.img", empty_range, 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(read_image_header(write_file(r.name, r.content).c_str(), header), r.code) << r.name;
    EXPECT_EQ(read_image_header((testing::TempDir() + "missing.img").c_str(), header), -1);
}

TEST(ImageHeader, PartsInsideTheFile) {
    const image_header_fields base = decode_image_header(image(3 * 4096).data(), 2048);
    EXPECT_TRUE(image_layout_ok(base, 3 * 4096));
    image_header_fields front_not_at_start = base;
    front_not_at_start.front_offset = 4096;
    image_header_fields rear_outside = base;
    rear_outside.rear_offset = 8192;
    image_header_fields front_too_long = base;
    front_too_long.front_length = 4 * 4096;
    image_header_fields ragged = base;
    ragged.front_length = 4000;
    for (const image_header_fields& f : {front_not_at_start, rear_outside, front_too_long, ragged}) {
        EXPECT_FALSE(image_layout_ok(f, 3 * 4096));
    }
    EXPECT_FALSE(image_layout_ok(base, 3 * 4096 + 100));  // a rear part of whole sectors only
    EXPECT_TRUE(image_layout_ok(base, 4096));             // no rear part
}

TEST(LedImage, HeaderAndSize) {
    bytes led(5000, 0x33);
    put_le32(&led[0x00], k_led_image_magic);
    put_le32(&led[0x08], 0x8C100000);
    put_le32(&led[0x0C], 4000);
    put_le32(&led[0x14], 1000);
    uint32_t address = 0;
    EXPECT_EQ(check_led_image(write_file("good.led", led).c_str(), &address), 5000u);
    EXPECT_EQ(address, 0x8C100000u);
    bytes wrong_size = led;
    put_le32(&wrong_size[0x14], 1001);
    bytes wrong_magic = led;
    wrong_magic[0] = 0;
    EXPECT_EQ(check_led_image(write_file("size.led", wrong_size).c_str()), 0u);
    EXPECT_EQ(check_led_image(write_file("magic.led", wrong_magic).c_str()), 0u);
    EXPECT_EQ(check_led_image(write_file("tiny.led", bytes(10, 0)).c_str()), 0u);
    EXPECT_EQ(check_led_image(""), 0u);
    EXPECT_EQ(check_led_image(nullptr), 0u);
}

}  // namespace
