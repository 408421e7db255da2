// `help` and the manual entries printed by the dispatcher. None of these
// command lines reaches a device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "cli/dispatcher.h"
#include "cli/manual.h"
#include "tests/unit/run_tool.h"
#include "common/print_level.h"

namespace {

std::string run(std::initializer_list<const char*> words) { return run_tool({words.begin(), words.end()}); }

std::string manual_output(const char* program, const char* command, bool whole) {
    testing::internal::CaptureStdout();
    print_manual(program, command, whole);
    return testing::internal::GetCapturedStdout();
}

std::string golden_whole_manual() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "golden" / "manual_whole.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string k_device = "\\\\.\\PhysicalDrive1";
const std::string k_help_entry = "Manual:\n\nhelp\n\tShow manual\n\n";
const std::string k_query_entry = "Manual:\n\nquery <disk path>\n\tGet disk information.\n\n";
const std::string k_scan_entry = "Manual:\n\nscan\n\tList all morvelt usb bridge disks.\n\n";

}  // namespace

TEST(DispatcherHelpTest, HelpAlonePrintsTheWholeManual) {
    const std::string golden = golden_whole_manual();
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(run({"./build/mvbridge", "help"}), golden);
    EXPECT_EQ(run({"mvbridge", "help"}), golden);
}

TEST(DispatcherHelpTest, ProgramNameIsArgv0WithoutItsDirectory) {
    const std::string text = run({"C:\\tools\\x.exe", "help"});
    EXPECT_EQ(text.rfind("x.exe Version: 1.2.1.905\n\nManual:\n\nBridge command:\n\nhelp\n\tShow manual\n\n", 0), 0u)
        << text.substr(0, 80);
    EXPECT_EQ(text, manual_output("x.exe", nullptr, true));
    EXPECT_NE(text.find("\tx.exe fw_restart " + k_device + " 0\n\n"), std::string::npos);
    EXPECT_EQ(text.find("tools"), std::string::npos);

    EXPECT_EQ(run({"./build/mvbridge", "help", "fw_restart"}),
              "Manual:\n\nfw_restart <disk path> <type>\n\tset bridge firmware restart.\n\n\tmvbridge fw_restart " +
                  k_device + " 0\n\n");
    EXPECT_EQ(run({"C:\\tools\\x.exe", "help", "nvme_get_id"}),
              "Manual:\n\nnvme_get_id <device path>\n\tGet NVMe disk identify\n\n\tx.exe nvme_get_id " + k_device +
                  "\n\n");
}

TEST(DispatcherHelpTest, HelpWithACommandPrintsItsEntry) {
    EXPECT_EQ(run({"mvbridge", "help", "query"}), k_query_entry);
    EXPECT_EQ(run({"mvbridge", "help", "help"}), k_help_entry);
    EXPECT_EQ(run({"mvbridge", "help", "pg_get_pid"}), "Manual:\n\npg_get_pid <device path>\n\tGet pg usb pid\n\n");
    EXPECT_EQ(run({"mvbridge", "help", "get_bridge_rw_md"}),
              "Manual:\n\nget_bridge_rw_md <disk path>\n\tGet the read/write mode the bridge reports to the host.\n\n");
}

TEST(DispatcherHelpTest, HelpWithAnLedCommandPrintsTheLedBlock) {
    const std::string text = run({"mvbridge", "help", "led_get_bright"});
    EXPECT_EQ(text, manual_output("mvbridge", "led_get_bright", false));
    EXPECT_EQ(text.rfind("Manual:\n\nled_set_mode  <device path> <led state> <led index> <mode>\n", 0), 0u);
    EXPECT_EQ(text.find("LED command:"), std::string::npos);
    EXPECT_EQ(run({"mvbridge", "help", "led_set_eff_meteor"}), text);
}

TEST(DispatcherHelpTest, HelpWithAnUnknownWord) {
    EXPECT_EQ(run({"mvbridge", "help", "Scan"}), "wrong option: Scan\n");
    // No report-level option is parsed for help: "-d2" is the word to look up.
    EXPECT_EQ(run({"mvbridge", "help", "-d2"}), "wrong option: -d2\n");
}

TEST(DispatcherHelpTest, HelpWithTooManyWords) {
    EXPECT_EQ(run({"mvbridge", "help", "x", "y"}), "Too many arguments\n\n" + k_help_entry);
    EXPECT_EQ(run({"mvbridge", "help", "query", "-d2"}), "Too many arguments\n\n" + k_help_entry);
}

TEST(DispatcherHelpTest, WrongWordCountPrintsTheCommandsEntry) {
    EXPECT_EQ(run({"mvbridge", "scan", "extra"}), "Too many arguments\n\n" + k_scan_entry);
    EXPECT_EQ(run({"mvbridge", "scan", "-d2", "extra"}), "Too many arguments\n\n" + k_scan_entry);
    EXPECT_EQ(run({"mvbridge", "query"}), "Not enough arguments\n\n" + k_query_entry);
    EXPECT_EQ(run({"mvbridge", "get_api_ver", "\\\\.\\PhysicalDrive1"}),
              "Too many arguments\n\nManual:\n\nget_api_ver\n\tGet ZELKO API version\n\n");
    EXPECT_EQ(run({"C:\\tools\\x.exe", "nvme_get_log", "\\\\.\\PhysicalDrive1"}),
              "Not enough arguments\n\nManual:\n\nnvme_get_log <device path> <log id>\n\tGet NVMe disk log\n\n"
              "\tGet Smart/Health Information Log:\n\tx.exe nvme_get_log " +
                  k_device + " 0x2\n\n");
    EXPECT_EQ(run({"mvbridge", "led_get_bright"}),
              "Not enough arguments\n\n" + manual_output("mvbridge", "led_get_bright", false));
}

TEST(DispatcherHelpTest, InvalidCommandPointsToHelp) {
    EXPECT_EQ(run({"C:\\tools\\x.exe", "Scan"}), "Invalid command\nPlease run x.exe help to get more info\n");
    EXPECT_EQ(run({"./build/mvbridge"}), "Please run mvbridge help to get more info\n");
}

TEST(DispatcherHelpTest, HelpLeavesTheReportLevelAtZero) {
    set_print_level(3);
    run({"mvbridge", "help", "query"});
    EXPECT_EQ(print_level, 0);
    set_print_level(0);
}
