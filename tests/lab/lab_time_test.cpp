// Lab time: faster than real time by the lab's factor, continuous when it changes and
// defined whatever lab.conf holds; and the reading of lab.conf itself.
#include <gtest/gtest.h>

#include <cstdint>

#include "lab/host/lab_dir.h"
#include "lab/host/lab_os.h"

namespace {

TEST(lab_time, sleeps_shrink_by_the_time_factor) {
    lab_settings settings;
    EXPECT_EQ(lab_sleep_real_us(settings, 1000), 1000000u);
    settings.time_factor = 1000;
    EXPECT_EQ(lab_sleep_real_us(settings, 1000), 1000u);
    EXPECT_EQ(lab_sleep_real_us(settings, 0xFFFFFFFF), 4294967295ull);
}

TEST(lab_time, clock_runs_faster_and_a_new_factor_keeps_it_continuous) {
    lab_settings settings;
    settings.anchor_real_ms = lab_real_now_ms() - 10;
    settings.anchor_lab_ms = 5000;
    settings.time_factor = 100;
    const int64_t before = lab_time_ms(settings);
    EXPECT_GE(before, 5000 + 10 * 100);
    lab_set_time_factor(settings, 1);
    const int64_t after = lab_time_ms(settings);
    EXPECT_GE(after, before);
    EXPECT_LT(after - before, 1000);
    EXPECT_EQ(settings.time_factor, 1u);
}

// Step time stands still for clock reads, moves by sleeps only (held at its largest
// value), sleeps take no real time, and switching modes keeps lab time continuous.
TEST(lab_time, step_time_moves_only_by_sleeps) {
    lab_settings settings;
    settings.anchor_real_ms = lab_real_now_ms() - 10;
    settings.anchor_lab_ms = 5000;
    settings.time_factor = 100;
    lab_set_step_time(settings, true);
    const int64_t start = lab_time_ms(settings);
    EXPECT_GE(start, 5000 + 10 * 100);
    EXPECT_EQ(lab_time_at_ms(settings, 0), start);
    EXPECT_EQ(lab_time_at_ms(settings, INT64_MAX), start);
    EXPECT_EQ(lab_sleep_real_us(settings, 1000), 0u);
    lab_step_time(settings, 1000);
    lab_step_time(settings, 250);
    EXPECT_EQ(lab_time_ms(settings), start + 1250);
    lab_settings back;
    std::string why;
    ASSERT_TRUE(lab_parse_settings(lab_settings_text(settings), &back, &why)) << why;
    EXPECT_TRUE(back.step_time);
    EXPECT_EQ(lab_time_ms(back), start + 1250);
    settings.anchor_lab_ms = INT64_MAX - 5;
    lab_step_time(settings, 1000);
    EXPECT_EQ(lab_time_ms(settings), INT64_MAX);
    settings.anchor_lab_ms = start;
    lab_set_step_time(settings, false);
    EXPECT_FALSE(settings.step_time);
    EXPECT_GE(lab_time_ms(settings), start);
    EXPECT_LT(lab_time_ms(settings) - start, 1000);
    // Real time ignores steps.
    lab_step_time(settings, 100000);
    EXPECT_LT(lab_time_ms(settings) - start, 1000);
}

// Damaged anchors or a huge factor hold lab time at its limits instead of overflowing.
TEST(lab_time, clock_holds_at_its_limits_instead_of_overflowing) {
    struct clock_case {
        const char* what;
        int64_t anchor_real_ms;
        int64_t anchor_lab_ms;
        uint32_t factor;
        int64_t real_now_ms;
        int64_t lab_ms;
    };
    const clock_case cases[] = {
        {"ordinary", 1000, 5000, 100, 1010, 6000},
        {"real clock behind the anchor", 2000, 5000, 1, 1500, 4500},
        {"scaled time beyond the largest", 0, 0, 1000000, INT64_MAX / 2, INT64_MAX},
        {"anchor far in the future", 4737113357392880903, 0, 500, 1796613285761, 0},
        {"anchor far in the past", -INT64_MAX, 0, 1, 1, INT64_MAX},
        {"lab anchor at the top", 0, INT64_MAX - 5, 1, 10, INT64_MAX},
        {"lab anchor below zero", 0, -INT64_MAX, 1, 10, 0},
    };
    for (const clock_case& c : cases) {
        lab_settings settings;
        settings.anchor_real_ms = c.anchor_real_ms;
        settings.anchor_lab_ms = c.anchor_lab_ms;
        settings.time_factor = c.factor;
        EXPECT_EQ(lab_time_at_ms(settings, c.real_now_ms), c.lab_ms) << c.what;
    }
}

TEST(lab_settings_text, damaged_anchors_read_and_give_a_clock_that_stays_at_zero) {
    lab_settings settings;
    std::string why;
    ASSERT_TRUE(
        lab_parse_settings("mvbridge-lab lab 1\ntrace on\ntime_factor 0500\n"
                           "anchor_real_ms 0004737113357392880903\n",
                           &settings, &why))
        << why;
    EXPECT_EQ(lab_time_ms(settings), 0);
    lab_set_time_factor(settings, 1);
    EXPECT_GE(settings.anchor_lab_ms, 0);
}

// lab.conf reads its own lines or says what is wrong; what is written reads back.
TEST(lab_settings_text, reads_its_own_lines_or_says_what_is_wrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"mvbridge-lab lab 1\ntime_factor 7\n", nullptr},
        {"", "empty"},
        {"mvbridge-lab lab 1", "unterminated line"},
        {"mvbridge-lab lab 2\n", "not a lab settings file"},
        {"mvbridge-lab lab 1\ntime_factor 0\n", "'time_factor 0'"},
        {"mvbridge-lab lab 1\ntrace maybe\n", "'trace maybe'"},
        {"mvbridge-lab lab 1\nanchor_lab_ms 9223372036854775808\n", "'anchor_lab_ms 9223372036854775808'"},
        {"mvbridge-lab lab 1\ncolour blue\n", "'colour blue'"},
        {"mvbridge-lab lab 1\ntime_mode step\n", nullptr},
        {"mvbridge-lab lab 1\ntime_mode fast\n", "'time_mode fast'"},
    };
    for (const auto& [content, why] : cases) {
        lab_settings settings;
        std::string error;
        EXPECT_EQ(lab_parse_settings(content, &settings, &error), why == nullptr) << content;
        EXPECT_EQ(error, why == nullptr ? "" : why) << content;
    }
    lab_settings settings;
    settings.trace = true;
    settings.time_factor = 250;
    settings.anchor_real_ms = -17;
    settings.anchor_lab_ms = INT64_MAX;
    lab_settings back;
    std::string why;
    ASSERT_TRUE(lab_parse_settings(lab_settings_text(settings), &back, &why)) << why;
    EXPECT_TRUE(back.trace);
    EXPECT_EQ(back.time_factor, 250u);
    EXPECT_EQ(back.anchor_real_ms, -17);
    EXPECT_EQ(back.anchor_lab_ms, INT64_MAX);
}

}  // namespace
