// The bounded cursors: values at their byte order, nothing read or written outside the
// span, and a flag that stays set once anything ran past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "zelko/common/cursor.h"

using namespace zelko;

namespace {

const std::vector<uint8_t> k_bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};

TEST(ReadCursor, ValuesAndPositions) {
    read_cursor in(k_bytes.data(), k_bytes.size());
    EXPECT_EQ(in.u8(), 0x01);
    EXPECT_EQ(in.le16(), 0x0302);
    EXPECT_EQ(in.be16(), 0x0405);
    EXPECT_EQ(in.position(), 5u);
    EXPECT_EQ(in.le32(), 0x09080706u);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(in.le64_at(1), 0x0908070605040302ull);
    EXPECT_EQ(in.be32_at(0), 0x01020304u);
    EXPECT_EQ(in.position(), 9u);  // reads at an offset do not move
    EXPECT_TRUE(in.ok());
}

// Every read that would cross the end, by one byte or by far, yields zero, sets the flag
// for good and leaves the position at the end.
TEST(ReadCursor, PastTheEndYieldsZeroAndStaysFailed) {
    struct crossing {
        const char* what;
        uint64_t (*read)(read_cursor&);
    };
    const crossing cases[] = {
        {"u8 at 9", [](read_cursor& c) -> uint64_t { return c.u8_at(9); }},
        {"le16 at 8", [](read_cursor& c) -> uint64_t { return c.le16_at(8); }},
        {"le32 at 6", [](read_cursor& c) -> uint64_t { return c.le32_at(6); }},
        {"le64 at 2", [](read_cursor& c) -> uint64_t { return c.le64_at(2); }},
        {"be32 at SIZE_MAX", [](read_cursor& c) -> uint64_t { return c.be32_at(SIZE_MAX); }},
        {"le32 after seek 7",
         [](read_cursor& c) -> uint64_t {
             c.seek(7);
             return c.le32();
         }},
        {"u8 after skip 10",
         [](read_cursor& c) -> uint64_t {
             c.skip(10);
             return c.u8();
         }},
        {"span of 10", [](read_cursor& c) -> uint64_t { return c.span_at(0, 10) == nullptr ? 0 : 1; }},
    };
    for (const crossing& c : cases) {
        read_cursor in(k_bytes.data(), k_bytes.size());
        EXPECT_EQ(c.read(in), 0u) << c.what;
        EXPECT_FALSE(in.ok()) << c.what;
        EXPECT_LE(in.position(), k_bytes.size()) << c.what;
        EXPECT_EQ(in.u8_at(0), 0x01) << c.what;  // later reads inside still work...
        EXPECT_FALSE(in.ok()) << c.what;         // ...but the flag stays
    }
}

TEST(ReadCursor, BytesAreZeroFilledPastTheEnd) {
    read_cursor in(k_bytes.data(), k_bytes.size());
    in.seek(7);
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    in.bytes(out, sizeof out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x08, 0x09, 0, 0}));
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.position(), 9u);

    read_cursor empty(static_cast<const uint8_t*>(nullptr), 100);
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.le32(), 0u);
    EXPECT_FALSE(empty.ok());
}

TEST(WriteCursor, WritesInsideAndRefusesWholeValuesThatDoNotFit) {
    std::vector<uint8_t> guard(12, 0xAA);
    write_cursor out(guard.data() + 2, 8);  // bytes 0-1 and 10-11 are outside the span
    out.le16(0x0201);
    out.be16(0x0304);
    out.le32(0x08070605);
    EXPECT_TRUE(out.ok());
    EXPECT_FALSE(out.le16_at(7, 0xFFFF));  // would cross the end: nothing written
    EXPECT_FALSE(out.ok());
    EXPECT_FALSE(out.bytes_at(9, "x", 1));
    out.u8(0x55);  // the position is at the end
    EXPECT_EQ(guard, (std::vector<uint8_t>{0xAA, 0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xAA, 0xAA}));

    write_cursor again(guard.data() + 2, 8);
    EXPECT_TRUE(again.le64_at(0, 0x1122334455667788ull));
    EXPECT_FALSE(again.le64_at(1, 0));
    EXPECT_EQ(guard[2], 0x88);
    EXPECT_EQ(guard[9], 0x11);
    EXPECT_EQ(guard[10], 0xAA);
}

}  // namespace
