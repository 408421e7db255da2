// The LED memory image: its command blocks, loading, checks, write-back and accessors.
#include <gtest/gtest.h>

#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/led_image.h"

using namespace zelko;

namespace {

using lines = std::vector<std::string>;

TEST(led_blocks, every_block_byte_for_byte) {
    const std::pair<cdb16, std::string> cases[] = {
        {led_app_ctl_read_cdb(), "E2 00 00 00 CC 01 00 00 00 00 00 00 01 00 00 00"},
        {led_app_ctl_write_cdb(1), "E3 00 00 00 4C 01 01 00 00 00 00 00 01 00 00 00"},
        {led_image_read_cdb(0x3C00, 1024), "E2 00 00 00 CC 02 00 00 00 3C 00 00 00 04 00 00"},
        {led_image_write_cdb(0x0400, 1024), "E3 00 00 00 4C 02 00 00 00 04 00 00 00 04 00 00"},
        {led_direct_cdb(1, 20), "E3 00 00 00 4C 03 01 00 14 00 00 00 3C 00 00 00"},
        {led_sync_support_cdb(4), "E2 00 00 00 CC 04 04 00 00 00 00 00 01 00 00 00"},
        {led_argb_support_cdb(), "E2 00 00 00 CC 05 00 00 00 00 00 00 01 00 00 00"},
        {led_settle_cdb(), "28 00 00 01 00 00 00 00 01 00 00 00 00 00 00 00"},
    };
    for (const auto& [cdb, text] : cases) EXPECT_EQ(fake::hex(cdb), text);
}

class led_mem_test : public bridge_command_test {
protected:
    void TearDown() override {
        led_mem_dev_free(&record);
        bridge_command_test::TearDown();
    }
    led_mem_dev record;
};

// The whole image in 16 chunks of 1024 bytes, then the settle read; every byte kept.
TEST_F(led_mem_test, loads_the_image_in_chunks_then_settles) {
    const std::vector<uint8_t> image = led_image::make(6);
    led_image::script_load(image);
    ASSERT_EQ(led_mem_dev_init(device.get(), &record), 0);
    EXPECT_EQ(led_image::held(record), image);
    EXPECT_EQ(record.entry_header_size, 32);
    EXPECT_EQ(record.color_row_count, 43);
    const lines sent = sent_blocks();
    ASSERT_EQ(sent.size(), 18u);
    EXPECT_EQ(sent[0], "E2 00 00 00 CC 05 00 00 00 00 00 00 01 00 00 00 in 1");
    EXPECT_EQ(sent[1], "E2 00 00 00 CC 02 00 00 00 00 00 00 00 04 00 00 in 1024");
    EXPECT_EQ(sent[16], "E2 00 00 00 CC 02 00 00 00 3C 00 00 00 04 00 00 in 1024");
    EXPECT_EQ(sent[17], "28 00 00 01 00 00 00 00 01 00 00 00 00 00 00 00 in 512");
    EXPECT_EQ(led_count(&record), 6);
    EXPECT_EQ(led_entry(&record, 4, 5), record.image.get() + led_image::entry_at(6, 4, 5));
}

// Every refusal releases what the load allocated.
TEST_F(led_mem_test, load_refusals) {
    const auto with = [](size_t offset, uint32_t value, uint32_t table = led_image::k_table) {
        std::vector<uint8_t> image = led_image::make(4, table);
        put_le32(&image[offset], value);
        return image;
    };
    struct refusal {
        const char* what;
        std::vector<uint8_t> image;
    };
    const refusal images[] = {
        {"magic", with(k_led_off_magic, 0x4C454454)},
        {"version 1", with(k_led_off_version, 1)},
        {"version 3", with(k_led_off_version, 3)},
        {"21 LEDs", with(k_led_off_count, 21)},
        {"-1 LEDs", with(k_led_off_count, 0xFFFFFFFF)},
        {"table past the end", with(k_led_off_table, 16384 - 5 * 4 * 161 + 1)},
        {"table far past the end", with(k_led_off_table, 0xFFFFFF00)},
        {"table over the header", with(k_led_off_table, 31)},
    };
    for (const refusal& r : images) {
        SCOPED_TRACE(r.what);
        next_case();
        led_image::script_load(r.image);
        EXPECT_EQ(led_mem_dev_init(device.get(), &record), -1);
        EXPECT_FALSE(record.image);
        for (const auto& row : record.state_rows) EXPECT_FALSE(row);
    }
    // An entry table that ends exactly at the end of the image is fine.
    next_case();
    led_image::script_load(with(k_led_off_table, 16384 - 5 * 4 * 161));
    EXPECT_EQ(led_mem_dev_init(device.get(), &record), 0);
}

TEST_F(led_mem_test, load_stops_at_no_argb_or_a_failed_chunk) {
    fake::script_ok({0});
    EXPECT_EQ(led_mem_dev_init(device.get(), &record), -1);
    EXPECT_EQ(sent_blocks().size(), 1u);

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(led_mem_dev_init(device.get(), &record), -1);

    // Chunk 3 fails: nothing after it is sent.
    next_case();
    fake::script_ok({1});
    for (int i = 0; i < 3; ++i) fake::script_ok(std::vector<uint8_t>(1024, 0));
    fake::script(check_condition());
    EXPECT_EQ(led_mem_dev_init(device.get(), &record), -1);
    EXPECT_FALSE(record.image);

    // A chunk that comes back short leaves a hole: refused too.
    next_case();
    fake::script_ok({1});
    fake::script({.data = std::vector<uint8_t>(1000, 0), .residual = 24});
    EXPECT_EQ(led_mem_dev_init(device.get(), &record), -1);
}

TEST_F(led_mem_test, commit_writes_16_chunks_then_settles) {
    const std::vector<uint8_t> image = led_image::make(3);
    led_image::hold(&record, image);
    led_image::script_commit();
    EXPECT_EQ(led_mem_commit(device.get(), &record), 0);
    const lines sent = sent_blocks();
    ASSERT_EQ(sent.size(), 17u);
    for (int i = 0; i < 16; ++i) {
        char expected[80];
        std::snprintf(expected, sizeof expected, "E3 00 00 00 4C 02 00 00 00 %02X 00 00 00 04 00 00 out 1024", i * 4);
        EXPECT_EQ(sent[i], expected);
        EXPECT_EQ(data_out(i), std::vector<uint8_t>(image.begin() + 1024 * i, image.begin() + 1024 * (i + 1)));
    }
    EXPECT_EQ(sent[16], "28 00 00 01 00 00 00 00 01 00 00 00 00 00 00 00 in 512");

    // The first failing chunk ends the write and its status is returned.
    next_case();
    for (int i = 0; i < 7; ++i) fake::script_ok();
    fake::script({.scsi_status = 2});
    EXPECT_EQ(led_mem_commit(device.get(), &record), 2);
    EXPECT_EQ(sent_blocks().size(), 8u);
}

// The cycle is little-endian, the ramp and stable factors big-endian.
TEST_F(led_mem_test, entry_layout) {
    led_image::hold(&record, led_image::make(4));
    struct field_case {
        led_field field;
        uint16_t value;
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    const field_case cases[] = {
        {led_field::mode, 4, 0, {0x04}},
        {led_field::row_number, 43, 1, {0x2B}},
        {led_field::cycle_time, 4464, 2, {0x70, 0x11}},
        {led_field::ramp_factor, 0x1414, 4, {0x14, 0x14}},
        {led_field::stable_factor, 0x1234, 6, {0x12, 0x34}},
    };
    for (const field_case& c : cases) {
        SCOPED_TRACE(c.offset);
        const std::vector<uint8_t> before = led_image::held(record);
        ASSERT_EQ(led_set_field(device.get(), &record, 2, 3, c.field, c.value, false), 0);
        std::vector<uint8_t> expected = before;
        std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + led_image::entry_at(4, 2, 3) + c.offset);
        EXPECT_EQ(led_image::held(record), expected);
        uint16_t read = 0;
        EXPECT_EQ(led_get_field(&record, 2, 3, c.field, &read), 0);
        EXPECT_EQ(read, c.value);
    }
    const uint8_t two[2] = {10, 20};
    ASSERT_EQ(led_set_color(device.get(), &record, 0, 0, 4, two, 2, false), 0);
    uint8_t rgb[3] = {};
    EXPECT_EQ(led_get_color(&record, 0, 0, 4, rgb), 0);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{10, 20, 0xA0}));
    EXPECT_EQ(led_set_brightness(device.get(), &record, 0x1234, false), 0);
    EXPECT_EQ(record.image[28], 0x34);
    EXPECT_EQ(record.image[29], 0x12);
}

// Out-of-range states, LEDs and rows, and records that are not loaded, change nothing and
// send nothing.
TEST_F(led_mem_test, refusals_touch_nothing) {
    led_image::hold(&record, led_image::make(4));
    const std::vector<uint8_t> before = led_image::held(record);
    const uint8_t rgb[3] = {1, 2, 3};
    uint16_t value = 0;
    uint8_t out[3] = {};
    EXPECT_EQ(led_set_field(device.get(), &record, 5, 0, led_field::mode, 1, true), -1);
    EXPECT_EQ(led_set_field(device.get(), &record, 0, 4, led_field::mode, 1, true), -1);
    EXPECT_EQ(led_get_field(&record, 255, 0, led_field::cycle_time, &value), -1);
    EXPECT_EQ(led_set_color(device.get(), &record, 0, 0, 43, rgb, 3, true), -1);
    EXPECT_EQ(led_get_color(&record, 0, 0, 43, out), -1);
    EXPECT_EQ(led_image::held(record), before);

    led_mem_dev empty;
    int32_t count = 0;
    EXPECT_EQ(led_get_rgb_num(&empty, &count), -1);
    EXPECT_EQ(led_set_brightness(device.get(), &empty, 1, true), -1);
    EXPECT_EQ(led_mem_commit(device.get(), &empty), -1);
    // A loaded image whose magic was damaged since is refused as well.
    record.image[0] = 0;
    EXPECT_EQ(led_get_field(&record, 0, 0, led_field::mode, &value), -1);
    EXPECT_TRUE(sent_blocks().empty());
}

}  // namespace
