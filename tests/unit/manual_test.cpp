// The built-in manual and `help`: the whole manual byte for byte against its golden file,
// single entries, and the manual's agreement with the command table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/manual.h"
#include "common/print_level.h"
#include "tests/unit/run_tool.h"

namespace {

std::string manual_output(const char* program, const char* command, bool whole) {
    testing::internal::CaptureStdout();
    print_manual(program, command, whole);
    return testing::internal::GetCapturedStdout();
}

std::string entry_of(const std::string& command) { return manual_output("mvbridge", command.c_str(), false); }

std::string golden_whole_manual() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "golden" / "manual_whole.txt", std::ios::binary);
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

// The sections in the order the manual prints them; the LED section is one block,
// represented by one of its commands.
const std::vector<std::pair<std::string, std::vector<std::string>>> k_sections = {
    {"Bridge command:\n\n",
     {"help", "scan", "dev_scan", "get_api_ver", "query", "fw_ver", "fw_restart", "set_disk_speed", "get_disk_speed",
      "set_bridge_rw_md", "get_bridge_rw_md", "get_usb_speed", "get_ips_threshold", "get_uuid", "get_cust_page",
      "set_cust_page", "set_disk_hotplug_dis"}},
    {"I2C command:\n\n", {"i2c_init", "i2c_write", "i2c_read", "i2c_read_wf"}},
    {"NVMe command:\n\n",
     {"nvme_cmd_timeout", "nvme_get_id", "nvme_get_smart_log", "nvme_get_log", "nvme_get_temp_thres", "nvme_aspm_dis",
      "nvme_rw_test", "nvme_fw_download", "nvme_fw_activate", "nvme_format", "nvme_sanitize", "nvme_pws",
      "nvme_lowpw_dis"}},
    {"PCIe command:\n\n",
     {"pcie_read_conf", "pcie_write_conf", "pcie_read_mem", "pcie_write_mem", "pcie_get_link_status",
      "pcie_get_link_cap"}},
    {"ATA command:\n\n", {"ata_get_smart_log", "ata_set_feature"}},
    {"GPIO command:\n\n", {"gpio_init", "gpio_set", "gpio_get"}},
    {"PG & firmware update command:\n\n",
     {"pg_read", "pg_write", "pg_set_usb_speed", "pg_get_usb_speed", "pg_set_sn", "pg_get_sn", "pg_set_vid",
      "pg_get_vid", "pg_set_pid", "pg_get_pid", "fwupdate"}},
    {"LED command:\n\n", {"led_set_mode"}},
    {"UART command:\n\n",
     {"uart_init", "uart_tx", "uart_rx", "uart_rx_cnt", "uart_clear_buf", "raid_set_mode", "raid_get_mode"}},
};

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

// The whole manual is the header, then each heading followed by its entries exactly as the
// one-entry form prints them: no entry dropped, duplicated or moved, nothing between.
TEST(Manual, WholeManualIsHeadingsAndEntriesInOrder) {
    std::string expected = "mvbridge Version: 1.2.1.905\n\n" + k_prefix;
    size_t entries = 0;
    for (const auto& [heading, commands] : k_sections) {
        expected += heading;
        for (const std::string& command : commands) {
            const std::string entry = entry_of(command);
            ASSERT_TRUE(entry.starts_with(k_prefix)) << command;
            expected += entry.substr(k_prefix.size());
            ++entries;
        }
    }
    EXPECT_EQ(entries, 64u);  // 95 commands, the 32 LED commands sharing one block
    EXPECT_EQ(manual_output("mvbridge", nullptr, true), expected);
}

// Every row of the command table has its entry, whose usage line names the command as the
// table spells it; the 32 LED rows print the one LED block.
TEST(Manual, EveryCommandOfTheTableHasItsEntry) {
    ASSERT_EQ(k_command_count, 95);
    const std::string led_block = entry_of("led_set_mode");
    for (int row = 0; row < k_command_count; ++row) {
        const std::string name = command_table[row].name;
        const std::string entry = entry_of(name);
        const bool led = row >= k_first_led_row && row <= k_last_led_row;
        EXPECT_EQ(name.starts_with("led_"), led) << name;
        if (led) {
            EXPECT_EQ(entry, led_block) << name;
        } else {
            EXPECT_TRUE(entry.starts_with(k_prefix + name + "\n") || entry.starts_with(k_prefix + name + " <")) << name;
        }
    }
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
