// The configuration file: line splitting, value parsing, kept lines, encoding, and the
// encode -> decode -> encode round trip.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "zelko/pg/config_file.h"

using namespace zelko;

namespace {

struct parsed {
    cmd_status code = 0;
    std::vector<uint8_t> record;
};

parsed parse_text(const std::string& text) {
    std::vector<PgEntry> entries;
    parsed out;
    out.record.assign(k_pg_record_len, 0);
    out.code = parse_pg_config(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &entries);
    if (out.code == 0) out.code = encode_pg_record(entries, out.record.data(), out.record.size());
    return out;
}

std::vector<uint8_t> head(const parsed& p, size_t n) { return {p.record.begin(), p.record.begin() + n}; }

std::vector<uint8_t> with_zeros(std::vector<uint8_t> bytes, size_t zeros) {
    bytes.insert(bytes.end(), zeros, 0);
    return bytes;
}

std::vector<uint8_t> descriptor_entry(uint8_t tag, const std::string& text) {
    std::vector<uint8_t> bytes = {tag, static_cast<uint8_t>(2 * text.size() + 2), 3};
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

TEST(ConfigFile, OneLineEach) {
    struct row {
        std::string text;
        std::vector<uint8_t> record;  // empty: the file is rejected
    };
    const std::string forty(40, 'q');
    const row rows[] = {
        {"VID = 0x1234 ; comment\n", {3, 0x34, 0x12, 0}},
        {"VID=0X1234\n", {}},
        {"VID = 0xabCD\n", {3, 0xCD, 0xAB, 0}},
        {"VID = 0x\n", {}},
        {"VID = 0x12g\n", {}},
        {"VID = -5\n", {}},
        {"VID = 0x12345\n", {3, 0x45, 0x23, 0}},
        {"LED = yes\n", {9, 1, 0}},
        {"LED = Yes\n", {}},
        {"LED = y\n", {9, 1, 0}},
        {"LED = on\n", {9, 1, 0}},
        {"LED = true\n", {9, 1, 0}},
        {"LED = 7\nLED = false\n", {9, 7, 9, 0, 0}},
        {"DISK_HOTPLUG = off\n", {8, 0, 0}},
        {"USB_SELF_PWR = n o\n", {14, 0, 0}},
        {"  VID   = 1 2 \n", {3, 12, 0, 0}},
        {"VID = \t \n", {3, 0, 0, 0}},
        {"VID\t= 1\n", {}},
        {"VID = ;x\n", {}},
        {"; VID = 1\n", {}},
        {"VID 1\n", {}},
        {"=VID==5=6\n", {3, 5, 0, 0}},
        {"VID x = 5\n", {3, 5, 0, 0}},
        {"vid = 5\n", {}},
        {"HW_LED_CFG = 4294967296\n", {41, 0xFF, 0xFF, 0xFF, 0xFF, 0}},
        {"HW_LED_CFG = 0x1FFFFFFFF\n", {41, 0xFF, 0xFF, 0xFF, 0xFF, 0}},
        {"CUSTOMIZED_FEATURE = 0x123456789\n", {51, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}},
        {"SD_MMC_TYPE = 258\n", {46, 2, 1, 0, 0, 0}},
        {"PRODUCT = \"Disk\"\n", with_zeros(descriptor_entry(5, "Disk"), 1)},
        {"PRODUCT = \"Disk\" and more\n", with_zeros(descriptor_entry(5, "Disk"), 1)},
        {"PRODUCT = Disk\n", {}},
        {"PRODUCT = \"Disk\n", {}},
        {"PRODUCT = \"a;b\"\n", {}},
        {"PRODUCT = \"a=b\"\n", {}},
        {"PRODUCT = \"\"\n", {5, 2, 3, 0}},
        {"PRODUCT = \"" + forty + "\"\n", with_zeros(descriptor_entry(5, forty.substr(0, 31)), 1)},
        {"MANUFACTURE = \"" + forty + "\"\n", with_zeros(descriptor_entry(6, forty.substr(0, 15)), 1)},
        {"SERIAL = \"  A B  \"\n", with_zeros(descriptor_entry(7, "  A B  "), 1)},
        {"SCSI_VENDOR = \"AB\"\n", {12, 'A', 'B', ' ', ' ', ' ', ' ', ' ', ' ', 0}},
        {"SCSI_VENDOR = \"ABCDEFGHIJ\"\n", {12, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0}},
        {"SCSI_PRODUCT = \"NVMe\"\n",
         {13, 'N', 'V', 'M', 'e', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0}},
        {"CUSTOMIZED_LED = 01 02 ff\n", with_zeros({25, 1, 2, 0xFF}, 13)},
        {"CUSTOMIZED_LED =   0A  Bc  \n", with_zeros({25, 0x0A, 0xBC}, 14)},
        {"CUSTOMIZED_LED = 1 2\n", {}},
        {"CUSTOMIZED_LED = 012\n", {}},
        {"CUSTOMIZED_LED = \t\n", {}},
        // Only the space is blank: a tab inside the list makes a piece of three characters.
        {"CUSTOMIZED_LED = 01\t02\n", {}},
        {"CUSTOMIZED_LED = 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10\n",
         {25, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}},
        {"VID = 1", {}},                        // no newline at all
        {"; settings\nVID = 1", {3, 1, 0, 0}},  // the last line lacks its newline
        {"VID = 1\r\nPID = 2\r\n", {3, 1, 0, 4, 2, 0, 0}},
        {"UNKNOWN = 1\nLED = 1\n", {9, 1, 0}},
        {"", {}},
        {"\n\n", {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        const parsed p = parse_text(r.text);
        if (r.record.empty()) {
            EXPECT_EQ(p.code, -1);
            continue;
        }
        ASSERT_EQ(p.code, 0);
        EXPECT_EQ(head(p, r.record.size()), r.record);
    }
}

// A line longer than one read goes on as the next line; an embedded zero ends a line's text.
TEST(ConfigFile, ReadsOfALine) {
    const std::string filler(125, 'x');
    EXPECT_EQ(head(parse_text("; " + filler + "VID = 7\n"), 4), (std::vector<uint8_t>{3, 7, 0, 0}));
    EXPECT_EQ(head(parse_text(std::string("VID = 7\0 LED = 1\n", 17)), 4), (std::vector<uint8_t>{3, 7, 0, 0}));
    EXPECT_EQ(head(parse_text(std::string("LED = 2\0\nVID = 7\n", 17)), 6), (std::vector<uint8_t>{9, 2, 3, 7, 0, 0}));
}

// 200 settings are kept; a 201st is refused with the whole file, comments there are not.
TEST(ConfigFile, KeptLines) {
    std::string settings;
    for (int i = 0; i < 200; ++i) settings += "LED = " + std::to_string(i % 10) + "\n";
    const parsed two_hundred = parse_text(settings + "; more\n\n; comments\n");
    ASSERT_EQ(two_hundred.code, 0);
    EXPECT_EQ(two_hundred.record[398], 9);
    EXPECT_EQ(two_hundred.record[399], 9);
    EXPECT_EQ(two_hundred.record[400], 0);
    EXPECT_EQ(parse_text(settings + "LED = 1\n").code, -1);
    // Lines after a 0xFF byte are not counted: a setting there would be lost.
    EXPECT_EQ(parse_text("LED = 1\n\xff\nLED = 2\n").code, -1);
    EXPECT_EQ(parse_text("LED = 1\n\xff\n; end\n").code, 0);
}

TEST(ConfigFile, EncodingPastTheRecordIsRefused) {
    std::string text;
    for (int i = 0; i < 31; ++i) text += "PRODUCT = \"" + std::string(31, 'p') + "\"\n";
    const parsed fits = parse_text(text);  // 31 entries of 65 bytes: 2015
    ASSERT_EQ(fits.code, 0);
    EXPECT_EQ(fits.record[2015], 0);
    const std::string product = "SCSI_PRODUCT = \"x\"\n";      // 17 bytes
    EXPECT_EQ(parse_text(text + product + product).code, -1);  // 2049
    const parsed full = parse_text(text + product + "CUSTOMIZED_LED = 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e ee\n");
    ASSERT_EQ(full.code, 0);  // 2048 exactly
    EXPECT_EQ(full.record[2047], 0xEE);
}

// A config text holding every key of a decoded record.
std::string config_of(const PgInfo& info) {
    char text[4096];
    std::string led;
    for (uint8_t b : info.CUSTOMIZED_LED) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%02x ", b);
        led += piece;
    }
    std::snprintf(text, sizeof text,
                  "VID = 0x%x\nPID = 0x%x\nPRODUCT = \"%s\"\nMANUFACTURE = \"%s\"\nSERIAL = \"%s\"\n"
                  "SCSI_VENDOR = \"%s\"\nSCSI_PRODUCT = \"%s\"\nASPMDIS = %u\nDISK_IPS_THRES = %u\nLED = %u\n"
                  "HW_LED_CFG = 0x%x\nCUSTOMIZED_LED = %s\nSUSPEND_LED_OFF = %u\nUART_DBG_PIN = %u\n"
                  "DISK_HOTPLUG = %u\nSD_MMC_TYPE = %u\nCUSTOMIZED_FEATURE = %llu\nSUPPORT_HID = %u\n"
                  "USB_SELF_PWR = %u\n",
                  info.VID, info.PID, info.PRODUCT, info.MANUFACTURE, info.SERIAL, info.SCSI_VENDOR, info.SCSI_PRODUCT,
                  info.ASPMDIS, info.DISK_IPS_THRES, info.LED, info.HW_LED_CFG, led.c_str(), info.SUSPEND_LED_OFF,
                  info.UART_DBG_PIN, info.DISK_HOTPLUG, info.SD_MMC_TYPE,
                  static_cast<unsigned long long>(info.CUSTOMIZED_FEATURE), info.SUPPORT_HID, info.USB_SELF_PWR);
    return text;
}

TEST(ConfigFile, RoundTrip) {
    const std::string text =
        "; every key\n"
        "VID = 0x1d6b\nPID = 0x0104\nPRODUCT = \"" +
        std::string(31, 'P') +
        "\"\n"
        "MANUFACTURE = \"Maker Co\"\nSERIAL = \"SN-0001\"\nSCSI_VENDOR = \"Vend\"\n"
        "SCSI_PRODUCT = \"External NVMe SSD\"\nASPMDIS = 1\nDISK_IPS_THRES = 90\nLED = yes\n"
        "HW_LED_CFG = 0xA5A5\nCUSTOMIZED_LED = 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n"
        "SUSPEND_LED_OFF = on\nUART_DBG_PIN = 12\nDISK_HOTPLUG = 0\nSD_MMC_TYPE = 3\n"
        "CUSTOMIZED_FEATURE = 0x8000\nSUPPORT_HID = 1\nUSB_SELF_PWR = off\n";
    const parsed first = parse_text(text);
    ASSERT_EQ(first.code, 0);
    PgInfo info;
    ASSERT_EQ(decode_pg_record(first.record.data(), first.record.size(), &info), 0);
    EXPECT_EQ(info.VID, 0x1d6b);
    EXPECT_STREQ(info.SCSI_PRODUCT, "External NVMe SS");
    EXPECT_EQ(info.UART_DBG_PIN, 12);
    EXPECT_EQ(info.SD_MMC_TYPE, 3u);
    const parsed second = parse_text(config_of(info));
    ASSERT_EQ(second.code, 0);
    EXPECT_EQ(second.record, first.record);
}

}  // namespace

namespace {

std::string scratch_path(const std::string& name) { return ::testing::TempDir() + "pg_config_test_" + name; }

void write_text(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

// Only regular files up to the limit are read: an endless device, a directory or a file
// beyond the limit is refused as unreadable, and at once.
TEST(pg_config_file, only_bounded_regular_files_are_read) {
    const std::string small = scratch_path("small.cfg");
    write_text(small, "VID = 0x1234\n");
    EXPECT_EQ(load_pg_config(nullptr, small.c_str(), true), 0);
    const std::string at_limit = scratch_path("at_limit.cfg");
    const std::string line = "VID = 0x1234\n";
    write_text(at_limit, line + std::string(k_config_max_bytes - line.size(), '\n'));
    EXPECT_EQ(load_pg_config(nullptr, at_limit.c_str(), true), 0);
    const std::string beyond = scratch_path("beyond.cfg");
    write_text(beyond, line + std::string(k_config_max_bytes - line.size() + 1, '\n'));
    EXPECT_EQ(load_pg_config(nullptr, beyond.c_str(), true), -1);
    for (const std::string& path :
         {std::string("/dev/zero"), std::string("/dev/null"), ::testing::TempDir(), scratch_path("missing.cfg")}) {
        EXPECT_EQ(load_pg_config(nullptr, path.c_str(), true), -1) << path;
    }
    std::remove(small.c_str());
    std::remove(at_limit.c_str());
    std::remove(beyond.c_str());
}

}  // namespace
