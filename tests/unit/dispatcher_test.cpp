// The dispatcher: word counts, the report-level option and the device preparation's
// handling of a disk status that could not be read.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "cli/command_table.h"
#include "cli/dispatcher.h"
#include "zelko/common/print_level.h"
#include "tests/unit/bridge_script.h"
#include "tests/unit/fake_port.h"
#include "tests/unit/run_tool.h"

using namespace zelko;

namespace {

using namespace bridge_script;

constexpr const char* k_path = "\\\\.\\PhysicalDrive1";

TEST(LevelOption, ParsesTwoCharactersAfterThePrefix) {
    struct level_case {
        const char* word;
        int result;
        int32_t level;
    };
    const level_case cases[] = {
        {"-d", 0, 0},   {"-d0", 0, 0},   {"-d3", 0, 3},   {"-d4", 0, 4},   {"-d5", 0, 4},
        {"-d12", 0, 4}, {"-d123", 0, 4}, {"-d-1", 0, -1}, {"-d-9", 0, -1}, {"-d-7", 0, -1},
        {"-dx", 0, 0},  {"-d 2", 0, 2},  {"-D2", -1, 0},  {"d2", -1, 0},   {"-x2", -1, 0},
        {"", -1, 0},    {"-", -1, 0},    {"-d09", 0, 4},  {"-d01", 0, 1},
    };
    for (const auto& c : cases) {
        int32_t level = 99;
        EXPECT_EQ(parse_level_option(c.word, &level), c.result) << c.word;
        EXPECT_EQ(level, c.level) << c.word;
    }
    EXPECT_STREQ(program_name_of("dir/"), "");
}

class Dispatcher : public fake_port_test {
protected:
    void SetUp() override {
        fake_port_test::SetUp();
        set_print_level(0);
        fake::add_device({.path = k_path});
    }
    void TearDown() override {
        set_print_level(0);
        fake_port_test::TearDown();
    }
};

// A wrong word count prints its message and the command's entry, and never opens the device.
TEST_F(Dispatcher, WordCountsTouchNoDevice) {
    const auto entry = [](const char* program, const char* command) { return run_tool({program, "help", command}); };
    const std::string hint = "Please run mvbridge help to get more info\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"C:\\tools\\x.exe"}, "Please run x.exe help to get more info\n"},
        {{"mvbridge", "nosuch"}, "Invalid command\n" + hint},
        {{"mvbridge", "Scan"}, "Invalid command\n" + hint},
        {{"mvbridge", "-d2", "scan"}, "Invalid command\n" + hint},
        {{"C:\\tools\\x.exe", "Scan"}, "Invalid command\nPlease run x.exe help to get more info\n"},
        {{"mvbridge", "query"}, "Not enough arguments\n\n" + entry("mvbridge", "query")},
        {{"mvbridge", "scan", "extra"}, "Too many arguments\n\n" + entry("mvbridge", "scan")},
        {{"mvbridge", "scan", "-d2", "extra"}, "Too many arguments\n\n" + entry("mvbridge", "scan")},
        {{"mvbridge", "get_api_ver", k_path}, "Too many arguments\n\n" + entry("mvbridge", "get_api_ver")},
        {{"mvbridge", "query", k_path, "-d2", "x"}, "Too many arguments\n\n" + entry("mvbridge", "query")},
        {{"C:\\tools\\x.exe", "nvme_get_log", k_path}, "Not enough arguments\n\n" + entry("x.exe", "nvme_get_log")},
        {{"mvbridge", "led_get_bright"}, "Not enough arguments\n\n" + entry("mvbridge", "led_get_bright")},
    };
    for (const auto& [words, output] : cases) EXPECT_EQ(run_tool(words), output) << words.back();
    EXPECT_TRUE(fake::events().empty()) << "a wrong word count never opens the device";
    // The option counts only after every required word: here it is the device path.
    EXPECT_EQ(run_tool({"mvbridge", "query", "-d2"}), "invalid dev path\n");
}

TEST_F(Dispatcher, LevelOptionIsTakenOnlyAsTheLastExtraWord) {
    EXPECT_EQ(run_tool({"mvbridge", "scan", "-d2"}), "");
    EXPECT_EQ(print_level, 2);
    fake::script_os_error(fake::k_access_denied, 2);  // identification fails: no bridge
    EXPECT_EQ(run_tool({"mvbridge", "query", k_path, "-d9"}), "Not Morvelt USB bridge\n");
    EXPECT_EQ(print_level, 4);
    run_tool({"mvbridge", "query", k_path, "-d-7"});
    EXPECT_EQ(print_level, -1);
    run_tool({"mvbridge", "nosuch", "-d3"});
    EXPECT_EQ(print_level, 0);
}

// A disk status that could not be read is reported and compares as all zeros: an NVMe disk
// without a PCIe link (nvme_get_id runs, and its refused submit fails it).
TEST_F(Dispatcher, FailedDiskStatusComparesAsZeroed) {
    const std::tuple<std::vector<std::string>, std::string, int> cases[] = {
        {{"mvbridge", "nvme_get_id", k_path}, "nvme_get_id fail\n", 1},
        {{"mvbridge", "ata_get_smart_log", k_path}, "Not SATA SSD\n", 0},
        {{"mvbridge", "pcie_read_conf", k_path, "0", "4"}, "Not PCIE Device\n", 0},
    };
    for (const auto& [words, output, handler_blocks] : cases) {
        script_device_prep();
        fake::script({.scsi_status = 2});
        fake::script_ok(identify("Disk", "F1", "S1"));
        for (int i = 0; i < handler_blocks; ++i) fake::script({.scsi_status = 2});
        EXPECT_EQ(run_tool(words), "fail to get disk status\n" + output) << words[1];
        EXPECT_EQ(fake::unused_answers(), 0u) << words[1];
    }
}

}  // namespace

namespace {

// Every row but the manual's runs a handler of its family; a row without one would be a
// command the tool lists and cannot run.
TEST(CommandTable, EveryRowButTheManualHasAHandler) {
    for (const command_row& row : command_rows()) {
        EXPECT_EQ(row.handler == nullptr, row.cls == precheck::help) << row.name;
    }
}

}  // namespace
