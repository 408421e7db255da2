// scan, dev_scan and query on labs of several shapes.
#include "lab_fixture.h"

namespace {

class scan_e2e : public lab_test {};

std::string listing(const std::string& path, const std::string& bridge, const std::string& disk) {
    return path + "\nbridge: " + bridge + "\ndisk info: " + disk + "\n";
}

std::string nvme_listing(int drive) { return listing(drive_path(drive), k_nvme_bridge_name, k_nvme_disk_line); }

// Bridges that are not on USB and other vendors' USB disks are no USB bridges either.
TEST_F(scan_e2e, machine_without_usb_storage_lists_nothing) {
    lab_ok({"init"});
    EXPECT_EQ(run({"scan"}), "");
    EXPECT_EQ(run({"dev_scan"}), "");
    lab_ok({"create", "PhysicalDrive0", "--bus", "other"});
    lab_ok({"create", "PhysicalDrive1", "--foreign"});
    lab_ok({"create", "d", "--foreign"});
    EXPECT_EQ(run({"scan"}), "");
    EXPECT_EQ(run({"dev_scan"}), "");
}

// scan lists disks in states 1 and 3; dev_scan lists every bridge, without a disk too.
TEST_F(scan_e2e, disk_states_one_and_three_are_scanned_others_only_listed_by_dev_scan) {
    for (const char* state : {"0", "1", "2", "3"}) {
        lab_ok({"create", std::string("PhysicalDrive") + state, "--disk-state", state});
    }
    lab_ok({"create", "PhysicalDrive4", "--disk", "none"});
    const auto no_disk = [](int drive) { return listing(drive_path(drive), k_nvme_bridge_name, "no disk"); };
    EXPECT_EQ(run({"scan"}), nvme_listing(1) + "\n" + nvme_listing(3));
    EXPECT_EQ(run({"dev_scan"}),
              no_disk(0) + "\n" + nvme_listing(1) + "\n" + no_disk(2) + "\n" + nvme_listing(3) + "\n" + no_disk(4));
}

// Every candidate is opened for its bus type, then the USB ones again to talk to them; a
// bridge reached through a volume that is not its CD-ROM is not listed.
TEST_F(scan_e2e, cdrom_volume_is_listed_and_foreign_or_plain_volumes_are_not) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "c", "--cdrom-of", "PhysicalDrive1"});
    lab_ok({"create", "d", "--foreign"});
    lab_ok({"create", "e"});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"scan"}),
              nvme_listing(1) + "\n" + listing(volume_path('c'), "Morvelt USB CD-ROM      ", k_nvme_disk_line));
    const lines opened = trace_lines("OPEN ");
    ASSERT_EQ(opened.size(), 20u + 4u);
    EXPECT_EQ(opened[0], "OPEN " + drive_path(0) + " fail");
    EXPECT_EQ(opened[1], "OPEN " + drive_path(1) + " ok");
    EXPECT_EQ(opened[10], "OPEN " + volume_path('c') + " ok");
    EXPECT_EQ(trace_lines("QUERY "),
              (lines{"QUERY PhysicalDrive1 bus=usb", "QUERY c bus=usb", "QUERY d bus=usb", "QUERY e bus=usb"}));
    EXPECT_EQ(trace_lines("CLOSE ").size(), 24u - 16u);
}

// A change made through the volume is seen through the drive: one bridge, two paths.
TEST_F(scan_e2e, one_bridge_through_drive_and_volume_is_one_device) {
    lab_ok({"create", "PhysicalDrive2", "--model", "Shared Disk"});
    lab_ok({"create", "f", "--cdrom-of", "PhysicalDrive2"});
    lab_ok({"set", "f", "model", "Changed Through Volume"});
    const std::string disk = padded("Changed Through Volume", 40) + " 3B2QLAB1";
    EXPECT_EQ(run({"query", drive_path(2)}), drive_path(2) + " " + k_nvme_bridge_name + "\n" + disk + "\n");
    EXPECT_EQ(run({"query", volume_path('F')}), volume_path('F') + " Morvelt USB CD-ROM      \n" + disk + "\n");
    EXPECT_EQ(run({"scan"}), listing(drive_path(2), k_nvme_bridge_name, disk) + "\n" +
                                 listing(volume_path('f'), "Morvelt USB CD-ROM      ", disk));
}

// The revision selects the register block the chip identity and version are read from;
// both must lie in the generation's ranges.
TEST_F(scan_e2e, bridge_check_follows_revision_chip_identity_and_version) {
    struct identity_case {
        const char* revision;
        const char* chip_id;
        const char* chip_version;
        const char* base;  // the register block read, or null when the device is no bridge
    };
    const identity_case cases[] = {
        {"1.00", "0xA0010001", "0x00110002", "50 B3"}, {"2.02", "0xA0030001", "0x00120003", "70 B3"},
        {"1.00", "0xA0010000", "0x00110002", nullptr}, {"1.01", "0xA0020001", "0x002F0000", "70 B3"},
        {"1.01", "0xA0020001", "0x00300000", nullptr}, {"3.00", "0xA0020001", "0x00120003", nullptr},
    };
    lab_ok({"init"});
    lab_ok({"trace", "on"});
    std::string scanned;
    for (int drive = 0; drive < static_cast<int>(std::size(cases)); ++drive) {
        const identity_case& c = cases[drive];
        SCOPED_TRACE(std::string(c.revision) + " " + c.chip_id + " " + c.chip_version);
        lab_ok({"create", "PhysicalDrive" + std::to_string(drive), "--revision", c.revision, "--chip-id", c.chip_id,
                "--chip-version", c.chip_version});
        clear_trace();
        if (c.base == nullptr) {
            EXPECT_EQ(run({"query", drive_path(drive)}), "Not Morvelt USB bridge\n");
            continue;
        }
        EXPECT_EQ(run({"query", drive_path(drive)}),
                  drive_path(drive) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n");
        const lines cmds = trace_lines("CMD ");
        ASSERT_GE(cmds.size(), 3u);
        const std::string cmd = "CMD PhysicalDrive" + std::to_string(drive) + " E2 00 00 00 92 00 00 00 ";
        EXPECT_EQ(cmds[1], cmd + "C8 00 " + c.base + " 04 00 00 00 in 4 status=0 err=0");
        EXPECT_EQ(cmds[2], cmd + "C4 00 " + c.base + " 04 00 00 00 in 4 status=0 err=0");
        if (!scanned.empty()) scanned += '\n';
        scanned += nvme_listing(drive);
    }
    EXPECT_EQ(run({"scan"}), scanned);
}

TEST_F(scan_e2e, forty_character_model_and_twenty_character_serial_print_in_full) {
    const std::string model = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    lab_ok(
        {"create", "PhysicalDrive1", "--model", model, "--serial", "S1234567890123456789", "--firmware", "FW012345"});
    EXPECT_EQ(run({"scan"}), listing(drive_path(1), k_nvme_bridge_name, model + " FW012345"));
    EXPECT_EQ(run({"query", drive_path(1)}), drive_path(1) + " " + k_nvme_bridge_name + "\n" + model + " FW012345\n");
}

// Bridge check, disk status, IDENTIFY, the information block, IDENTIFY again for the
// security words, and the bridge name.
TEST_F(scan_e2e, sata_bridge_is_scanned_with_its_security_words_read) {
    lab_ok({"create", "PhysicalDrive3", "--disk", "sata"});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"scan"}), listing(drive_path(3), k_sata_bridge_name, k_sata_disk_line));
    const lines cmds = trace_lines("CMD PhysicalDrive3 ");
    ASSERT_EQ(cmds.size(), 8u);
    const std::string identify =
        "CMD PhysicalDrive3 A1 08 0E 00 01 00 00 00 00 EC 00 00 00 00 00 00 in 512 status=0 err=0";
    EXPECT_EQ(
        lines(cmds.begin() + 3, cmds.end()),
        (lines{"CMD PhysicalDrive3 E2 00 00 00 BB 00 00 00 00 00 00 00 10 00 00 00 in 16 status=0 err=0", identify,
               "CMD PhysicalDrive3 E2 00 00 00 A8 13 00 00 00 00 00 00 48 00 00 00 in 72 status=0 err=0", identify,
               "CMD PhysicalDrive3 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0"}));
}

}  // namespace
