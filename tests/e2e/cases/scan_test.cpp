// scan, dev_scan and query on labs of several shapes.
#include "lab_fixture.h"

namespace {

class scan_e2e : public lab_test {};

std::string listing(const std::string& path, const std::string& bridge, const std::string& disk) {
    return path + "\nbridge: " + bridge + "\ndisk info: " + disk + "\n";
}

TEST_F(scan_e2e, machine_without_usb_storage_lists_nothing) {
    lab_ok({"init"});
    EXPECT_EQ(run({"scan"}), "");
    EXPECT_EQ(run({"dev_scan"}), "");

    // Bridges that are not on USB and other vendors' USB disks are no USB bridges either.
    lab_ok({"create", "PhysicalDrive0", "--bus", "other"});
    lab_ok({"create", "PhysicalDrive1", "--foreign"});
    lab_ok({"create", "d", "--foreign"});
    EXPECT_EQ(run({"scan"}), "");
    EXPECT_EQ(run({"dev_scan"}), "");
}

TEST_F(scan_e2e, disk_states_one_and_three_are_scanned_others_only_listed_by_dev_scan) {
    lab_ok({"create", "PhysicalDrive0", "--disk-state", "0"});
    lab_ok({"create", "PhysicalDrive1", "--disk-state", "1"});
    lab_ok({"create", "PhysicalDrive2", "--disk-state", "2"});
    lab_ok({"create", "PhysicalDrive3", "--disk-state", "3"});
    EXPECT_EQ(run({"scan"}), listing(drive_path(1), k_nvme_bridge_name, k_nvme_disk_line) + "\n" +
                                 listing(drive_path(3), k_nvme_bridge_name, k_nvme_disk_line));
    EXPECT_EQ(run({"dev_scan"}), listing(drive_path(0), k_nvme_bridge_name, "no disk") + "\n" +
                                     listing(drive_path(1), k_nvme_bridge_name, k_nvme_disk_line) + "\n" +
                                     listing(drive_path(2), k_nvme_bridge_name, "no disk") + "\n" +
                                     listing(drive_path(3), k_nvme_bridge_name, k_nvme_disk_line));
}

TEST_F(scan_e2e, bridge_without_disk_is_listed_by_dev_scan_only) {
    lab_ok({"create", "PhysicalDrive4", "--disk", "none"});
    EXPECT_EQ(run({"scan"}), "");
    EXPECT_EQ(run({"dev_scan"}), listing(drive_path(4), k_nvme_bridge_name, "no disk"));
}

TEST_F(scan_e2e, cdrom_volume_is_listed_and_foreign_or_plain_volumes_are_not) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "c", "--cdrom-of", "PhysicalDrive1"});
    lab_ok({"create", "d", "--foreign"});
    lab_ok({"create", "e"});   // a bridge reached through a volume that is not its CD-ROM
    lab_ok({"trace", "on"});
    const std::string drive = listing(drive_path(1), k_nvme_bridge_name, k_nvme_disk_line);
    const std::string cdrom = listing(volume_path('c'), "Morvelt USB CD-ROM      ", k_nvme_disk_line);
    EXPECT_EQ(run({"scan"}), drive + "\n" + cdrom);

    // Every candidate is opened for its bus type, then the USB ones again to talk to them.
    const std::vector<std::string> opened = trace_lines("OPEN ");
    ASSERT_EQ(opened.size(), 20u + 4u);
    EXPECT_EQ(opened[0], "OPEN " + drive_path(0) + " fail");
    EXPECT_EQ(opened[1], "OPEN " + drive_path(1) + " ok");
    EXPECT_EQ(opened[10], "OPEN " + volume_path('c') + " ok");
    EXPECT_EQ(trace_lines("QUERY "),
              (std::vector<std::string>{"QUERY PhysicalDrive1 bus=usb", "QUERY c bus=usb", "QUERY d bus=usb",
                                        "QUERY e bus=usb"}));
    EXPECT_EQ(trace_lines("OPEN ").size(), trace_lines("CLOSE ").size() + 16u);
}

TEST_F(scan_e2e, one_bridge_through_drive_and_volume_is_one_device) {
    lab_ok({"create", "PhysicalDrive2", "--model", "Shared Disk"});
    lab_ok({"create", "f", "--cdrom-of", "PhysicalDrive2"});
    lab_ok({"set", "f", "model", "Changed Through Volume"});
    EXPECT_EQ(run({"query", drive_path(2)}),
              drive_path(2) + " " + k_nvme_bridge_name + "\n" + padded("Changed Through Volume", 40) + " 3B2QLAB1\n");
    EXPECT_EQ(run({"query", volume_path('F')}),
              volume_path('F') + " Morvelt USB CD-ROM      \n" + padded("Changed Through Volume", 40) + " 3B2QLAB1\n");
}

struct revision_case {
    const char* revision;
    const char* gen;
    const char* identity_read;   // the chip identity register read, then the version
    const char* version_read;
};

class revision_e2e : public lab_test, public ::testing::WithParamInterface<revision_case> {};

TEST_P(revision_e2e, revision_selects_the_register_block) {
    const revision_case& c = GetParam();
    lab_ok({"create", "PhysicalDrive1", "--gen", c.gen, "--revision", c.revision});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"query", drive_path(1)}),
              drive_path(1) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n");
    const std::vector<std::string> cmds = trace_lines("CMD ");
    ASSERT_GE(cmds.size(), 3u);
    EXPECT_EQ(cmds[1], std::string("CMD PhysicalDrive1 ") + c.identity_read + " in 4 status=0 err=0");
    EXPECT_EQ(cmds[2], std::string("CMD PhysicalDrive1 ") + c.version_read + " in 4 status=0 err=0");
}

INSTANTIATE_TEST_SUITE_P(
    revisions, revision_e2e,
    ::testing::Values(
        revision_case{"1.00", "0", "E2 00 00 00 92 00 00 00 C8 00 50 B3 04 00 00 00",
                      "E2 00 00 00 92 00 00 00 C4 00 50 B3 04 00 00 00"},
        revision_case{"2.00", "0", "E2 00 00 00 92 00 00 00 C8 00 50 B3 04 00 00 00",
                      "E2 00 00 00 92 00 00 00 C4 00 50 B3 04 00 00 00"},
        revision_case{"1.01", "1", "E2 00 00 00 92 00 00 00 C8 00 70 B3 04 00 00 00",
                      "E2 00 00 00 92 00 00 00 C4 00 70 B3 04 00 00 00"},
        revision_case{"2.02", "1", "E2 00 00 00 92 00 00 00 C8 00 70 B3 04 00 00 00",
                      "E2 00 00 00 92 00 00 00 C4 00 70 B3 04 00 00 00"}));

struct identity_case {
    const char* revision;
    const char* chip_id;
    const char* chip_version;
    bool bridge;
};

class identity_e2e : public lab_test, public ::testing::WithParamInterface<identity_case> {};

TEST_P(identity_e2e, bridge_check_follows_revision_chip_identity_and_version) {
    const identity_case& c = GetParam();
    lab_ok({"create", "PhysicalDrive5", "--revision", c.revision, "--chip-id", c.chip_id, "--chip-version",
            c.chip_version});
    const std::string query = run({"query", drive_path(5)});
    if (c.bridge) {
        EXPECT_EQ(query, drive_path(5) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n");
        EXPECT_EQ(run({"scan"}), drive_path(5) + "\nbridge: " + k_nvme_bridge_name + "\ndisk info: " +
                                     k_nvme_disk_line + "\n");
    } else {
        EXPECT_EQ(query, "Not Morvelt USB bridge\n");
        EXPECT_EQ(run({"scan"}), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    identities, identity_e2e,
    ::testing::Values(identity_case{"1.00", "0xA0010000", "0x00110002", false},
                      identity_case{"1.00", "0xA0010001", "0x00110002", true},
                      identity_case{"2.00", "0xA0010003", "0x00110002", true},
                      identity_case{"1.00", "0xA0010004", "0x00110002", false},
                      identity_case{"1.00", "0xA0020001", "0x00110002", false},
                      identity_case{"1.01", "0xA0010003", "0x00120003", false},
                      identity_case{"1.01", "0xA0020000", "0x00120003", true},
                      identity_case{"1.02", "0xA0020003", "0x00120003", true},
                      identity_case{"2.01", "0xA0020004", "0x00120003", false},
                      identity_case{"2.02", "0xA0030001", "0x00120003", true},
                      identity_case{"1.01", "0xA0030002", "0x00120003", false},
                      identity_case{"1.01", "0xA0020001", "0x002F0000", true},
                      identity_case{"1.01", "0xA0020001", "0x00300000", false},
                      identity_case{"1.01", "0xA0020001", "0xFF30FFFF", false},
                      identity_case{"1.03", "0xA0020001", "0x00120003", false},
                      identity_case{"3.00", "0xA0020001", "0x00120003", false}));

TEST_F(scan_e2e, forty_character_model_and_twenty_character_serial_print_in_full) {
    const std::string model = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    ASSERT_EQ(model.size(), 40u);
    lab_ok({"create", "PhysicalDrive1", "--model", model, "--serial", "S1234567890123456789", "--firmware",
            "FW012345"});
    EXPECT_EQ(run({"scan"}), drive_path(1) + "\nbridge: " + k_nvme_bridge_name + "\ndisk info: " + model +
                                 " FW012345\n");
    EXPECT_EQ(run({"query", drive_path(1)}), drive_path(1) + " " + k_nvme_bridge_name + "\n" + model + " FW012345\n");
}

TEST_F(scan_e2e, sata_bridge_is_scanned_with_its_security_words_read) {
    lab_ok({"create", "PhysicalDrive3", "--disk", "sata"});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"scan"}), listing(drive_path(3), k_sata_bridge_name, k_sata_disk_line));
    // Bridge check, disk status, IDENTIFY, the information block, IDENTIFY again for the
    // security words, and the bridge name.
    const std::vector<std::string> cmds = trace_lines("CMD PhysicalDrive3 ");
    ASSERT_EQ(cmds.size(), 8u);
    EXPECT_EQ(cmds[3], "CMD PhysicalDrive3 E2 00 00 00 BB 00 00 00 00 00 00 00 10 00 00 00 in 16 status=0 err=0");
    EXPECT_EQ(cmds[4], "CMD PhysicalDrive3 A1 08 0E 00 01 00 00 00 00 EC 00 00 00 00 00 00 in 512 status=0 err=0");
    EXPECT_EQ(cmds[5], "CMD PhysicalDrive3 E2 00 00 00 A8 13 00 00 00 00 00 00 48 00 00 00 in 72 status=0 err=0");
    EXPECT_EQ(cmds[6], "CMD PhysicalDrive3 A1 08 0E 00 01 00 00 00 00 EC 00 00 00 00 00 00 in 512 status=0 err=0");
    EXPECT_EQ(cmds[7], "CMD PhysicalDrive3 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0");
}

}  // namespace
