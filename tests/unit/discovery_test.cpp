// Bridge identification, disk facts and the scan, against scripted bridges.
#include <gtest/gtest.h>

#include "zelko/device/discovery.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

using namespace bridge_script;

class Discovery : public bridge_command_test {};

TEST_F(Discovery, GenerationAndChipIdentityRanges) {
    struct identify_case {
        const char* revision;
        uint32_t chip_id;
        uint32_t chip_version;
        int expected;
        const char* base;  // the generation's register block, or null when no register is read
    };
    const identify_case cases[] = {
        {"1.00", 0xA0010001, 0x00000000, 0, "50 B3"},
        {"2.00", 0xA0010003, 0x002F0000, 0, "50 B3"},
        {"1.00", 0xA0010000, 0x00000000, -1, "50 B3"},
        {"1.00", 0xA0010004, 0x00000000, -1, "50 B3"},
        {"1.00", 0xA0020000, 0x00000000, -1, "50 B3"},
        {"1.01", 0xA0020000, 0x00000000, 1, "70 B3"},
        {"2.01", 0xA0020003, 0x00000000, 1, "70 B3"},
        {"1.02", 0xA0030000, 0x00000000, 1, "70 B3"},
        {"2.02", 0xA0030001, 0x00000000, 1, "70 B3"},
        {"2.02", 0xA0030002, 0x00000000, -1, "70 B3"},
        {"1.01", 0xA0010001, 0x00000000, -1, "70 B3"},
        {"1.01", 0xA0020001, 0x00300000, -1, "70 B3"},  // chip version third byte 0x30
        {"1.01", 0xA0020001, 0xFF2FFFFF, 1, "70 B3"},   // only the third byte counts
        {"3.00", 0xA0020001, 0x00000000, -1, nullptr},
        {"1.0 ", 0xA0020001, 0x00000000, -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.revision) + " " + std::to_string(c.chip_id) + " " + std::to_string(c.chip_version));
        next_case();
        fake::script_ok(inquiry(c.revision));
        if (c.base != nullptr) {
            fake::script_ok(le32(c.chip_id));
            fake::script_ok(le32(c.chip_version));
        }
        EXPECT_EQ(identify_bridge(device.get()), c.expected);
        const std::vector<std::string> blocks = identification_blocks(c.base != nullptr ? c.base : "");
        EXPECT_EQ(sent_blocks(), c.base != nullptr ? blocks : std::vector<std::string>{blocks[0]});
    }
    next_case();
    fake::script_ok(inquiry("1.01"));
    fake::script({.scsi_status = 2});
    EXPECT_EQ(identify_bridge(device.get()), -1);
}

TEST_F(Discovery, BridgeNameAndCdromIdentity) {
    char name[512] = {};
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    EXPECT_EQ(get_bridge_name(device.get(), name), 0);
    EXPECT_STREQ(name, "Morvelt USB3 NVMe Bridge");
    fake::script({.scsi_status = 2});
    std::memset(name, 'x', 4);
    EXPECT_EQ(get_bridge_name(device.get(), name), 2);
    EXPECT_STREQ(name, "");
    // A buffer full of other text still holds exactly the name afterwards.
    std::memset(name, 'x', sizeof name);
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    EXPECT_EQ(get_bridge_name(device.get(), name), 0);
    EXPECT_STREQ(name, "Morvelt USB3 NVMe Bridge");

    const std::pair<const char*, const char*> cdrom_names[] = {{"Morvelt ", "USB CD-ROM      "},
                                                               {"Morvelt", "USB CD-ROM"}};
    for (const auto& [vendor, product] : cdrom_names) {
        fake::script_ok(inquiry("1.01", vendor, product));
        EXPECT_TRUE(is_bridge_cdrom(device.get())) << vendor << "|" << product;
    }
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    EXPECT_FALSE(is_bridge_cdrom(device.get()));
    fake::script_ok(inquiry("1.01", "Acme    ", "USB CD-ROM"));
    EXPECT_FALSE(is_bridge_cdrom(device.get()));
}

TEST_F(Discovery, DiskStatusAndInformationBlock) {
    fake::script_ok(status_data(1, 3, 0));
    ::disk_status status;
    EXPECT_EQ(get_disk_status(device.get(), &status), 0);
    EXPECT_EQ(status.disk_type, 1u);
    EXPECT_EQ(status.disk_state, 3u);
    EXPECT_EQ(get_disk_status(device.get(), nullptr), -1);
    // A nonzero sense byte 13 is the information block's result, otherwise the status.
    uint8_t block[72] = {};
    fake::script({.scsi_status = 2, .sense = {0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x44, 0x07}});
    EXPECT_EQ(get_disk_info_block(device.get(), block), 7);
    fake::script({.scsi_status = 2, .sense = {0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00}});
    EXPECT_EQ(get_disk_info_block(device.get(), block), 2);
    EXPECT_EQ(sent_blocks(), (std::vector<std::string>{"E2 00 00 00 BB 00 00 00 00 00 00 00 10 00 00 00 in 16",
                                                       "E2 00 00 00 A8 13 00 00 00 00 00 00 48 00 00 00 in 72",
                                                       "E2 00 00 00 A8 13 00 00 00 00 00 00 48 00 00 00 in 72"}));
}

// IDENTIFY strings arrive two characters a word, the first in the high byte; they keep
// their trailing spaces, and a failed read leaves the result empty.
TEST_F(Discovery, IdentifyDeviceStrings) {
    const std::string model40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    fake::script_ok(identify(model40, "FW1.2345", "SERIAL-0123456789XYZ"));
    disk_ident ident;
    EXPECT_EQ(get_disk_ident(device.get(), &ident), 0);
    EXPECT_EQ(sent_blocks(), std::vector<std::string>{"A1 08 0E 00 01 00 00 00 00 EC 00 00 00 00 00 00 in 512"});
    EXPECT_EQ(std::string(ident.model), model40);
    EXPECT_EQ(std::string(ident.firmware), "FW1.2345");
    EXPECT_EQ(std::string(ident.serial), "SERIAL-0123456789XYZ");

    fake::script_ok(identify("Short", "1.0", "S1"));
    EXPECT_EQ(get_disk_ident(device.get(), &ident), 0);
    EXPECT_EQ(std::string(ident.model), "Short" + std::string(35, ' '));
    EXPECT_EQ(std::string(ident.firmware), "1.0     ");

    fake::script({.scsi_status = 2});
    disk_ident untouched;
    EXPECT_EQ(get_disk_ident(device.get(), &untouched), 2);
    EXPECT_EQ(untouched.model[0], '\0');
}

TEST(AtaSecurity, EraseTimesFromWords89And90) {
    const std::pair<uint16_t, uint16_t> cases[] = {
        {0x0000, 0},  {0x0005, 10},  {0x00FF, 510}, {0x0F05, 10},
        {0x8005, 10}, {0x80FF, 510}, {0x8100, 512}, {0xFFFF, 0xFFFE},  // 16-bit arithmetic: 0x7FFF * 2
    };
    for (const auto& [word, minutes] : cases) EXPECT_EQ(ata_erase_minutes(word), minutes) << word;

    std::vector<uint8_t> data(512, 0);
    put_le16(&data[2 * 89], 0x8010);
    put_le16(&data[2 * 90], 0x0020);
    put_le16(&data[2 * 92], 0xFFFE);
    put_le16(&data[2 * 128], 0x0021);
    ata_security summary;
    decode_ata_security(data.data(), &summary);
    EXPECT_EQ(summary.security_status, 0x0021);
    EXPECT_EQ(summary.master_password_id, 0xFFFE);
    EXPECT_EQ(summary.erase_minutes, 0x20);
    EXPECT_EQ(summary.enhanced_erase_minutes, 0x40);
}

// dev_scan keeps a bridge whose disk status fails, without disk data, but drops one whose
// name cannot be read and a device of another revision.
class Scan : public fake_port_test {};

TEST_F(Scan, DevScanKeepsDisklessBridgesAndDropsUnnamedOnes) {
    fake::set_candidates({{"D1", false}, {"D2", false}, {"D3", false}});
    for (const char* path : {"D1", "D2", "D3"}) fake::add_device({.path = path});
    script_identify();
    fake::script({.scsi_status = 2});
    fake::script_ok(inquiry());
    script_identify();
    fake::script_ok(status_data(0, 2, 0));
    fake::script({.scsi_status = 2});
    fake::script_ok(inquiry("9.99", "Acme    ", "Flash Disk"));

    const auto nodes = scan_bridges(true);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_STREQ(nodes[0]->path, "D1");
    EXPECT_EQ(nodes[0]->ident.model[0], '\0');
}

}  // namespace
