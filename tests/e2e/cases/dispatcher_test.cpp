// The dispatcher's messages, each in its place of the preparation order, on lab bridges.
#include <tuple>

#include "lab_fixture.h"

namespace {

class dispatcher_e2e : public lab_test {};

// Either case of the drive name and of a volume letter reaches the device; nothing else does.
TEST_F(dispatcher_e2e, paths_that_lead_nowhere_are_invalid) {
    lab_ok({"create", "PhysicalDrive1"});
    for (const std::string& path : {drive_path(7), std::string("\\\\.\\PhysicalDrive10"), std::string("/dev/sda"),
                                    std::string("PhysicalDrive1"), volume_path('m'), volume_path('c')}) {
        EXPECT_EQ(run({"query", path}), "invalid dev path\n") << path;
    }
    EXPECT_EQ(run({"query", "\\\\.\\physicaldrive1"}), query_output("\\\\.\\physicaldrive1"));
}

// A foreign disk's INQUIRY has a generation's revision, so the chip identity is asked and refused.
TEST_F(dispatcher_e2e, foreign_usb_disk_is_no_bridge) {
    lab_ok({"create", "PhysicalDrive2", "--foreign"});
    lab_ok({"trace", "on"});
    EXPECT_EQ(run({"query", drive_path(2)}), "Not Morvelt USB bridge\n");
    EXPECT_EQ(trace_lines("CMD "),
              (lines{"CMD PhysicalDrive2 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0",
                     "CMD PhysicalDrive2 E2 00 00 00 92 00 00 00 C8 00 50 B3 04 00 00 00 in 4 status=2 err=0"}));
}

// A failed unlock read ends the command; a failed bridge name (the second INQUIRY) ends it
// silently before the disk status; a failed disk status is reported and the command runs.
TEST_F(dispatcher_e2e, failed_preparation_steps) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"trace", "on"});
    const std::pair<lines, std::string> cases[] = {
        {{"E2 .. .. .. 92 .. .. .. 00 40 00 AC", "--status", "2", "--sense", "05/24/00"}, "unlock fw write fail\n"},
        {{"12", "--os-error", "5", "--after", "1", "--first", "1"}, ""},
        {{"E2 .. .. .. BB", "--status", "2", "--sense", "05/20/00"},
         "fail to get disk status\n" + query_output(drive_path(1))},
    };
    for (const auto& [rule, output] : cases) {
        lab_ok({"fault", "PhysicalDrive1", "clear"});
        lines add = {"fault", "PhysicalDrive1", "add"};
        add.insert(add.end(), rule.begin(), rule.end());
        lab_ok(add);
        EXPECT_EQ(run({"query", drive_path(1)}), output) << rule[0];
    }
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E2 00 00 00 BB").size(), 1u);
    EXPECT_EQ(trace_lines("CLOSE "), lines(3, "CLOSE PhysicalDrive1"));
}

TEST_F(dispatcher_e2e, identify_failure_is_fatal_except_for_query) {
    lab_ok({"create", "PhysicalDrive1", "--disk", "none"});
    EXPECT_EQ(run({"query", drive_path(1)}), drive_path(1) + " " + k_nvme_bridge_name + "\n");
    EXPECT_EQ(run({"nvme_get_id", drive_path(1)}), "Get identify fail\n");
    EXPECT_EQ(run({"pcie_get_link_status", drive_path(1)}), "Get identify fail\n");
}

// Rows for a kind of disk refuse another, and send nothing after the disk's identity.
TEST_F(dispatcher_e2e, rows_refuse_the_wrong_disk) {
    const std::tuple<const char*, lines, const char*> cases[] = {
        {"nvme_get_id", {"--disk", "sata"}, "Not NVMe SSD\n"},
        {"nvme_get_smart_log", {"--disk", "sata"}, "Not NVMe SSD\n"},
        {"ata_get_smart_log", {}, "Not SATA SSD\n"},
        {"pcie_get_link_status", {"--disk", "sata"}, "Not PCIE Device\n"},
        {"pcie_get_link_cap", {"--pcie-link", "0"}, "Not PCIE Device\n"},
    };
    lab_ok({"init"});
    lab_ok({"trace", "on"});
    int drive = 0;
    for (const auto& [command, options, message] : cases) {
        lines create = {"create", "PhysicalDrive" + std::to_string(drive)};
        create.insert(create.end(), options.begin(), options.end());
        lab_ok(create);
        EXPECT_EQ(run({command, drive_path(drive)}), message);
        const lines cmds = trace_lines("CMD ");
        ASSERT_FALSE(cmds.empty());
        EXPECT_EQ(cmds.back().substr(0, 28), "CMD PhysicalDrive" + std::to_string(drive++) + " A1 08 0E ") << command;
    }
}

TEST_F(dispatcher_e2e, messages_come_in_the_order_of_the_preparation) {
    lab_ok({"create", "PhysicalDrive1"});
    // Every step fails at first; each round takes the first failure away.
    for (const char* pattern :
         {"E2 .. .. .. 92 .. .. .. C8", "E2 .. .. .. 92 .. .. .. 00 40 00 AC", "A1", "E2 .. .. .. BB"}) {
        lab_ok({"fault", "PhysicalDrive1", "add", pattern, "--status", "2", "--sense", "05/24/00"});
    }
    const lines expected = {
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
    const std::tuple<lines, const char*, const char*> cases[] = {
        {{"query"}, "Not enough arguments", "query"},
        {{"scan", "extra"}, "Too many arguments", "scan"},
        {{"get_api_ver", drive_path(1)}, "Too many arguments", "get_api_ver"},
        {{"query", drive_path(1), "-d2", "x"}, "Too many arguments", "query"},
        {{"nvme_get_log", drive_path(1)}, "Not enough arguments", "nvme_get_log"},
    };
    for (const auto& [words, message, command] : cases) {
        EXPECT_EQ(run(words), std::string(message) + "\n\n" + run({"help", command})) << words[0];
    }
    EXPECT_EQ(run({"-d2", "query", drive_path(1)}), "Invalid command\nPlease run mvbridge help to get more info\n");
    EXPECT_EQ(trace_lines("OPEN "), lines{});
    EXPECT_EQ(trace_lines("CMD "), lines{});
}

// The program name is what `run --as` gives; the report-level option after the required
// words is taken and changes nothing printed.
TEST_F(dispatcher_e2e, program_name_and_report_level) {
    lab_ok({"init"});
    EXPECT_EQ(run({}), "Please run mvbridge help to get more info\n");
    EXPECT_EQ(run({"--as", "C:\\tools\\x.exe"}), "Please run x.exe help to get more info\n");
    EXPECT_EQ(run({"--as", "mvb", "nosuch"}), "Invalid command\nPlease run mvb help to get more info\n");
    lab_ok({"create", "PhysicalDrive1"});
    EXPECT_EQ(run({"query", drive_path(1), "-d9"}), query_output(drive_path(1)));
    EXPECT_EQ(run({"query", drive_path(1), "-d-7"}), query_output(drive_path(1)));
}

}  // namespace
