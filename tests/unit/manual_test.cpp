// The built-in manual and `help`: the whole manual byte for byte against its golden file,
// single entries, and the manual's agreement with the command table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/manual.h"
#include "zelko/common/print_level.h"
#include "tests/unit/run_tool.h"

using namespace zelko;

namespace {

std::string manual_output(const char* program, const char* command, bool whole) {
    testing::internal::CaptureStdout();
    print_manual(program, command, whole);
    return testing::internal::GetCapturedStdout();
}

std::string entry_of(const std::string& command) { return manual_output("mvbridge", command.c_str(), false); }

std::string golden_whole_manual() {
    std::ifstream in(std::filesystem::path(MVBRIDGE_UNIT_GOLDEN_DIR) / "manual_whole.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

const std::string k_prefix = "Manual:\n\n";
const std::string k_help_entry = k_prefix + "help\n\tShow manual\n\n";
constexpr int k_first_led_row = 56;
constexpr int k_last_led_row = 87;

}  // namespace

// `help` alone prints the golden file; the program name, without its directory, stands
// wherever the manual names it: the version line and fifteen examples.
TEST(Manual, WholeManualMatchesGoldenFile) {
    const std::string golden = golden_whole_manual();
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(run_tool({"./build/mvbridge", "help"}), golden);
    EXPECT_EQ(count_of(golden, "mvbridge"), 16u);
    EXPECT_EQ(run_tool({"C:\\tools\\x.exe", "help"}), replaced(golden, "mvbridge", "x.exe"));
}

// Every row of the command table has its entry, whose usage line names the command as the
// table spells it; the 32 LED rows print the one LED block. Each entry is found once in the
// whole manual, and in the order found the entries tile it, with only the header and the
// nine headings between them.
TEST(Manual, WholeManualIsHeadingsAndTheEntriesOfTheCommandTable) {
    ASSERT_EQ(k_command_count, 95);
    const std::string whole = manual_output("mvbridge", nullptr, true);
    const std::string led_block = entry_of("led_set_mode");
    std::vector<std::pair<size_t, size_t>> found;  // where each entry starts and ends
    for (int row = 0; row < k_command_count; ++row) {
        const std::string name = command_table[row].name;
        const std::string entry = entry_of(name);
        const bool led = row >= k_first_led_row && row <= k_last_led_row;
        EXPECT_EQ(name.starts_with("led_"), led) << name;
        if (led) {
            EXPECT_EQ(entry, led_block) << name;
            if (row != k_first_led_row) continue;
        } else {
            EXPECT_TRUE(entry.starts_with(k_prefix + name + "\n") || entry.starts_with(k_prefix + name + " <")) << name;
        }
        const std::string body = entry.substr(k_prefix.size());
        EXPECT_EQ(count_of(whole, body), 1u) << name;
        found.emplace_back(whole.find(body), whole.find(body) + body.size());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> between;
    size_t end = 0;
    for (const auto& [first, last] : found) {
        ASSERT_GE(first, end);
        if (first != end) between.push_back(whole.substr(end, first - end));
        end = last;
    }
    EXPECT_EQ(end, whole.size());
    EXPECT_EQ(between, (std::vector<std::string>{
                           "mvbridge Version: 1.2.1.905\n\n" + k_prefix + "Bridge command:\n\n", "I2C command:\n\n",
                           "NVMe command:\n\n", "PCIe command:\n\n", "ATA command:\n\n", "GPIO command:\n\n",
                           "PG & firmware update command:\n\n", "LED command:\n\n", "UART command:\n\n"}));
}

TEST(Manual, HelpWithAWordPrintsItsEntry) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"mvbridge", "help", "help"}, k_help_entry},
        {{"mvbridge", "help", "pg_get_pid"}, k_prefix + "pg_get_pid <device path>\n\tGet pg usb pid\n\n"},
        {{"mvbridge", "help", "get_bridge_rw_md"},
         k_prefix + "get_bridge_rw_md <disk path>\n\tGet the read/write mode the bridge reports to the host.\n\n"},
        {{"C:\\tools\\x.exe", "help", "fw_restart"},
         k_prefix + "fw_restart <disk path> <type>\n\tset bridge firmware restart.\n\n"
                    "\tx.exe fw_restart \\\\.\\PhysicalDrive1 0\n\n"},
        {{"mvbridge", "help", "Scan"}, "wrong option: Scan\n"},
        {{"mvbridge", "help", ""}, "wrong option: \n"},
        {{"mvbridge", "help", "-d2"}, "wrong option: -d2\n"},  // help takes no report-level option
        {{"mvbridge", "help", "x", "y"}, "Too many arguments\n\n" + k_help_entry},
        {{"mvbridge", "help", "query", "-d2"}, "Too many arguments\n\n" + k_help_entry},
    };
    for (const auto& [words, output] : cases) EXPECT_EQ(run_tool(words), output) << words[2];
    set_print_level(3);
    run_tool({"mvbridge", "help", "query"});
    EXPECT_EQ(print_level, 0);
}

// Any LED command prints the LED block: what the whole manual holds between the LED and
// UART headings, without the heading.
TEST(Manual, HelpWithAnLedCommandPrintsTheLedBlock) {
    const std::string whole = manual_output("mvbridge", nullptr, true);
    const size_t begin = whole.find("LED command:\n\n") + std::string("LED command:\n\n").size();
    const size_t end = whole.find("UART command:\n\n");
    const std::string block = k_prefix + whole.substr(begin, end - begin);
    ASSERT_TRUE(block.starts_with(k_prefix + "led_set_mode  <device path> <led state> <led index> <mode>\n"));
    EXPECT_EQ(run_tool({"mvbridge", "help", "led_get_bright"}), block);
    EXPECT_EQ(run_tool({"C:\\tools\\x.exe", "help", "led_set_eff_meteor"}), block);
}
