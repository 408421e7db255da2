// Bridge identification, disk facts and the scan, against scripted bridges.
#include <gtest/gtest.h>

#include "device/discovery.h"
#include "tests/unit/bridge_script.h"
#include "tests/unit/fake_port.h"

namespace {

using namespace bridge_script;

constexpr const char* k_path = "\\\\.\\PhysicalDrive1";

class Discovery : public fake_port_test {
protected:
    void SetUp() override {
        fake_port_test::SetUp();
        fake::add_device({.path = k_path});
        dev = dev_open(k_path);
    }
    void TearDown() override {
        dev.reset();
        fake_port_test::TearDown();
    }
    bridge_dev_ptr dev;
};

struct identify_case {
    const char* revision;
    uint32_t chip_id;
    uint32_t chip_version;
    int expected;
    const char* id_register;    // the chip identity register read, or null when none is read
};

TEST_F(Discovery, GenerationAndChipIdentityRanges) {
    const identify_case cases[] = {
        {"1.00", 0xA0010001, 0x00000000, 0, "C8 00 50 B3"},
        {"2.00", 0xA0010003, 0x002F0000, 0, "C8 00 50 B3"},
        {"1.00", 0xA0010000, 0x00000000, -1, "C8 00 50 B3"},
        {"1.00", 0xA0010004, 0x00000000, -1, "C8 00 50 B3"},
        {"1.00", 0xA0020000, 0x00000000, -1, "C8 00 50 B3"},
        {"1.01", 0xA0020000, 0x00000000, 1, "C8 00 70 B3"},
        {"2.01", 0xA0020003, 0x00000000, 1, "C8 00 70 B3"},
        {"1.02", 0xA0030000, 0x00000000, 1, "C8 00 70 B3"},
        {"2.02", 0xA0030001, 0x00000000, 1, "C8 00 70 B3"},
        {"2.02", 0xA0030002, 0x00000000, -1, "C8 00 70 B3"},
        {"1.01", 0xA0010001, 0x00000000, -1, "C8 00 70 B3"},
        {"1.01", 0xA0020001, 0x00300000, -1, "C8 00 70 B3"},   // chip version third byte 0x30
        {"1.01", 0xA0020001, 0xFF2FFFFF, 1, "C8 00 70 B3"},    // only the third byte counts
        {"3.00", 0xA0020001, 0x00000000, -1, nullptr},
        {"1.0 ", 0xA0020001, 0x00000000, -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.revision) + " " + std::to_string(c.chip_id));
        dev.reset();
        fake::reset();
        fake::add_device({.path = k_path});
        dev = dev_open(k_path);
        fake::script_ok(inquiry(c.revision));
        if (c.id_register != nullptr) {
            fake::script_ok(le32(c.chip_id));
            fake::script_ok(le32(c.chip_version));
        }
        EXPECT_EQ(identify_bridge(dev.get()), c.expected);
        const auto& sent = fake::requests();
        EXPECT_EQ(fake::hex(sent.at(0).cdb), "12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00");
        EXPECT_EQ(sent.at(0).length, 512u);
        if (c.id_register != nullptr) {
            ASSERT_EQ(sent.size(), 3u);
            const std::string base(c.id_register);
            EXPECT_EQ(fake::hex(sent[1].cdb), "E2 00 00 00 92 00 00 00 " + base + " 04 00 00 00");
            std::string version_register = base;
            version_register[1] = '4';   // C8 -> C4
            EXPECT_EQ(fake::hex(sent[2].cdb), "E2 00 00 00 92 00 00 00 " + version_register + " 04 00 00 00");
        } else {
            EXPECT_EQ(sent.size(), 1u);
        }
    }
}

TEST_F(Discovery, FailedRegisterReadIsNoBridge) {
    fake::script_ok(inquiry("1.01"));
    fake::script({.scsi_status = 2});
    EXPECT_EQ(identify_bridge(dev.get()), -1);
}

TEST_F(Discovery, BridgeNameIsVendorAndProduct) {
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    char name[512];
    std::memset(name, 0, sizeof name);
    EXPECT_EQ(get_bridge_name(dev.get(), name), 0);
    EXPECT_STREQ(name, "Morvelt USB3 NVMe Bridge");
    fake::script({.scsi_status = 2});
    std::memset(name, 'x', 4);
    EXPECT_EQ(get_bridge_name(dev.get(), name), 2);
    EXPECT_EQ(std::string(name, 4), "xxxx");
}

TEST_F(Discovery, CdromIdentity) {
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB CD-ROM      "));
    EXPECT_TRUE(is_bridge_cdrom(dev.get()));
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    EXPECT_FALSE(is_bridge_cdrom(dev.get()));
    fake::script_ok(inquiry("1.01", "Morvelt", "USB CD-ROM"));   // vendor without the trailing space
    EXPECT_TRUE(is_bridge_cdrom(dev.get())) << "the INQUIRY field is space-padded by the device";
    fake::script_ok(inquiry("1.01", "Acme    ", "USB CD-ROM"));
    EXPECT_FALSE(is_bridge_cdrom(dev.get()));
}

TEST_F(Discovery, UnlockStatusAndInfoBlockBlocks) {
    fake::script_ok(std::vector<uint8_t>(96, 1));
    EXPECT_EQ(unlock_fw_write(dev.get()), 0);
    fake::script_ok(status_data(1, 3, 0));
    ::disk_status status;
    EXPECT_EQ(get_disk_status(dev.get(), &status), 0);
    EXPECT_EQ(status.disk_type, 1u);
    EXPECT_EQ(status.disk_state, 3u);
    EXPECT_EQ(get_disk_status(dev.get(), nullptr), -1);
    uint8_t block[72] = {};
    fake::script({.scsi_status = 2, .sense = {0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x44, 0x07}});
    EXPECT_EQ(get_disk_info_block(dev.get(), block), 7) << "a nonzero sense byte 13 is the result";
    fake::script({.scsi_status = 2, .sense = {0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00}});
    EXPECT_EQ(get_disk_info_block(dev.get(), block), 2);

    const auto& sent = fake::requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(fake::hex(sent[0].cdb), "E2 00 00 00 92 00 00 00 00 40 00 AC 60 00 00 00");
    EXPECT_EQ(fake::hex(sent[1].cdb), "E2 00 00 00 BB 00 00 00 00 00 00 00 10 00 00 00");
    EXPECT_EQ(fake::hex(sent[2].cdb), "E2 00 00 00 A8 13 00 00 00 00 00 00 48 00 00 00");
    EXPECT_TRUE(sent[2].data_in);
    EXPECT_EQ(sent[2].length, 72u);
}

TEST_F(Discovery, IdentifyDeviceStrings) {
    const std::string model40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    fake::script_ok(identify(model40, "FW1.2345", "SERIAL-0123456789XYZ"));
    disk_ident ident;
    EXPECT_EQ(get_disk_ident(dev.get(), &ident), 0);
    EXPECT_EQ(fake::hex(fake::requests().at(0).cdb), "A1 08 0E 00 01 00 00 00 00 EC 00 00 00 00 00 00");
    EXPECT_EQ(fake::requests().at(0).length, 512u);
    EXPECT_EQ(std::string(ident.model), model40);
    EXPECT_EQ(std::string(ident.firmware), "FW1.2345");
    EXPECT_EQ(std::string(ident.serial), "SERIAL-0123456789XYZ");

    fake::script_ok(identify("Short", "1.0", "S1"));
    disk_ident padded;
    EXPECT_EQ(get_disk_ident(dev.get(), &padded), 0);
    EXPECT_EQ(std::string(padded.model), "Short" + std::string(35, ' ')) << "trailing spaces stay";
    EXPECT_EQ(std::string(padded.firmware), "1.0     ");

    fake::script({.scsi_status = 2});
    disk_ident untouched;
    EXPECT_EQ(get_disk_ident(dev.get(), &untouched), 2);
    EXPECT_EQ(untouched.model[0], '\0');
}

TEST(AtaSecurity, EraseTimesFromWords89And90) {
    struct erase_case {
        uint16_t word;
        uint16_t minutes;
    };
    const erase_case cases[] = {
        {0x0000, 0}, {0x0005, 10}, {0x00FF, 510}, {0x0F05, 10}, {0x8005, 10}, {0x80FF, 510}, {0x8100, 512},
        {0xFFFF, 0xFFFE},   // 16-bit arithmetic: 0x7FFF * 2
    };
    for (const auto& c : cases) EXPECT_EQ(ata_erase_minutes(c.word), c.minutes) << c.word;

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

// A whole scan: candidates, bus types, identification and the nodes it keeps.
class Scan : public fake_port_test {};

TEST_F(Scan, KeepsUsbBridgesWithDisksAndSkipsTheRest) {
    fake::set_candidates({{"D0", false}, {"D1", false}, {"D2", false}, {"D3", false}, {"V", true}});
    fake::add_device({.path = "D0", .usb = false});            // not USB: never talked to
    fake::add_device({.path = "D1"});                          // a bridge with an NVMe disk
    fake::add_device({.path = "D2"});                          // a bridge in disk state 0
    fake::add_device({.path = "V"});                           // the CD-ROM volume of a bridge
    // D3 does not open.

    // D1
    script_identify();
    fake::script_ok(status_data(0, 1, 1));
    fake::script_ok(identify("Model One", "FW01", "SN1"));
    fake::script_ok(std::vector<uint8_t>(72, 0));
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    // D2: state 0 drops it from a plain scan before its name is read
    script_identify();
    fake::script_ok(status_data(0, 0, 0));
    // V
    script_identify();
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB CD-ROM"));
    fake::script_ok(status_data(1, 3, 0));
    fake::script_ok(identify("Sata Disk", "S1", "SN2"));
    fake::script_ok(std::vector<uint8_t>(72, 0));
    fake::script_ok(identify("Sata Disk", "S1", "SN2"));     // the security summary
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB CD-ROM"));

    const auto nodes = scan_bridges(false);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_STREQ(nodes[0]->path, "D1");
    EXPECT_STREQ(nodes[0]->bridge, "Morvelt USB3 NVMe Bridge");
    EXPECT_EQ(std::string(nodes[0]->ident.model).substr(0, 9), "Model One");
    EXPECT_STREQ(nodes[1]->path, "V");
    EXPECT_EQ(fake::open_handles(), 0);
    // Each candidate is opened twice: once for its bus type, once to talk to it.
    const std::vector<std::string> expected_events = {
        "OPEN D0 ok", "QUERY D0 bus=other", "CLOSE D0", "OPEN D1 ok", "QUERY D1 bus=usb", "CLOSE D1",
        "OPEN D2 ok", "QUERY D2 bus=usb",   "CLOSE D2", "OPEN D3 fail", "OPEN V ok", "QUERY V bus=usb",
        "CLOSE V",    "OPEN D1 ok",         "CLOSE D1", "OPEN D2 ok",  "CLOSE D2", "OPEN V ok",
        "CLOSE V",
    };
    EXPECT_EQ(fake::events(), expected_events);
}

TEST_F(Scan, DevScanKeepsDisklessBridgesAndDropsUnnamedOnes) {
    fake::set_candidates({{"D1", false}, {"D2", false}, {"D3", false}});
    fake::add_device({.path = "D1"});
    fake::add_device({.path = "D2"});
    fake::add_device({.path = "D3"});
    script_identify();
    fake::script({.scsi_status = 2});                          // disk status fails: kept without disk data
    fake::script_ok(inquiry());
    script_identify();
    fake::script_ok(status_data(0, 2, 0));                     // state 2: kept without disk data
    fake::script({.scsi_status = 2});                          // but its name cannot be read: dropped
    fake::script_ok(inquiry("9.99", "Acme    ", "Flash Disk"));  // D3: another revision: no bridge

    const auto nodes = scan_bridges(true);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_STREQ(nodes[0]->path, "D1");
    EXPECT_EQ(nodes[0]->ident.model[0], '\0');
}

TEST_F(Scan, VolumeThatIsNotTheBridgeCdromIsSkipped) {
    fake::set_candidates({{"V", true}});
    fake::add_device({.path = "V"});
    script_identify();
    fake::script_ok(inquiry("1.01", "Morvelt ", "USB3 NVMe Bridge"));
    EXPECT_TRUE(scan_bridges(true).empty());
}

}  // namespace
