// Whether an image fits the bridge: chip codes, variants, the kinds of main and rescue
// images, and the blocks check_image sends.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/pg/image_check.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

using bytes = std::vector<uint8_t>;

TEST(ImageCheck, ChipCodes) {
    const struct {
        uint32_t chip, variant;
        int code;
    } rows[] = {
        {0xA0010001, 0, 2},   {0xA0010002, 0, 3},  {0xA0010003, 4, 3},   {0xA0020001, 0, 12}, {0xA0020001, 4, 13},
        {0xA0020002, 10, 13}, {0xA0020003, 5, 12}, {0xA0020003, 10, 13}, {0xA0030001, 4, 21}, {0xA0030002, 0, 22},
        {0xA0030003, 0, -1},  {0xA0020000, 0, -1}, {0, 0, -1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(expected_chip_code(r.chip, r.variant), r.code) << std::hex << r.chip << " " << r.variant;
}

TEST(ImageCheck, Kinds) {
    const image_header_fields main_image{.magic = k_image_magic_main, .mark = 0};
    const image_header_fields marked{.magic = k_image_magic_main, .mark = k_image_rescue_mark};
    const image_header_fields first_rescue{.magic = k_image_magic_rescue, .mark = 0};
    for (uint32_t chip : {0xA0010001u, 0xA0020001u}) {
        EXPECT_TRUE(image_kind_ok(main_image, chip, false));
        EXPECT_FALSE(image_kind_ok(marked, chip, false));
        EXPECT_FALSE(image_kind_ok(first_rescue, chip, false));
    }
    EXPECT_TRUE(image_kind_ok(first_rescue, 0xA0010003, true));
    EXPECT_FALSE(image_kind_ok(marked, 0xA0010003, true));
    EXPECT_FALSE(image_kind_ok(main_image, 0xA0010003, true));
    EXPECT_TRUE(image_kind_ok(marked, 0xA0030001, true));
    EXPECT_FALSE(image_kind_ok(first_rescue, 0xA0030001, true));
    EXPECT_FALSE(image_kind_ok(main_image, 0xA0020002, true));
}

class ImageCheckDevice : public bridge_command_test {
protected:
    std::string image_file(uint8_t chip_code, uint32_t front_offset = 0) {
        bytes b(2 * 4096, 0x5A);
        std::fill(b.begin(), b.begin() + 0x40, 0);
        put_le32(&b[0x00], k_image_magic_main);
        b[0x08] = chip_code;
        put_le32(&b[0x14], 4096);
        put_le32(&b[0x18], 4096);
        put_le32(&b[0x10], crc32_update(0, &b[4096], 4096));
        put_le32(&b[0x1C], 4096);
        put_le32(&b[0x20], 0x8C005000);
        put_le32(&b[0x28], front_offset);
        put_le32(&b[0x2C], 0x8C004000);
        put_le32(&b[0x30], 4096);
        const std::string path = testing::TempDir() + "check.img";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return path;
    }
};

TEST_F(ImageCheckDevice, AsksTheBridgeAfterTheFile) {
    using namespace bridge_script;
    const std::vector<std::string> blocks = {"12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512",
                                             "E2 00 00 00 92 00 00 00 C4 00 70 B3 04 00 00 00 in 4",
                                             "E2 00 00 00 92 00 00 00 C8 00 70 B3 04 00 00 00 in 4"};
    const struct {
        uint8_t code;
        uint32_t variant_word;
        cmd_status expected;
    } rows[] = {{12, 0x00010000, 0}, {12, 0x00040000, -1}, {13, 0x00040000, 0}, {13, 0x000A0003, 0}};
    for (const auto& r : rows) {
        next_case();
        const std::string path = image_file(r.code);
        fake::script_ok(inquiry("1.01"));
        fake::script_ok(le32(r.variant_word));
        fake::script_ok(le32(0xA0020001));
        EXPECT_EQ(check_image(device.get(), path.c_str(), false), r.expected);
        EXPECT_EQ(sent_blocks(), blocks);
    }
    // A failed version read counts as variant 0; a failed identity read is its status.
    next_case();
    fake::script_ok(inquiry("1.01"));
    fake::script(check_condition());
    fake::script_ok(le32(0xA0020001));
    EXPECT_EQ(check_image(device.get(), image_file(12).c_str(), false), 0);
    next_case();
    fake::script_ok(inquiry("1.01"));
    fake::script_ok(le32(0));
    fake::script(check_condition());
    EXPECT_EQ(check_image(device.get(), image_file(12).c_str(), false), 2);
    // An unknown revision stops after the INQUIRY.
    next_case();
    fake::script_ok(inquiry("3.00"));
    EXPECT_EQ(check_image(device.get(), image_file(12).c_str(), false), -1);
    // A front part away from the file's start is refused before any block.
    next_case();
    EXPECT_EQ(check_image(device.get(), image_file(12, 4096).c_str(), false), -1);
    EXPECT_TRUE(fake::requests().empty());
}

}  // namespace
