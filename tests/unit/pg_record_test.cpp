// The PG record walk, size rule, decoding, report and single-entry edits on crafted records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zelko/common/print_level.h"
#include "zelko/pg/pg_record.h"
#include "zelko/pg/pg_report.h"

using namespace zelko;

namespace {

using record_t = std::vector<uint8_t>;

record_t record_of(const std::vector<uint8_t>& head) {
    record_t r(k_pg_record_len, 0);
    std::copy(head.begin(), head.end(), r.begin());
    return r;
}

std::string report(const PgInfo& info) {
    testing::internal::CaptureStdout();
    print_pg_info(stdout, info);
    return testing::internal::GetCapturedStdout();
}

TEST(PgEntrySize, ByFormat) {
    struct row {
        uint8_t tag, next;
        size_t size;
    };
    const row rows[] = {
        {0, 9, 0},  {3, 9, 2},   {4, 0, 2},  {51, 0, 8}, {53, 0, 4},  {27, 7, 1},  {1, 3, 7},
        {2, 3, 10}, {5, 10, 10}, {6, 0, 0},  {12, 0, 8}, {13, 0, 16}, {25, 0, 15}, {42, 0, 15},
        {16, 5, 0}, {17, 5, 0},  {54, 5, 0}, {55, 0, 1}, {200, 5, 6}, {255, 0, 1},
    };
    for (const row& r : rows) EXPECT_EQ(pg_entry_size(r.tag, r.next), r.size) << int(r.tag) << " " << int(r.next);
}

TEST(PgWalk, CraftedRecords) {
    struct row {
        const char* what;
        record_t record;
        uint8_t tag;
        pg_walk expected;
    };
    record_t full(k_pg_record_len, 0);
    for (size_t p = 0; p < full.size(); p += 2) full[p] = 27;  // 1024 entries of tag 27
    record_t last_tag = full;
    last_tag[2046] = 27;
    last_tag[2047] = 200;  // a tag in the last byte: no data
    record_t last_fixed(k_pg_record_len, 0);
    for (size_t p = 0; p + 2 < last_fixed.size(); p += 2) last_fixed[p] = 27;
    last_fixed[2046] = 16;  // no data
    last_fixed[2047] = 3;   // VID in the last byte: its data would run past the record
    const row rows[] = {
        {"empty", record_of({}), 3, {0, false, 0}},
        {"found second", record_of({27, 5, 3, 0x34, 0x12}), 3, {0, true, 2}},
        {"tag 200 then 0 skipped as two bytes", record_of({200, 0, 3, 1, 2}), 3, {0, true, 2}},
        {"tag 200 then 5 invalid", record_of({200, 5, 3, 1, 2}), 3, {-1, false, 0}},
        {"tag 200 then 5 after the wanted", record_of({3, 1, 2, 200, 5}), 3, {0, true, 0}},
        {"first of two", record_of({3, 1, 2, 3, 5, 6}), 3, {0, true, 0}},
        {"end marker position", record_of({27, 5, 4, 1, 2}), 3, {0, false, 5}},
        {"descriptor skipped by its length", record_of({7, 4, 3, 'A', 0, 3, 9, 9}), 3, {0, true, 5}},
        {"count items", record_of({1, 2, 1, 1, 2, 2, 3, 7, 7}), 3, {0, true, 6}},
        {"tag 54 has no data", record_of({54, 3, 1, 2}), 3, {0, true, 1}},
        {"full record without the tag", full, 3, {0, false, 2048}},
        {"full record ending in a bare tag", last_tag, 3, {0, false, 2048}},
        {"data past the record", last_fixed, 4, {-1, false, 2047}},
        {"wanted tag in the last byte", last_fixed, 3, {0, true, 2047}},
    };
    for (const row& r : rows) {
        const pg_walk w = find_pg_entry(r.record.data(), r.record.size(), r.tag);
        EXPECT_EQ(w.code, r.expected.code) << r.what;
        EXPECT_EQ(w.found, r.expected.found) << r.what;
        EXPECT_EQ(w.position, r.expected.position) << r.what;
    }
}

TEST(PgDecode, FieldsAndStops) {
    PgInfo info;
    // VID, PID, PRODUCT "Disk", SCSI_VENDOR padded, a second VID that overwrites, then
    // tag 27, which ends decoding before the LED entry.
    const record_t r = record_of({3,    0x34, 0x12, 4,   0x78, 0x56, 5,   10,  3,   'D', 0,   'i', 0, 's', 0,
                                  'k',  0,    12,   'A', 'B',  ' ',  ' ', ' ', ' ', ' ', ' ', 6,   2, 3,   3,
                                  0xCD, 0xAB, 51,   1,   2,    3,    4,   5,   6,   7,   8,   27,  5, 9,   1});
    EXPECT_EQ(decode_pg_record(r.data(), r.size(), &info), 0);
    EXPECT_EQ(info.VID, 0xABCD);
    EXPECT_EQ(info.PID, 0x5678);
    EXPECT_STREQ(info.PRODUCT, "Disk");
    EXPECT_STREQ(info.MANUFACTURE, "");  // descriptor of length 2
    EXPECT_STREQ(info.SCSI_VENDOR, "AB      ");
    EXPECT_EQ(info.CUSTOMIZED_FEATURE, 0x0807060504030201ull);
    EXPECT_EQ(info.LED, 0);

    // Tag 27 first: nothing decoded.
    const record_t speed_first = record_of({27, 5, 3, 1, 2});
    EXPECT_EQ(decode_pg_record(speed_first.data(), speed_first.size(), &info), 0);
    EXPECT_EQ(info.VID, 0);

    // A descriptor longer than its field is cut to the field.
    record_t long_text = record_of({6, 200, 3});
    for (size_t i = 0; i < 99; ++i) long_text[3 + 2 * i] = 'm';
    EXPECT_EQ(decode_pg_record(long_text.data(), long_text.size(), &info), 0);
    EXPECT_EQ(std::string(info.MANUFACTURE), std::string(31, 'm'));

    // Data running past the record is refused.
    record_t past(k_pg_record_len, 0);
    for (size_t p = 0; p + 4 < past.size(); p += 2) past[p] = 9;
    past[2044] = 9;
    past[2046] = 41;  // HW_LED_CFG: 4 bytes, one left
    EXPECT_EQ(decode_pg_record(past.data(), past.size(), &info), -1);
    record_t past_descriptor = record_of({});
    past_descriptor[2040] = 0;
    for (size_t p = 0; p < 2040; p += 2) past_descriptor[p] = 9;
    past_descriptor[2040] = 5;
    past_descriptor[2041] = 20;
    EXPECT_EQ(decode_pg_record(past_descriptor.data(), past_descriptor.size(), &info), -1);
}

TEST(PgReport, EmptyAndFilled) {
    PgInfo info{};
    const std::string empty = report(info);
    EXPECT_EQ(empty,
              "\n\nPrint PGINFO:\n\n"
              "                 VID = 0x0000\n"
              "                 PID = 0x0000\n"
              "             PRODUCT = \n"
              "         MANUFACTURE = \n"
              "              SERIAL = \n"
              "         SCSI_VENDOR = \n"
              "        SCSI_PRODUCT = \n"
              "             ASPMDIS = 0x0\n"
              "      DISK_IPS_THRES = 0x0\n"
              "                 LED = 0x0\n"
              "          HW_LED_CFG = 0x0\n"
              "      CUSTOMIZED_LED = 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 \n"
              "     SUSPEND_LED_OFF = 0x0\n"
              "  CUSTOMIZED_FEATURE = 0x0\n"
              "         SUPPORT_HID = 0x0\n"
              "        USB_SELF_PWR = 0x0\n");
    info.CUSTOMIZED_FEATURE = 0x123456789ABCDEFull;
    info.HW_LED_CFG = 0xFFFFFFFF;
    info.CUSTOMIZED_LED[14] = 0xAB;
    std::strcpy(info.SCSI_PRODUCT, "NVMe Disk       ");
    const std::string filled = report(info);
    EXPECT_NE(filled.find("  CUSTOMIZED_FEATURE = 0x123456789abcdef\n"), std::string::npos);
    EXPECT_NE(filled.find("          HW_LED_CFG = 0xffffffff\n"), std::string::npos);
    EXPECT_NE(filled.find("0x00 0xab \n"), std::string::npos);
    EXPECT_NE(filled.find("        SCSI_PRODUCT = NVMe Disk       \n"), std::string::npos);
    set_print_level(-1);
    EXPECT_EQ(report(info), "");
    set_print_level(0);
}

TEST(PgEdit, RemoveAndPut) {
    record_t r = record_of({3, 1, 2, 27, 5, 4, 3, 4});
    EXPECT_EQ(remove_pg_entry(r.data(), r.size(), 3), 0);
    EXPECT_EQ(r, record_of({27, 5, 4, 3, 4}));
    const uint8_t vid[2] = {0xCD, 0xAB};
    EXPECT_EQ(put_pg_entry(r.data(), r.size(), 3, vid, 2), 0);
    EXPECT_EQ(r, record_of({27, 5, 4, 3, 4, 3, 0xCD, 0xAB}));
    EXPECT_EQ(remove_pg_entry(r.data(), r.size(), 9), 0);  // absent
    EXPECT_EQ(r, record_of({27, 5, 4, 3, 4, 3, 0xCD, 0xAB}));

    // A second entry of the tag is written over in place.
    record_t twice = record_of({3, 1, 1, 3, 2, 2});
    EXPECT_EQ(remove_pg_entry(twice.data(), twice.size(), 3), 0);
    EXPECT_EQ(put_pg_entry(twice.data(), twice.size(), 3, vid, 2), 0);
    EXPECT_EQ(twice, record_of({3, 0xCD, 0xAB}));

    // Bytes after the end marker do not survive behind a new entry.
    record_t dirty = record_of({27, 1, 0, 9, 9, 9});
    EXPECT_EQ(put_pg_entry(dirty.data(), dirty.size(), 3, vid, 2), 0);
    EXPECT_EQ(dirty, record_of({27, 1, 3, 0xCD, 0xAB}));

    // A full record: without the tag nothing fits; with it, removal frees the room.
    record_t full(k_pg_record_len, 0);
    for (size_t p = 0; p < full.size(); p += 2) full[p] = 27;
    record_t before = full;
    EXPECT_EQ(remove_pg_entry(full.data(), full.size(), 3), 0);
    EXPECT_EQ(put_pg_entry(full.data(), full.size(), 3, vid, 2), -1);
    EXPECT_EQ(full, before);
    full.assign(k_pg_record_len, 0);
    full[0] = 3;
    for (size_t p = 3; p + 1 < full.size(); p += 2) full[p] = 27;
    full[2047] = 16;
    EXPECT_EQ(find_pg_entry(full.data(), full.size(), 0).position, 2048u);
    EXPECT_EQ(remove_pg_entry(full.data(), full.size(), 3), 0);
    EXPECT_EQ(put_pg_entry(full.data(), full.size(), 3, vid, 2), 0);
    EXPECT_EQ(full[2045], 3);
    EXPECT_EQ(full[2046], 0xCD);
    EXPECT_EQ(full[2047], 0xAB);

    // A descriptor of length 0 reads the end marker as its length: an entry written there
    // would vanish into it, so the record is left as it was.
    record_t swallowing = record_of({4, 1, 2, 5, 0});
    const record_t swallowing_before = swallowing;
    EXPECT_EQ(put_pg_entry(swallowing.data(), swallowing.size(), 3, vid, 2), -1);
    EXPECT_EQ(swallowing, swallowing_before);

    // Invalid records are left alone.
    record_t invalid = record_of({200, 5, 3, 1, 2});
    const record_t invalid_before = invalid;
    EXPECT_EQ(remove_pg_entry(invalid.data(), invalid.size(), 3), -1);
    EXPECT_EQ(put_pg_entry(invalid.data(), invalid.size(), 3, vid, 2), -1);
    EXPECT_EQ(invalid, invalid_before);
}

TEST(PgDescriptor, BytesAndCapacity) {
    uint8_t out[64] = {};
    EXPECT_EQ(string_to_usb_descriptor("Disk", 4, out, 62), 10u);
    const uint8_t disk[] = {0x0A, 0x03, 0x44, 0x00, 0x69, 0x00, 0x73, 0x00, 0x6B, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(out, disk, sizeof disk), 0);
    const std::string forty(40, 'x');
    EXPECT_EQ(string_to_usb_descriptor(forty.c_str(), forty.size(), out, 62), 64u);
    EXPECT_EQ(out[0], 64);
    EXPECT_EQ(out[62], 'x');  // the 31st character sits in the last two bytes
    uint8_t small[32 + 2] = {};
    EXPECT_EQ(string_to_usb_descriptor(forty.c_str(), forty.size(), small, 30), 32u);
    EXPECT_EQ(string_to_usb_descriptor("", 0, small, 30), 2u);
    EXPECT_EQ(small[0], 2);
    EXPECT_EQ(small[1], 3);
}

}  // namespace
