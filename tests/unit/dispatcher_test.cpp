// The dispatcher: word counts, the report-level option and the device preparation,
// with the messages in their order and the blocks each step sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/dispatcher.h"
#include "common/print_level.h"
#include "tests/unit/bridge_script.h"
#include "tests/unit/fake_port.h"
#include "tests/unit/run_tool.h"

namespace {

using namespace bridge_script;

constexpr const char* k_path = "\\\\.\\PhysicalDrive1";

std::string run(std::vector<std::string> words) { return run_tool(std::move(words)); }

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

TEST(LevelOption, ParsesTwoCharactersAfterThePrefix) {
    struct level_case {
        const char* word;
        int result;
        int32_t level;
    };
    const level_case cases[] = {
        {"-d", 0, 0},    {"-d0", 0, 0},   {"-d3", 0, 3},    {"-d4", 0, 4},   {"-d5", 0, 4},
        {"-d12", 0, 4},  {"-d123", 0, 4}, {"-d-1", 0, -1},  {"-d-9", 0, -1}, {"-d-7", 0, -1},
        {"-dx", 0, 0},   {"-d 2", 0, 2},  {"-D2", -1, 0},   {"d2", -1, 0},   {"-x2", -1, 0},
        {"", -1, 0},     {"-", -1, 0},    {"-d09", 0, 4},   {"-d01", 0, 1},
    };
    for (const auto& c : cases) {
        int32_t level = 99;
        EXPECT_EQ(parse_level_option(c.word, &level), c.result) << c.word;
        EXPECT_EQ(level, c.level) << c.word;
    }
}

TEST(ProgramName, TakesWhatFollowsTheLastSeparator) {
    EXPECT_STREQ(program_name_of("C:\\tools\\x.exe"), "x.exe");
    EXPECT_STREQ(program_name_of("./build/mvbridge"), "mvbridge");
    EXPECT_STREQ(program_name_of("mvbridge"), "mvbridge");
    EXPECT_STREQ(program_name_of("dir/"), "");
}

class Dispatcher : public fake_port_test {
protected:
    void SetUp() override {
        fake_port_test::SetUp();
        set_print_level(0);
    }
    void TearDown() override {
        set_print_level(0);
        fake_port_test::TearDown();
    }
};

TEST_F(Dispatcher, WordCountsTouchNoDevice) {
    fake::add_device({.path = k_path});
    EXPECT_EQ(run({"C:\\tools\\x.exe"}), "Please run x.exe help to get more info\n");
    EXPECT_EQ(run({"mvbridge", "nosuch"}), "Invalid command\nPlease run mvbridge help to get more info\n");
    EXPECT_EQ(run({"mvbridge", "Scan"}), "Invalid command\nPlease run mvbridge help to get more info\n");
    EXPECT_EQ(run({"mvbridge", "-d2", "scan"}), "Invalid command\nPlease run mvbridge help to get more info\n");
    EXPECT_TRUE(starts_with(run({"mvbridge", "query"}), "Not enough arguments\n\nManual:\n\n"));
    EXPECT_TRUE(starts_with(run({"mvbridge", "scan", "extra"}), "Too many arguments\n\nManual:\n\n"));
    EXPECT_TRUE(starts_with(run({"mvbridge", "get_api_ver", k_path}), "Too many arguments\n\n"));
    EXPECT_TRUE(starts_with(run({"mvbridge", "query", k_path, "-d2", "x"}), "Too many arguments\n\n"));
    EXPECT_TRUE(starts_with(run({"mvbridge", "help", "x", "y"}), "Too many arguments\n\nManual:\n\n"));
    EXPECT_TRUE(fake::events().empty()) << "a wrong word count never opens the device";
    // The option counts only after every required word: here it is the device path.
    EXPECT_EQ(run({"mvbridge", "query", "-d2"}), "invalid dev path\n");
}

TEST_F(Dispatcher, LevelOptionIsTakenOnlyAsTheLastExtraWord) {
    EXPECT_EQ(run({"mvbridge", "scan", "-d2"}), "");
    EXPECT_EQ(print_level, 2);
    fake::add_device({.path = k_path});
    fake::script_os_error(fake::k_access_denied);     // identification fails: no bridge
    EXPECT_EQ(run({"mvbridge", "query", k_path, "-d9"}), "Not Morvelt USB bridge\n");
    EXPECT_EQ(print_level, 4);
    fake::script_os_error(fake::k_access_denied);
    run({"mvbridge", "query", k_path, "-d-7"});
    EXPECT_EQ(print_level, -1);
    run({"mvbridge", "nosuch", "-d3"});
    EXPECT_EQ(print_level, 0);
}

TEST_F(Dispatcher, InvalidDevPath) {
    EXPECT_EQ(run({"mvbridge", "query", "\\\\.\\PhysicalDrive7"}), "invalid dev path\n");
}

TEST_F(Dispatcher, QueryPrintsBridgeAndDisk) {
    fake::add_device({.path = k_path});
    script_device_prep();
    fake::script_ok(status_data(0, 1, 1));
    fake::script_ok(identify("Model X", "FW9", "SN"));
    const std::string model = "Model X" + std::string(33, ' ');
    EXPECT_EQ(run({"mvbridge", "query", k_path}),
              std::string(k_path) + " Morvelt USB3 NVMe Bridge\n" + model + " FW9     \n");
    // INQUIRY, two register reads, the unlock read, INQUIRY, disk status, IDENTIFY: nothing more.
    const auto& sent = fake::requests();
    ASSERT_EQ(sent.size(), 7u);
    const char* opcodes[] = {"12", "E2", "E2", "E2", "12", "E2", "A1"};
    for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(fake::hex(sent[i].cdb).substr(0, 2), opcodes[i]) << i;
    EXPECT_EQ(fake::hex(sent[3].cdb), "E2 00 00 00 92 00 00 00 00 40 00 AC 60 00 00 00");
    EXPECT_EQ(fake::events().back(), std::string("CLOSE ") + k_path);
}

struct prep_case {
    const char* name;
    const char* command;
    std::vector<fake::answer> answers;   // after a successful identification
    std::string output;
};

std::vector<fake::answer> ok_unlock_and_name() { return {{.data = std::vector<uint8_t>(96, 0)}, {.data = inquiry()}}; }

std::vector<fake::answer> plus(std::vector<fake::answer> a, const std::vector<fake::answer>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(Dispatcher, PreparationMessagesInOrder) {
    const fake::answer fail{.scsi_status = 2};
    const fake::answer nvme{.data = status_data(0, 1, 1)};
    const fake::answer sata{.data = status_data(1, 1, 0)};
    const fake::answer nvme_no_link{.data = status_data(0, 1, 0)};
    const fake::answer ident{.data = identify("Disk", "F1", "S1")};
    const std::string path_line = std::string(k_path) + " Morvelt USB3 NVMe Bridge\n";
    const std::string disk_line = "Disk" + std::string(36, ' ') + " F1      \n";
    const prep_case cases[] = {
        {"unlock fails", "query", {fail}, "unlock fw write fail\n"},
        {"bridge name fails", "query", {{.data = std::vector<uint8_t>(96, 0)}, fail}, ""},
        {"disk status fails, command still runs", "query", plus(ok_unlock_and_name(), {fail, ident}),
         "fail to get disk status\n" + path_line + disk_line},
        {"query tolerates a failed identify", "query", plus(ok_unlock_and_name(), {nvme, fail}), path_line},
        {"identify fails elsewhere", "nvme_get_id", plus(ok_unlock_and_name(), {nvme, fail}), "Get identify fail\n"},
        {"not nvme", "nvme_get_id", plus(ok_unlock_and_name(), {sata, ident}), "Not NVMe SSD\n"},
        {"not sata", "ata_get_smart_log", plus(ok_unlock_and_name(), {nvme, ident}), "Not SATA SSD\n"},
        {"not pcie", "pcie_get_link_status", plus(ok_unlock_and_name(), {nvme_no_link, ident}), "Not PCIE Device\n"},
        {"failed status compares as zeroed: nvme passes", "nvme_get_id", plus(ok_unlock_and_name(), {fail, ident}),
         "fail to get disk status\nnvme_get_id is not available in this build\n"},
        {"failed status compares as zeroed: sata refused", "ata_get_smart_log",
         plus(ok_unlock_and_name(), {fail, ident}), "fail to get disk status\nNot SATA SSD\n"},
        {"failed status compares as zeroed: pcie refused", "pcie_read_conf",
         plus(ok_unlock_and_name(), {fail, ident}), "fail to get disk status\nNot PCIE Device\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::add_device({.path = k_path});
        script_identify();
        for (const auto& a : c.answers) fake::script(a);
        std::vector<std::string> words = {"mvbridge", c.command, k_path};
        if (std::string(c.command) == "pcie_read_conf") {
            words.push_back("0");
            words.push_back("4");
        }
        EXPECT_EQ(run(words), c.output);
        EXPECT_EQ(fake::unused_answers(), 0u);
        EXPECT_EQ(fake::unexpected_requests(), 0u);
        EXPECT_EQ(fake::open_handles(), 0);
    }
    fake::reset();
}

TEST_F(Dispatcher, NotABridge) {
    fake::add_device({.path = k_path});
    fake::script_ok(inquiry("9.99"));
    EXPECT_EQ(run({"mvbridge", "query", k_path}), "Not Morvelt USB bridge\n");
    EXPECT_EQ(fake::events().back(), std::string("CLOSE ") + k_path);
}

}  // namespace
