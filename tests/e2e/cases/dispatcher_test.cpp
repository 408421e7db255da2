// The dispatcher's messages, each in its place of the preparation order, on lab bridges.
#include "lab_fixture.h"

namespace {

class dispatcher_e2e : public lab_test {
protected:
    std::string query_output(int drive) {
        return drive_path(drive) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n";
    }
};

TEST_F(dispatcher_e2e, paths_that_lead_nowhere_are_invalid) {
    lab_ok({"create", "PhysicalDrive1"});
    for (const std::string& path : {drive_path(7), std::string("\\\\.\\PhysicalDrive10"), std::string("/dev/sda"),
                                    std::string("PhysicalDrive1"), volume_path('m'), volume_path('c')}) {
        EXPECT_EQ(run({"query", path}), "invalid dev path\n") << path;
    }
    // Either case of the drive name and of a volume letter reaches the device.
    EXPECT_EQ(run({"query", "\\\\.\\physicaldrive1"}),
              "\\\\.\\physicaldrive1 " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n");
}

TEST_F(dispatcher_e2e, foreign_usb_disk_is_no_bridge) {
    lab_ok({"create", "PhysicalDrive2", "--foreign"});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"query", drive_path(2)}), "Not Morvelt USB bridge\n");
    // Its INQUIRY has a generation's revision, so the chip identity is asked and refused.
    EXPECT_EQ(trace_lines("CMD "),
              (std::vector<std::string>{
                  "CMD PhysicalDrive2 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0",
                  "CMD PhysicalDrive2 E2 00 00 00 92 00 00 00 C8 00 50 B3 04 00 00 00 in 4 status=2 err=0"}));
}

TEST_F(dispatcher_e2e, failed_unlock_read_ends_the_command) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. 92 .. .. .. 00 40 00 AC", "--status", "2", "--sense",
            "05/24/00"});
    EXPECT_EQ(run({"query", drive_path(1)}), "unlock fw write fail\n");
}

TEST_F(dispatcher_e2e, failed_bridge_name_ends_the_command_silently) {
    lab_ok({"create", "PhysicalDrive1"});
    // The second INQUIRY is the bridge name's.
    lab_ok({"fault", "PhysicalDrive1", "add", "12", "--os-error", "5", "--after", "1", "--first", "1"});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"query", drive_path(1)}), "");
    EXPECT_TRUE(trace_lines("CMD PhysicalDrive1 E2 00 00 00 BB").empty());
    EXPECT_EQ(trace_lines("CLOSE "), std::vector<std::string>{"CLOSE PhysicalDrive1"});
}

TEST_F(dispatcher_e2e, failed_disk_status_is_reported_and_the_command_still_runs) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BB", "--status", "2", "--sense", "05/20/00"});
    EXPECT_EQ(run({"query", drive_path(1)}), "fail to get disk status\n" + query_output(1));
}

TEST_F(dispatcher_e2e, identify_failure_is_fatal_except_for_query) {
    lab_ok({"create", "PhysicalDrive1", "--disk", "none"});
    EXPECT_EQ(run({"query", drive_path(1)}), drive_path(1) + " " + k_nvme_bridge_name + "\n");
    EXPECT_EQ(run({"nvme_get_id", drive_path(1)}), "Get identify fail\n");
    EXPECT_EQ(run({"pcie_get_link_status", drive_path(1)}), "Get identify fail\n");
}

struct disk_kind_case {
    const char* command;
    std::vector<std::string> create;
    const char* message;
};

class disk_kind_e2e : public lab_test, public ::testing::WithParamInterface<disk_kind_case> {};

TEST_P(disk_kind_e2e, rows_refuse_the_wrong_disk) {
    const disk_kind_case& c = GetParam();
    std::vector<std::string> create = {"create", "PhysicalDrive1"};
    create.insert(create.end(), c.create.begin(), c.create.end());
    lab_ok(create);
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({c.command, drive_path(1)}), c.message);
    // Nothing is sent after the checks that refused the disk.
    const std::vector<std::string> cmds = trace_lines("CMD ");
    ASSERT_FALSE(cmds.empty());
    EXPECT_EQ(cmds.back().substr(0, 28), "CMD PhysicalDrive1 A1 08 0E ");
}

INSTANTIATE_TEST_SUITE_P(
    kinds, disk_kind_e2e,
    ::testing::Values(disk_kind_case{"nvme_get_id", {"--disk", "sata"}, "Not NVMe SSD\n"},
                      disk_kind_case{"nvme_get_smart_log", {"--disk", "sata"}, "Not NVMe SSD\n"},
                      disk_kind_case{"ata_get_smart_log", {}, "Not SATA SSD\n"},
                      disk_kind_case{"pcie_get_link_status", {"--disk", "sata"}, "Not PCIE Device\n"},
                      disk_kind_case{"pcie_get_link_cap", {"--pcie-link", "0"}, "Not PCIE Device\n"}));

TEST_F(dispatcher_e2e, messages_come_in_the_order_of_the_preparation) {
    lab_ok({"create", "PhysicalDrive1"});
    // Every step fails at first; each round takes the first failure away.
    for (const char* pattern : {"E2 .. .. .. 92 .. .. .. C8", "E2 .. .. .. 92 .. .. .. 00 40 00 AC", "A1", "E2 .. .. .. BB"}) {
        lab_ok({"fault", "PhysicalDrive1", "add", pattern, "--status", "2", "--sense", "05/24/00"});
    }
    const std::vector<std::string> expected = {
        "Not Morvelt USB bridge\n",
        "unlock fw write fail\n",
        "fail to get disk status\nGet identify fail\n",
        "fail to get disk status\nNot SATA SSD\n",
        "Not SATA SSD\n",
    };
    for (const std::string& output : expected) {
        EXPECT_EQ(run({"ata_get_smart_log", drive_path(1)}), output);
        if (output != expected.back()) lab_ok({"fault", "PhysicalDrive1", "remove", "1"});
    }
    EXPECT_EQ(run({"ata_get_smart_log", drive_path(2)}), "invalid dev path\n");
}

TEST_F(dispatcher_e2e, word_count_errors_touch_no_device) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"trace", "on"});
    struct count_case {
        std::vector<std::string> words;
        const char* message;
        const char* command;
    };
    const std::vector<count_case> cases = {
        {{"query"}, "Not enough arguments", "query"},
        {{"scan", "extra"}, "Too many arguments", "scan"},
        {{"get_api_ver", drive_path(1)}, "Too many arguments", "get_api_ver"},
        {{"query", drive_path(1), "-d2", "x"}, "Too many arguments", "query"},
        {{"nvme_get_log", drive_path(1)}, "Not enough arguments", "nvme_get_log"},
    };
    for (const count_case& c : cases) {
        const std::string entry = run({"help", c.command});
        EXPECT_EQ(run(c.words), std::string(c.message) + "\n\n" + entry) << c.words[0];
    }
    EXPECT_EQ(run({"-d2", "query", drive_path(1)}), "Invalid command\nPlease run mvbridge help to get more info\n");
    EXPECT_TRUE(trace_lines("OPEN ").empty());
    EXPECT_TRUE(trace_lines("CMD ").empty());
}

TEST_F(dispatcher_e2e, program_name_follows_run_as) {
    EXPECT_EQ(run({}), "Please run mvbridge help to get more info\n");
    EXPECT_EQ(run({"--as", "C:\\tools\\x.exe"}), "Please run x.exe help to get more info\n");
    EXPECT_EQ(run({"--as", "mvb", "nosuch"}), "Invalid command\nPlease run mvb help to get more info\n");
}

TEST_F(dispatcher_e2e, report_level_option_is_taken_after_the_required_words) {
    lab_ok({"create", "PhysicalDrive1"});
    EXPECT_EQ(run({"query", drive_path(1), "-d9"}), query_output(1));
    EXPECT_EQ(run({"query", drive_path(1), "-d-7"}), query_output(1));
}

}  // namespace
