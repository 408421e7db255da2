// The effect generators against worked values, and led_apply_effect's copying.
#include <gtest/gtest.h>

#include "zelko/led/led_effects.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/led_image.h"

using namespace zelko;

namespace {

std::vector<uint32_t> hue_table(int count) {
    std::vector<uint32_t> table;
    for (int i = 0; i < count; ++i) table.push_back(led_hue_entry(count, i));
    return table;
}

TEST(led_hue, tables_of_4_6_and_20) {
    EXPECT_EQ(hue_table(4), (std::vector<uint32_t>{0xFF0000, 0x80FF00, 0x00FFFF, 0x8000FF}));
    EXPECT_EQ(hue_table(6), (std::vector<uint32_t>{0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF}));
    EXPECT_EQ(hue_table(20),
              (std::vector<uint32_t>{0xFF0000, 0xFF4D00, 0xFF9900, 0xFFE600, 0xCCFF00, 0x80FF00, 0x33FF00,
                                     0x00FF1A, 0x00FF66, 0x00FFB3, 0x00FFFF, 0x00B3FF, 0x0066FF, 0x001AFF,
                                     0x3300FF, 0x8000FF, 0xCC00FF, 0xFF00E6, 0xFF0099, 0xFF004D}));
}

TEST(led_hue, outside_the_wheel_is_black_and_saturation_value_scale) {
    EXPECT_EQ(hsv_to_rgb(360.0f, 1.0f, 1.0f), 0u);
    EXPECT_EQ(hsv_to_rgb(0.0f, 0.5f, 0.5f), 0x804040u);  // 127.5 rounds away from zero
}

// One colour per (LED, row) of an effect's row table.
std::vector<std::vector<uint32_t>> rows_of(const led_effect& e, int leds) {
    std::vector<std::vector<uint32_t>> out(leds);
    const int rows = e.header.row_number;
    for (int i = 0; i < leds; ++i) {
        for (int j = 0; j < rows; ++j) {
            const uint8_t* p = e.rows + (static_cast<size_t>(i) * rows + j) * 3;
            out[i].push_back(static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]));
        }
    }
    return out;
}

struct header_case {
    led_effect_kind kind;
    int leds;
    uint32_t colour;
    uint16_t cycle;
    std::vector<uint8_t> header;  // the 11 entry bytes
};

std::vector<uint8_t> header_bytes(const led_effect_header& h) {
    return {h.mode,
            h.row_number,
            static_cast<uint8_t>(h.cycle_time),
            static_cast<uint8_t>(h.cycle_time >> 8),
            static_cast<uint8_t>(h.ramp_factor >> 8),
            static_cast<uint8_t>(h.ramp_factor),
            h.stable_high,
            h.stable_low,
            h.effect_code,
            static_cast<uint8_t>(h.step_time),
            static_cast<uint8_t>(h.step_time >> 8)};
}

TEST(led_effects, headers) {
    const header_case cases[] = {
        {led_effect_kind::always_on, 3, 0x12FFFF00, 1234, {1, 1, 0, 0, 0, 0, 0, 0, 0x00, 0, 0}},
        {led_effect_kind::blink, 3, 0xFF, 4464, {2, 2, 0x70, 0x11, 0, 0, 0, 0, 0x01, 0, 0}},
        {led_effect_kind::breathe, 3, 0xFF, 1000, {4, 2, 0xE8, 0x03, 0, 0, 0, 0, 0x02, 0, 0}},
        {led_effect_kind::spectrum, 3, 0, 500, {4, 6, 0xF4, 0x01, 0, 0, 0, 0, 0x03, 0, 0}},
        {led_effect_kind::scroll, 5, 0xFF, 100, {2, 8, 100, 0, 0, 0, 0, 0, 0x04, 0, 0}},
        {led_effect_kind::rainbow_scroll, 20, 0, 100, {2, 38, 100, 0, 0, 0, 0, 0, 0x85, 0, 0}},
        {led_effect_kind::running_water, 20, 0xFF, 100, {2, 40, 100, 0, 0, 0, 0, 0, 0x05, 0, 0}},
        {led_effect_kind::sliding, 7, 0, 100, {4, 7, 100, 0, 0, 0, 0, 0, 0x83, 0, 0}},
        {led_effect_kind::newton_cradle, 6, 0, 100, {2, 6, 100, 0, 0, 0, 0, 0, 0x84, 0, 0}},
        {led_effect_kind::meteor, 10, 0xFF, 1000, {4, 2, 0, 0, 0, 0, 5, 5, 0x06, 50, 0}},
        {led_effect_kind::meteor, 3, 0xFF, 65535, {4, 2, 0, 0, 0, 0, 71, 71, 0x06, 0xAA, 0x2A}},
    };
    for (const header_case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        led_effect e;
        ASSERT_TRUE(build_led_effect(c.kind, c.leds, c.colour, c.cycle, &e));
        EXPECT_EQ(header_bytes(e.header), c.header);
    }
}

constexpr uint32_t O = 0xFF8000, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, K = 0, Y = 0xFFFF00;

TEST(led_effects, row_tables) {
    struct rows_case {
        led_effect_kind kind;
        int leds;
        uint32_t colour;
        std::vector<std::vector<uint32_t>> rows;
    };
    const rows_case cases[] = {
        {led_effect_kind::always_on, 2, 0x12FFFF00, {{Y}, {Y}}},
        {led_effect_kind::blink, 2, B, {{B, K}, {B, K}}},
        {led_effect_kind::meteor, 1, G, {{G, K}}},
        {led_effect_kind::spectrum, 1, 0, {{0xFF0000, 0xFF5000, 0xFF8000, 0x00FF00, 0x0000FF, 0x8000FF}}},
        {led_effect_kind::newton_cradle,
         6,
         0,
         {{O, K, K, K, K, O},
          {K, O, K, K, O, K},
          {R, R, O, O, R, R},
          {G, G, R, R, G, G},
          {B, B, G, G, B, B},
          {K, K, B, B, K, K}}},
        {led_effect_kind::running_water,
         5,
         B,
         {{B, B, B, B, B, K, K, K, K, K},
          {K, B, B, B, B, K, K, K, K, K},
          {K, K, B, B, B, K, K, K, K, K},
          {K, K, K, B, B, K, K, K, K, K},
          {K, K, K, K, B, K, K, K, K, K}}},
        {led_effect_kind::scroll, 3, R, {{R, K, K, K}, {K, R, K, R}, {K, K, R, K}}},
        {led_effect_kind::scroll, 1, R, {{}}},
        {led_effect_kind::rainbow_scroll, 1, 0, {{}}},
    };
    for (const rows_case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        led_effect e;
        ASSERT_TRUE(build_led_effect(c.kind, c.leds, c.colour, 100, &e));
        EXPECT_EQ(rows_of(e, c.leds), c.rows);
    }
    // Sliding with 3 LEDs: LED i row j is hue entry (i + j) mod 3.
    led_effect e;
    ASSERT_TRUE(build_led_effect(led_effect_kind::sliding, 3, 0, 100, &e));
    const std::vector<uint32_t> h = hue_table(3);
    EXPECT_EQ(rows_of(e, 3),
              (std::vector<std::vector<uint32_t>>{{h[0], h[1], h[2]}, {h[1], h[2], h[0]}, {h[2], h[0], h[1]}}));
    // Rainbow scroll puts hue entry i where scroll puts the colour.
    ASSERT_TRUE(build_led_effect(led_effect_kind::rainbow_scroll, 4, 0, 100, &e));
    const std::vector<uint32_t> w = hue_table(4);
    EXPECT_EQ(rows_of(e, 4)[1], (std::vector<uint32_t>{K, w[1], K, K, K, w[1]}));
    EXPECT_EQ(rows_of(e, 4)[3], (std::vector<uint32_t>{K, K, K, w[3], K, K}));
}

TEST(led_effects, impossible_counts_are_refused) {
    led_effect e;
    for (const auto kind : {led_effect_kind::always_on, led_effect_kind::meteor, led_effect_kind::sliding}) {
        EXPECT_FALSE(build_led_effect(kind, 0, 0xFF, 100, &e));
        EXPECT_FALSE(build_led_effect(kind, 21, 0xFF, 100, &e));
    }
    EXPECT_FALSE(build_led_effect(led_effect_kind::newton_cradle, 3, 0, 100, &e));
    EXPECT_TRUE(build_led_effect(led_effect_kind::newton_cradle, 4, 0, 100, &e));
}

class led_apply_test : public bridge_command_test {
protected:
    void TearDown() override {
        led_mem_dev_free(&record);
        bridge_command_test::TearDown();
    }
    led_mem_dev record;
};

// Bytes 0-10 and the used rows change; bytes 11-31, the rows beyond the row number, the
// LEDs outside the mask and the other states stay.
TEST_F(led_apply_test, copies_only_the_header_and_used_rows) {
    const std::vector<uint8_t> image = led_image::make(4);
    led_image::hold(&record, image);
    led_effect e;
    ASSERT_TRUE(build_led_effect(led_effect_kind::blink, 4, 0x010203, 0x0506, &e));
    ASSERT_EQ(led_apply_effect(device.get(), &record, e.header, e.rows, 1, 0b0101, false), 0);
    std::vector<uint8_t> expected = image;
    for (const int k : {0, 2}) {
        const size_t at = led_image::entry_at(4, 1, k);
        const std::vector<uint8_t> head = {2, 2, 0x06, 0x05, 0, 0, 0, 0, 0x01, 0, 0};
        std::copy(head.begin(), head.end(), expected.begin() + at);
        const std::vector<uint8_t> rows = {1, 2, 3, 0, 0, 0};
        std::copy(rows.begin(), rows.end(), expected.begin() + at + 32);
    }
    EXPECT_EQ(led_image::held(record), expected);
    EXPECT_TRUE(sent_blocks().empty());

    // A state out of range or more rows than an entry holds: nothing written.
    led_effect_header wide = e.header;
    wide.row_number = 44;
    EXPECT_EQ(led_apply_effect(device.get(), &record, wide, e.rows, 0, 0xF, false), -1);
    EXPECT_EQ(led_apply_effect(device.get(), &record, e.header, e.rows, 5, 0xF, false), -1);
    EXPECT_EQ(led_image::held(record), expected);
}

TEST_F(led_apply_test, effects_commit_and_report_a_failed_commit) {
    led_image::hold(&record, led_image::make(6));
    led_image::script_commit();
    EXPECT_EQ(led_set_effect(device.get(), &record, led_effect_kind::newton_cradle, 0, 2000), 0);
    EXPECT_EQ(record.image[led_image::entry_at(6, 0, 5)], 2);  // mode of LED 5, state 0

    next_case();
    fake::script({.scsi_status = 2});
    EXPECT_EQ(led_set_effect(device.get(), &record, led_effect_kind::always_on, 0xFF, 0), -1);

    // Fewer than 4 LEDs: Newton's cradle writes nothing and sends nothing.
    next_case();
    led_image::hold(&record, led_image::make(3));
    const std::vector<uint8_t> before = led_image::held(record);
    EXPECT_EQ(led_set_effect(device.get(), &record, led_effect_kind::newton_cradle, 0, 2000), -1);
    EXPECT_EQ(led_image::held(record), before);
}

}  // namespace
