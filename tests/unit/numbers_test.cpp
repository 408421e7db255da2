// The command-line conversions behave as on a platform with a 32-bit long.
#include <gtest/gtest.h>

#include "common/numbers.h"

namespace {

struct atol_case {
    const char* text;
    int32_t value;
};

TEST(Numbers, AtolSaturatesAtThe32BitRange) {
    const atol_case cases[] = {
        {"0", 0},           {"42", 42},
        {"  -17", -17},     {"+5", 5},
        {"12abc", 12},      {"abc", 0},
        {"", 0},            {"-", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999", 2147483647},
        {"0x10", 0},        // decimal only: stops at 'x'
        {"259", 259},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_atol(c.text), c.value) << c.text;
}

struct strtoul_case {
    const char* text;
    int base;
    uint32_t value;
};

TEST(Numbers, StrtoulBase10And16) {
    const strtoul_case cases[] = {
        {"10", 16, 0x10},
        {"0x10", 16, 0x10},
        {"0X1f", 16, 0x1F},
        {"ffffffff", 16, 0xFFFFFFFF},
        {"100000000", 16, 0xFFFFFFFF},      // beyond 32 bits saturates
        {"4294967295", 10, 0xFFFFFFFF},
        {"4294967296", 10, 0xFFFFFFFF},
        {"-1", 10, 0xFFFFFFFF},             // negation modulo 2^32
        {"-1", 16, 0xFFFFFFFF},
        {"-4294967296", 10, 0xFFFFFFFF},    // overflow wins over the sign
        {"67", 16, 0x67},
        {"zz", 16, 0},
        {"0x", 16, 0},                      // a bare prefix is no number
        {" 12 34", 10, 12},
        {"", 10, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_strtoul(c.text, c.base), c.value) << c.text << " base " << c.base;
}

TEST(Numbers, StrtolBase16Saturates) {
    EXPECT_EQ(parse_strtol("7fffffff", 16), INT32_MAX);
    EXPECT_EQ(parse_strtol("80000000", 16), INT32_MAX);
    EXPECT_EQ(parse_strtol("-80000000", 16), INT32_MIN);
    EXPECT_EQ(parse_strtol("-80000001", 16), INT32_MIN);
    EXPECT_EQ(parse_strtol("0x1F", 16), 0x1F);
    EXPECT_EQ(parse_strtol("-0x2", 16), -2);
    EXPECT_EQ(parse_strtol("g", 16), 0);
}

TEST(Numbers, NarrowFieldsKeepTheLowBits) {
    EXPECT_EQ(static_cast<uint8_t>(parse_atol("259")), 3);
    EXPECT_EQ(static_cast<uint8_t>(parse_atol("257")), 1);
    EXPECT_EQ(static_cast<uint8_t>(parse_atol("-1")), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(parse_strtoul("110", 16)), 0x10);
}

}  // namespace
