// The lab's text helpers: strict numbers, the one hex form, hex pairs and the two escapes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lab/record/text.h"

namespace {

struct u32_case {
    const char* text;
    bool ok;
    uint32_t value;
};

TEST(lab_text, u32_takes_the_whole_text_as_one_number) {
    for (const u32_case& c : std::vector<u32_case>{{"0", true, 0},
                                                   {"4294967295", true, 0xFFFFFFFF},
                                                   {"0xFFFFFFFF", true, 0xFFFFFFFF},
                                                   {"0XaB", true, 0xAB},
                                                   {"4294967296", false, 0},
                                                   {"0x100000000", false, 0},
                                                   {"", false, 0},
                                                   {"0x", false, 0},
                                                   {"-1", false, 0},
                                                   {"+1", false, 0},
                                                   {" 1", false, 0},
                                                   {"1 ", false, 0},
                                                   {"12a", false, 0},
                                                   {"0x0x5", false, 0},
                                                   {"0x-5", false, 0},
                                                   {"99999999999999999999999", false, 0}}) {
        uint32_t value = 7;
        EXPECT_EQ(parse_u32(c.text, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 7u) << c.text;
    }
}

TEST(lab_text, i64_and_u64_keep_their_ranges) {
    int64_t value = 0;
    EXPECT_TRUE(parse_i64("-9223372036854775807", &value));
    EXPECT_EQ(value, -9223372036854775807LL);
    EXPECT_TRUE(parse_i64("-0x10", &value));
    EXPECT_EQ(value, -16);
    EXPECT_FALSE(parse_i64("9223372036854775808", &value));
    EXPECT_FALSE(parse_i64("--1", &value));
    EXPECT_FALSE(parse_i64("-", &value));
    uint64_t offset = 0;
    EXPECT_TRUE(parse_u64("0x7FFFFFFFFFFFFFFF", &offset));
    EXPECT_EQ(offset, 0x7FFFFFFFFFFFFFFFull);
    EXPECT_FALSE(parse_u64("-1", &offset));
}

TEST(lab_text, hex_pairs_read_words_of_whole_pairs) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(parse_hex_pairs("0a 1B  ff", &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0A, 0x1B, 0xFF}));
    EXPECT_TRUE(parse_hex_pairs("0A1BFF", &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0A, 0x1B, 0xFF}));
    EXPECT_TRUE(parse_hex_pairs("", &bytes));
    EXPECT_TRUE(bytes.empty());
    bytes = {1};
    for (const char* bad : {"0A 1", "0", "GG", "0x0A", "0A,1B", "+A"}) {
        EXPECT_FALSE(parse_hex_pairs(bad, &bytes)) << bad;
        EXPECT_EQ(bytes, std::vector<uint8_t>{1}) << bad;
    }
    uint8_t byte = 0;
    EXPECT_FALSE(parse_hex_byte("F", &byte));
    EXPECT_FALSE(parse_hex_byte("-1", &byte));
    EXPECT_TRUE(parse_hex_byte("eF", &byte));
    EXPECT_EQ(byte, 0xEF);
}

TEST(lab_text, one_hex_form) {
    EXPECT_EQ(hex_number(0xAB, 4), "0x00AB");
    EXPECT_EQ(hex_number(0, 2), "0x00");
    EXPECT_EQ(hex_number(0xA0020001, 8), "0xA0020001");
    EXPECT_EQ(hex_number(0x123456789ull, 8), "0x123456789");  // never cut short
    EXPECT_EQ(hex_digits(0x50, 4), "0050");
    const uint8_t bytes[] = {0x00, 0x0A, 0xFF};
    EXPECT_EQ(hex_bytes(bytes, 3), "00 0A FF");
    EXPECT_EQ(hex_bytes(bytes, 3, ""), "000AFF");
    EXPECT_EQ(hex_bytes(bytes, 0), "");
}

TEST(lab_text, file_escape_reads_back_and_message_escape_shows_controls) {
    const std::string text = std::string("a b%\r\n\"\\\x7F\xFF", 10) + std::string(1, '\0');
    const std::string escaped = escape_text(text);
    EXPECT_EQ(escaped, "a%20b%25%0D%0A\"\\%7F%FF%00");
    std::string back;
    ASSERT_TRUE(unescape_text(escaped, &back));
    EXPECT_EQ(back, text);
    for (const char* bad : {"%", "%4", "%4G", "a%"}) EXPECT_FALSE(unescape_text(bad, &back)) << bad;

    EXPECT_EQ(printable_line("bad\nname\x1b"), "bad\\x0Aname\\x1B");
    EXPECT_EQ(quoted_text(text), "\"a b%\\x0D\\x0A\\\"\\\\\\x7F\\xFF\\x00\"");
}

TEST(lab_text, splits) {
    EXPECT_EQ(split_words("  a  bc d "), (std::vector<std::string>{"a", "bc", "d"}));
    EXPECT_TRUE(split_words("   ").empty());
    EXPECT_EQ(split_at("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split_at("", ','), (std::vector<std::string>{""}));
}

}  // namespace
