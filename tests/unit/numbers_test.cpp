// The command-line conversions behave as on a platform with a 32-bit long.
#include <gtest/gtest.h>

#include "zelko/common/numbers.h"

using namespace zelko;

namespace {

TEST(Numbers, AtolSaturatesAtThe32BitRange) {
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0},
        {"42", 42},
        {"  -17", -17},
        {"+5", 5},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"259", 259},
        {"0x10", 0},  // decimal only: stops at 'x'
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999", 2147483647},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(parse_atol(text), value) << text;
}

TEST(Numbers, StrtoulAndStrtolSaturate) {
    struct strtoul_case {
        const char* text;
        int base;
        uint32_t value;
    };
    const strtoul_case cases[] = {
        {"10", 16, 0x10},
        {"0x10", 16, 0x10},
        {"0X1f", 16, 0x1F},
        {"ffffffff", 16, 0xFFFFFFFF},
        {"100000000", 16, 0xFFFFFFFF},  // beyond 32 bits saturates
        {"4294967295", 10, 0xFFFFFFFF},
        {"4294967296", 10, 0xFFFFFFFF},
        {"-1", 10, 0xFFFFFFFF},  // negation modulo 2^32
        {"-1", 16, 0xFFFFFFFF},
        {"-4294967296", 10, 0xFFFFFFFF},  // overflow wins over the sign
        {"zz", 16, 0},
        {"0x", 16, 0},  // a bare prefix is no number
        {" 12 34", 10, 12},
        {"", 10, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_strtoul(c.text, c.base), c.value) << c.text << " base " << c.base;

    const std::pair<const char*, int32_t> signed_cases[] = {
        {"7fffffff", INT32_MAX},
        {"80000000", INT32_MAX},
        {"-80000000", INT32_MIN},
        {"-80000001", INT32_MIN},
        {"0x1F", 0x1F},
        {"-0x2", -2},
        {"g", 0},
    };
    for (const auto& [text, value] : signed_cases) EXPECT_EQ(parse_strtol(text, 16), value) << text;
}

}  // namespace
