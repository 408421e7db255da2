// Lab time: faster than real time by the lab's factor, and continuous when it changes.
#include <gtest/gtest.h>

#include "lab/lab_dir.h"
#include "lab/lab_os.h"

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

}  // namespace
