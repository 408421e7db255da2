// The built-in manual: byte-exact output of the whole manual and of single entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/manual.h"
#include "led/led_names.h"

namespace {

std::string manual_output(const char* program, const char* command, bool whole) {
    testing::internal::CaptureStdout();
    print_manual(program, command, whole);
    return testing::internal::GetCapturedStdout();
}

std::string whole_manual(const char* program) { return manual_output(program, nullptr, true); }
std::string entry_of(const char* command, const char* program = "x.exe") {
    return manual_output(program, command, false);
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path golden_path() {
    return std::filesystem::path(__FILE__).parent_path() / "golden" / "manual_whole.txt";
}

const std::string k_manual_prefix = "Manual:\n\n";
const std::string k_device = "\\\\.\\PhysicalDrive1";  // two backslashes, a dot, a backslash

const std::vector<std::string> k_headings = {
    "Bridge command:\n\n", "I2C command:\n\n",  "NVMe command:\n\n",
    "PCIe command:\n\n",   "ATA command:\n\n",  "GPIO command:\n\n",
    "PG & firmware update command:\n\n",        "LED command:\n\n",
    "UART command:\n\n",
};

// The entries of each section, in the order the manual prints them (with
// get_bridge_rw_md and nvme_aspm_dis in their places). The LED section is one block, represented by
// one of its commands.
const std::vector<std::vector<std::string>> k_section_commands = {
    {"help", "scan", "dev_scan", "get_api_ver", "query", "fw_ver", "fw_restart", "set_disk_speed", "get_disk_speed",
     "set_bridge_rw_md", "get_bridge_rw_md", "get_usb_speed", "get_ips_threshold", "get_uuid", "get_cust_page",
     "set_cust_page", "set_disk_hotplug_dis"},
    {"i2c_init", "i2c_write", "i2c_read", "i2c_read_wf"},
    {"nvme_cmd_timeout", "nvme_get_id", "nvme_get_smart_log", "nvme_get_log", "nvme_get_temp_thres", "nvme_aspm_dis",
     "nvme_rw_test", "nvme_fw_download", "nvme_fw_activate", "nvme_format", "nvme_sanitize", "nvme_pws",
     "nvme_lowpw_dis"},
    {"pcie_read_conf", "pcie_write_conf", "pcie_read_mem", "pcie_write_mem", "pcie_get_link_status",
     "pcie_get_link_cap"},
    {"ata_get_smart_log", "ata_set_feature"},
    {"gpio_init", "gpio_set", "gpio_get"},
    {"pg_read", "pg_write", "pg_set_usb_speed", "pg_get_usb_speed", "pg_set_sn", "pg_get_sn", "pg_set_vid",
     "pg_get_vid", "pg_set_pid", "pg_get_pid", "fwupdate"},
    {"led_set_mode"},
    {"uart_init", "uart_tx", "uart_rx", "uart_rx_cnt", "uart_clear_buf", "raid_set_mode", "raid_get_mode"},
};

constexpr int k_first_led_row = 56;
constexpr int k_last_led_row = 87;

const std::string k_led_first_line = "led_set_mode  <device path> <led state> <led index> <mode>\n";
const std::string k_led_last_line =
    "\tled_set_eff_meteor 0xFFFFFF 4500             \t Set RGB meteor effect(white) with cycle 4500ms.\n\n";

}  // namespace

TEST(ManualTest, LedNameTables) {
    EXPECT_STREQ(k_led_state_names[0], "Idle");
    EXPECT_STREQ(k_led_state_names[1], "Read/Write");
    EXPECT_STREQ(k_led_state_names[2], "IPS");
    EXPECT_STREQ(k_led_state_names[3], "Sleep");
    EXPECT_STREQ(k_led_state_names[4], "No Disk");
    EXPECT_STREQ(k_led_mode_names[0], "None");
    EXPECT_STREQ(k_led_mode_names[1], "Color_Always");
    EXPECT_STREQ(k_led_mode_names[2], "Color_Cycle");
    EXPECT_STREQ(k_led_mode_names[3], "Color_Blink");
    EXPECT_STREQ(k_led_mode_names[4], "Color_Breathe");
    EXPECT_STREQ(k_led_mode_names[5], "force_shutdown");
}

TEST(ManualTest, WholeManualStartsWithVersionAndFirstHeading) {
    const std::string text = whole_manual("x.exe");
    EXPECT_EQ(text.rfind("x.exe Version: 1.2.1.905\n\nManual:\n\nBridge command:\n\nhelp\n\tShow manual\n\n", 0), 0u)
        << text.substr(0, 120);
}

TEST(ManualTest, WholeManualHasTheNineHeadingsInOrderOnce) {
    const std::string text = whole_manual("x.exe");
    size_t previous = 0;
    for (const std::string& heading : k_headings) {
        EXPECT_EQ(count_of(text, heading), 1u) << heading;
        const size_t at = text.find(heading);
        ASSERT_NE(at, std::string::npos) << heading;
        EXPECT_GT(at, previous) << heading;
        previous = at;
    }
    EXPECT_EQ(count_of(text, "Version:"), 1u);
    EXPECT_EQ(count_of(text, k_manual_prefix), 1u);
    EXPECT_EQ(count_of(text, "RAID command"), 0u);  // the RAID entries sit in the UART section
}

TEST(ManualTest, WholeManualMatchesGoldenFile) {
    const std::string golden = read_file(golden_path());
    ASSERT_FALSE(golden.empty()) << "missing " << golden_path();
    const std::string text = whole_manual("mvbridge");
    EXPECT_EQ(text.size(), golden.size());
    EXPECT_EQ(text, golden);
    if (text != golden) {
        size_t at = 0;
        while (at < text.size() && at < golden.size() && text[at] == golden[at]) ++at;
        ADD_FAILURE() << "first difference at byte " << at << ": got \"" << text.substr(at, 60) << "\", want \""
                      << golden.substr(at, 60) << "\"";
    }
}

// The whole manual is exactly the header, then each heading followed by its entries as the
// one-entry form prints them: no entry dropped, duplicated or moved, nothing printed between.
TEST(ManualTest, WholeManualIsHeadingsAndEntriesInOrder) {
    ASSERT_EQ(k_headings.size(), k_section_commands.size());
    std::string expected = "mvbridge Version: 1.2.1.905\n\n" + k_manual_prefix;
    size_t entries = 0;
    for (size_t section = 0; section < k_headings.size(); ++section) {
        expected += k_headings[section];
        for (const std::string& command : k_section_commands[section]) {
            const std::string entry = entry_of(command.c_str(), "mvbridge");
            ASSERT_EQ(entry.rfind(k_manual_prefix, 0), 0u) << command;
            expected += entry.substr(k_manual_prefix.size());
            ++entries;
        }
    }
    EXPECT_EQ(entries, 64u);  // 95 commands, the 32 LED commands sharing one block
    EXPECT_EQ(whole_manual("mvbridge"), expected);
}

TEST(ManualTest, EveryCommandOfTheTableHasAnEntry) {
    ASSERT_EQ(k_command_count, 95);
    size_t documented = 0;
    for (int row = 0; row < k_command_count; ++row) {
        const char* name = command_table[row].name;
        const std::string text = entry_of(name);
        EXPECT_EQ(text.find("wrong option"), std::string::npos) << name;
        ASSERT_EQ(text.rfind(k_manual_prefix, 0), 0u) << name;
        const std::string body = text.substr(k_manual_prefix.size());
        EXPECT_FALSE(body.empty()) << name;
        if (row >= k_first_led_row && row <= k_last_led_row) {
            EXPECT_EQ(body.rfind(k_led_first_line, 0), 0u) << name;
        } else {
            // The usage line names the command as spelled in the command table.
            const std::string usage = body.substr(0, body.find('\n'));
            EXPECT_TRUE(usage == name || usage.rfind(std::string(name) + " <", 0) == 0) << name << ": " << usage;
            // No other entry: the command's name does not start a second line.
            EXPECT_EQ(count_of("\n" + body, "\n" + std::string(name) + " "), usage == name ? 0u : 1u) << name;
        }
        ++documented;
    }
    EXPECT_EQ(documented, 95u);
}

TEST(ManualTest, EveryNonLedEntryAppearsInTheWholeManualOnce) {
    const std::string text = whole_manual("x.exe");
    for (int row = 0; row < k_command_count; ++row) {
        if (row >= k_first_led_row && row <= k_last_led_row) continue;
        const std::string body = entry_of(command_table[row].name).substr(k_manual_prefix.size());
        EXPECT_EQ(count_of(text, body), 1u) << command_table[row].name;
    }
}

TEST(ManualTest, LedCommandPrintsTheWholeLedBlockWithoutHeading) {
    const std::string text = entry_of("led_get_bright");
    ASSERT_EQ(text.rfind(k_manual_prefix + k_led_first_line, 0), 0u) << text.substr(0, 80);
    ASSERT_GE(text.size(), k_led_last_line.size());
    EXPECT_EQ(text.substr(text.size() - k_led_last_line.size()), k_led_last_line);
    EXPECT_EQ(text.find("LED command:"), std::string::npos);
    EXPECT_EQ(text.find("Version:"), std::string::npos);
    EXPECT_EQ(text.find("%"), std::string::npos);

    // The state and mode lists, with their names; mode 0 is not listed.
    EXPECT_NE(text.find("\t<led state> \tled state\n"
                        "\t            \t 0 [Idle]\n"
                        "\t            \t 1 [Read/Write]\n"
                        "\t            \t 2 [IPS]\n"
                        "\t            \t 3 [Sleep]\n"
                        "\t            \t 4 [No Disk]\n"
                        "\n"
                        "\t<led index> \tRGB led index number\n"
                        "\n"
                        "\t<mode>  \tled lighting mode\n"
                        "\t        \t 1 [Color_Always]\n"
                        "\t        \t 2 [Color_Cycle]\n"
                        "\t        \t 3 [Color_Blink]\n"
                        "\t        \t 4 [Color_Breathe]\n"
                        "\t        \t 5 [force_shutdown]\n"
                        "\n"),
              std::string::npos);
    EXPECT_EQ(text.find("None"), std::string::npos);

    // The block is exactly what the whole manual holds between the LED and UART headings.
    const std::string whole = whole_manual("x.exe");
    const size_t begin = whole.find("LED command:\n\n") + std::string("LED command:\n\n").size();
    const size_t end = whole.find("UART command:\n\n");
    EXPECT_EQ(text, k_manual_prefix + whole.substr(begin, end - begin));
}

TEST(ManualTest, LedBlockHasItsLinesInOrder) {
    const std::string text = entry_of("led_set_mode").substr(k_manual_prefix.size());
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    // 84 listed lines, the state line printed 5 times and the mode line 5 times, and the
    // "\n    e.g.\n" line and the final "\n\n" each adding one empty line.
    EXPECT_EQ(lines.size(), 84u - 2u + 5u + 5u + 1u + 1u);
    ASSERT_GE(lines.size(), 32u);
    for (int row = k_first_led_row; row <= k_last_led_row; ++row) {
        const std::string name = command_table[row].name;
        EXPECT_EQ(lines[row - k_first_led_row].rfind(name + " ", 0), 0u) << name;
    }
    EXPECT_NE(text.find("\n    e.g.\n\tled_set_mode 1 0 4                           \t Set breathe mode in RGB[0]'s "
                        "idle state.\n"),
              std::string::npos);
    EXPECT_NE(text.find("\tled_set_rgb_direct 1 \"255 255 0 0 0 255\"   \t Set RGB[0] to yellow, RGB[1] to "
                        "blue.\tsync method => 0:aura, 1:mystic\n"),
              std::string::npos);
}

TEST(ManualTest, EveryLedCommandPrintsTheSameBlock) {
    const std::string block = entry_of("led_set_mode");
    int led_rows = 0;
    for (int row = k_first_led_row; row <= k_last_led_row; ++row) {
        const char* name = command_table[row].name;
        ASSERT_EQ(std::string(name).rfind("led_", 0), 0u) << name;
        EXPECT_EQ(entry_of(name), block) << name;
        ++led_rows;
    }
    EXPECT_EQ(led_rows, 32);
    EXPECT_EQ(std::string(command_table[k_first_led_row - 1].name).rfind("led_", 0), std::string::npos);
    EXPECT_EQ(std::string(command_table[k_last_led_row + 1].name).rfind("led_", 0), std::string::npos);
}

TEST(ManualTest, LedBlockIgnoresTheProgramName) {
    EXPECT_EQ(entry_of("led_set_eff_meteor", "a.exe"), entry_of("led_set_eff_meteor", "b.exe"));
}

TEST(ManualTest, PgVidAndPidEntries) {
    EXPECT_EQ(entry_of("pg_get_vid"), "Manual:\n\npg_get_vid <device path>\n\tGet pg usb vid\n\n");
    EXPECT_EQ(entry_of("pg_set_vid"), "Manual:\n\npg_set_vid <device path> <hex vid>\n\tSet pg usb vid\n\n");
    EXPECT_EQ(entry_of("pg_get_pid"), "Manual:\n\npg_get_pid <device path>\n\tGet pg usb pid\n\n");
    EXPECT_EQ(entry_of("pg_set_pid"), "Manual:\n\npg_set_pid <device path> <hex pid>\n\tSet pg usb pid\n\n");
}

TEST(ManualTest, HelpEntry) { EXPECT_EQ(entry_of("help"), "Manual:\n\nhelp\n\tShow manual\n\n"); }

TEST(ManualTest, ReadWriteModeQueryAndAspmSwitchHaveEntries) {
    EXPECT_EQ(entry_of("get_bridge_rw_md"),
              "Manual:\n\nget_bridge_rw_md <disk path>\n\tGet the read/write mode the bridge reports to the host.\n\n");
    EXPECT_EQ(entry_of("nvme_aspm_dis"),
              "Manual:\n\nnvme_aspm_dis <device path>\n\tDisable ASPM on the PCIe link of the NVMe disk\n\n");
    const std::string whole = whole_manual("x.exe");
    EXPECT_NE(whole.find("\tExample configure bridge rw mode:\n\tx.exe set_bridge_rw_md " + k_device +
                         " 1\n\nget_bridge_rw_md <disk path>\n"),
              std::string::npos);
    EXPECT_NE(whole.find("\tGet NVMe disk temperature threshold\n\nnvme_aspm_dis <device path>\n\tDisable ASPM on "
                         "the PCIe link of the NVMe disk\n\nnvme_rw_test <device path>\n"),
              std::string::npos);
}

TEST(ManualTest, UnknownWordIsWrongOption) {
    EXPECT_EQ(entry_of("Scan"), "wrong option: Scan\n");
    EXPECT_EQ(entry_of("HELP"), "wrong option: HELP\n");
    EXPECT_EQ(entry_of("led"), "wrong option: led\n");
    EXPECT_EQ(entry_of(""), "wrong option: \n");
    EXPECT_EQ(entry_of("scan "), "wrong option: scan \n");
}

TEST(ManualTest, EntriesWithProgramCommandAndDevice) {
    EXPECT_EQ(entry_of("fw_restart"),
              "Manual:\n\nfw_restart <disk path> <type>\n\tset bridge firmware restart.\n\n\tx.exe fw_restart " +
                  k_device + " 0\n\n");
    EXPECT_EQ(entry_of("nvme_fw_activate"),
              "Manual:\n\n"
              "nvme_fw_activate <device path> <slot> <action>\n"
              "\tRun NVMe firmware activate\n\n"
              "\tNote: This command was known in NVM Express revision 1.4 as \"Firmware Commit.\"\n"
              "\tThe Firmware Commit command is used to modify the firmware image or Boot Partitions.\n"
              "\tAfter nvme_fw_activate command.\n"
              "\tIf SSD need power cycle, run \"x.exe fw_restart " +
                  k_device +
                  " 0\"\n"
                  "\n\tFor example:\n "
                  "\tx.exe nvme_fw_activate " +
                  k_device + " 0 1\n\n");
    EXPECT_EQ(entry_of("i2c_init"),
              "Manual:\n\n"
              "i2c_init <device path> <i2c id> <hex slave addr> <scl> <sda>\n"
              "\tInit I2C\n"
              "\t<scl>: The gpio number of I2C SCL\n"
              "\t<sda>: The gpio number of I2C SDA\n\n"
              "\te.g. i2c_init " +
                  k_device +
                  " 1 67 9 10\n"
                  "\t=>Initialize I2C id 1, slave addr 0x67, SCL: GPIO9, SDA: GPIO10\n\n");
    EXPECT_EQ(entry_of("gpio_set"), "Manual:\n\ngpio_set <device path> <gpio num> <value>\n\tSet <value> to <gpio num>\n"
                                    "\te.g. gpio_set " +
                                        k_device + " 9 1 => Set high to GPIO9\n\n");
    EXPECT_EQ(entry_of("fwupdate"),
              "Manual:\n\nfwupdate <device path> <bin path> <rescue bin path> <config path> <led bin path>\n"
              "\te.g. fwupdate " +
                  k_device + " QXM7730B.bin QXM7730B_rsq.bin QXM7730B_CG.cfg LED.bin\n\n");
}

TEST(ManualTest, ExampleDevicePathIsTwoBackslashesDotBackslash) {
    const std::string text = entry_of("nvme_get_id", "p");
    EXPECT_EQ(text, "Manual:\n\nnvme_get_id <device path>\n\tGet NVMe disk identify\n\n\tp nvme_get_id "
                    "\\\\.\\PhysicalDrive1\n\n");
    const std::string expected_path = {'\\', '\\', '.', '\\', 'P', 'h', 'y', 's', 'i', 'c',
                                       'a',  'l',  'D', 'r',  'i', 'v', 'e', '1'};
    EXPECT_NE(text.find(" " + expected_path + "\n"), std::string::npos);
}

TEST(ManualTest, NvmeFwDownloadKeepsCarriageReturnAndTrailingSpace) {
    EXPECT_EQ(entry_of("nvme_fw_download"),
              "Manual:\n\n"
              "nvme_fw_download <device path> <image> <xfer_size> <offset>\n"
              "\tRun NVMe firmware download\n\n"
              "\tThe Firmware Image Download command downloads a new image (in whole or in part) to the controller.\r\n"
              "\t<image>     : firmware file\n"
              "\t<xfer_size> : transfer chunksize limit, default 0x1000(4096)\n"
              "\t<offset>    : starting dword offset, default 0x0\n"
              "\n\tFor xfer size 16KB:\n "
              "\tx.exe nvme_fw_download " +
                  k_device + " <image> 0x4000 0x0\n\n");
}

TEST(ManualTest, NvmeSanitizeAndPws) {
    EXPECT_EQ(entry_of("nvme_sanitize"),
              "Manual:\n\n"
              "nvme_sanitize <device path> <no-dealloc> <oipbp> <owpass> <ause> <sanact> <ovrpat>\n"
              "\tRun NVMe sanitize command\n\n"
              "\tBlock Erase:\n "
              "\tx.exe nvme_sanitize " +
                  k_device +
                  " 0 0 0 0 0x2 0x0\n\n"
                  "\tOverwrite with 0x0:\n"
                  "\tx.exe nvme_sanitize " +
                  k_device +
                  " 0 0 0 0 0x3 0x0\n\n"
                  "\tOverwrite with 0xff:\n"
                  "\tx.exe nvme_sanitize " +
                  k_device + " 0 0 0 0 0x3 0xff\n\n");
    EXPECT_EQ(entry_of("nvme_pws"), "Manual:\n\nnvme_pws <device path> <power state>\n\tSet nvme power state\n\n"
                                    "\tPower State 0:\n\tx.exe nvme_pws " +
                                        k_device + " 0x0\n\n\tPower State 1:\n\tx.exe nvme_pws " + k_device +
                                        " 0x1\n\n");
}

TEST(ManualTest, RaidEntriesInUartSection) {
    EXPECT_EQ(entry_of("raid_set_mode"), "Manual:\n\nraid_set_mode <device path> <raid mode>\n\tSet RAID mode\n\n"
                                         "\t<mode>:\n\t        JBOD\n\t        RAID0\n\t        RAID1\n");
    const std::string whole = whole_manual("x.exe");
    // raid_set_mode's last line runs straight into raid_get_mode, which ends the manual.
    const std::string tail = "\t        RAID1\nraid_get_mode <device path>\n\tGet RAID mode\n\n";
    ASSERT_GE(whole.size(), tail.size());
    EXPECT_EQ(whole.substr(whole.size() - tail.size()), tail);
    EXPECT_LT(whole.find("UART command:\n\n"), whole.find("raid_set_mode <device path>"));
}

TEST(ManualTest, ProgramNameAppearsWhereTheEntriesUseIt) {
    const std::string text = whole_manual("C");
    EXPECT_EQ(text.rfind("C Version: 1.2.1.905\n\n", 0), 0u);
    // The program name P is used 15 times: as the first word of a tab-led example in fw_restart,
    // set_bridge_rw_md, nvme_cmd_timeout, nvme_get_id, nvme_get_smart_log, nvme_get_log,
    // nvme_fw_download, nvme_fw_activate, nvme_format, nvme_sanitize (3) and nvme_pws (2), and
    // once quoted in nvme_fw_activate's power-cycle hint.
    EXPECT_EQ(count_of(text, "\tC "), 14u);
    EXPECT_EQ(count_of(text, "run \"C fw_restart "), 1u);
    EXPECT_EQ(count_of(whole_manual("prog.exe"), "prog.exe "), 15u + 1u);  // + the version line
}
