// The bridge information and control commands on emulated bridges: what they print, what
// they send, and what they say when the bridge refuses or fails.
#include <chrono>
#include <thread>

#include "lab_fixture.h"

namespace {

class bridge_info_e2e : public lab_test {
protected:
    void SetUp() override {
        lab_test::SetUp();
        lab_ok({"create", "PhysicalDrive1"});
        lab_ok({"trace", "on"});
    }
    // The tool on \\.\PhysicalDrive1 with `args` after the path.
    std::string run1(const std::string& command, const std::vector<std::string>& args = {}) {
        std::vector<std::string> words = {command, drive_path(1)};
        words.insert(words.end(), args.begin(), args.end());
        return run(words);
    }
    // Traced CMD lines of PhysicalDrive1 whose command block starts with `cdb_prefix`.
    std::vector<std::string> cmds(const std::string& cdb_prefix) {
        return trace_lines("CMD PhysicalDrive1 " + cdb_prefix);
    }
    // The last `count` CMD lines of the trace.
    std::vector<std::string> last_cmds(size_t count) {
        const std::vector<std::string> all = trace_lines("CMD ");
        return std::vector<std::string>(all.end() - static_cast<std::ptrdiff_t>(std::min(count, all.size())), all.end());
    }
    std::string repeated(const std::string& text, size_t times) {
        std::string out;
        for (size_t i = 0; i < times; ++i) out += text;
        return out;
    }
};

const std::string k_uuid_cdb = "E2 00 00 00 C3 00 00 00 00 00 00 00 04 00 00 00";

// ---- API version and UUID ----

TEST_F(bridge_info_e2e, api_version_touches_no_device) {
    EXPECT_EQ(run({"get_api_ver"}), "1.2.3.905\n");
    EXPECT_EQ(trace_lines(), std::vector<std::string>{});
}

TEST_F(bridge_info_e2e, uuid_comes_from_the_uuid_command_first) {
    lab_ok({"set", "PhysicalDrive1", "uuid", "0x1234ABCD"});
    EXPECT_EQ(run1("get_uuid"), "UUID: 1234abcd\n");
    EXPECT_EQ(last_cmds(1), std::vector<std::string>{"CMD PhysicalDrive1 " + k_uuid_cdb + " in 4 status=0 err=0"});
    EXPECT_EQ(cmds("E2 00 00 00 96"), std::vector<std::string>{});
}

TEST_F(bridge_info_e2e, all_ones_uuid_prints_as_such) {
    lab_ok({"set", "PhysicalDrive1", "uuid", "0xFFFFFFFF"});
    EXPECT_EQ(run1("get_uuid"), "UUID: ffffffff\n");
    lab_ok({"set", "PhysicalDrive1", "uuid", "0x0000002A"});
    EXPECT_EQ(run1("get_uuid"), "UUID: 0000002a\n");
}

struct uuid_fallback_case {
    int generation;
    const char* registers;   // bytes 8 to 11 of the identity register reads: "C8 00 50 B3" ...
    const char* offset;      // bytes 8 to 11 of the fallback block
};

class uuid_fallback_e2e : public bridge_info_e2e, public ::testing::WithParamInterface<uuid_fallback_case> {};

// A bridge whose firmware lacks the UUID command is identified again and read at the
// generation's offset.
TEST_P(uuid_fallback_e2e, reads_the_generation_offset) {
    const uuid_fallback_case& c = GetParam();
    lab_ok({"create", "PhysicalDrive2", "--gen", std::to_string(c.generation), "--uuid-cmd", "0", "--uuid",
            "0x0BADCAFE"});
    EXPECT_EQ(run({"get_uuid", drive_path(2)}), "UUID: 0badcafe\n");
    const std::string base = std::string(c.registers);
    const std::vector<std::string> expected = {
        "CMD PhysicalDrive2 " + k_uuid_cdb + " in 4 status=2 err=0",
        "CMD PhysicalDrive2 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0",
        "CMD PhysicalDrive2 E2 00 00 00 92 00 00 00 C8 00 " + base + " 04 00 00 00 in 4 status=0 err=0",
        "CMD PhysicalDrive2 E2 00 00 00 92 00 00 00 C4 00 " + base + " 04 00 00 00 in 4 status=0 err=0",
        "CMD PhysicalDrive2 E2 00 00 00 96 00 00 00 " + std::string(c.offset) + " 04 00 00 00 in 4 status=0 err=0",
    };
    EXPECT_EQ(last_cmds(5), expected);
}

INSTANTIATE_TEST_SUITE_P(generations, uuid_fallback_e2e,
                         ::testing::Values(uuid_fallback_case{0, "50 B3", "FC 00 00 00"},
                                           uuid_fallback_case{1, "70 B3", "FC 07 00 00"}));

TEST_F(bridge_info_e2e, failing_fallback_read_is_a_uuid_failure) {
    lab_ok({"set", "PhysicalDrive1", "uuid_cmd", "0"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. 96", "--status", "2", "--sense", "05/24/00"});
    EXPECT_EQ(run1("get_uuid"), "get uuid fail\n");
    EXPECT_EQ(cmds("E2 00 00 00 96").size(), 1u);
}

TEST_F(bridge_info_e2e, failing_identification_sends_no_fallback) {
    lab_ok({"set", "PhysicalDrive1", "uuid_cmd", "0"});
    // The dispatcher's two INQUIRYs go through; the third, get_uuid's own, fails.
    lab_ok({"fault", "PhysicalDrive1", "add", "12", "--status", "2", "--after", "2"});
    EXPECT_EQ(run1("get_uuid"), "get uuid fail\n");
    EXPECT_EQ(cmds("E2 00 00 00 96"), std::vector<std::string>{});
}

// ---- Firmware version ----

struct fw_version_case {
    const char* major;
    const char* minor;
    const char* patch;
    const char* build_date;
    const char* printed;
};

class fw_version_e2e : public bridge_info_e2e, public ::testing::WithParamInterface<fw_version_case> {};

TEST_P(fw_version_e2e, prints_words_0_1_2_and_4) {
    const fw_version_case& c = GetParam();
    lab_ok({"set", "PhysicalDrive1", "fw_major", c.major});
    lab_ok({"set", "PhysicalDrive1", "fw_minor", c.minor});
    lab_ok({"set", "PhysicalDrive1", "fw_patch", c.patch});
    lab_ok({"set", "PhysicalDrive1", "fw_reserved", "0x5A5A5A5A"});
    lab_ok({"set", "PhysicalDrive1", "fw_build_date", c.build_date});
    EXPECT_EQ(run1("fw_ver"), c.printed);
    EXPECT_EQ(last_cmds(1), std::vector<std::string>{"CMD PhysicalDrive1 E2 00 00 00 A5 00 00 00 00 00 00 00 14 00 "
                                                      "00 00 in 20 status=0 err=0"});
}

INSTANTIATE_TEST_SUITE_P(
    words, fw_version_e2e,
    ::testing::Values(fw_version_case{"2", "10", "3", "20250102", "FW VERSION: 2.10.3 build date: 20250102\r\n"},
                      fw_version_case{"0", "0", "0", "0", "FW VERSION: 0.0.0 build date: 0\r\n"},
                      // Words are printed as signed 32-bit numbers.
                      fw_version_case{"4294967295", "2147483648", "7", "4294967294",
                                      "FW VERSION: -1.-2147483648.7 build date: -2\r\n"}));

TEST_F(bridge_info_e2e, failed_firmware_version_read_says_fail) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. A5", "--status", "2"});
    EXPECT_EQ(run1("fw_ver"), "fw_ver fail\n");
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. A5", "--os-error", "5"});
    EXPECT_EQ(run1("fw_ver"), "fw_ver fail\n");
}

// ---- Restart ----

TEST_F(bridge_info_e2e, restart_types_outside_0_to_2_send_nothing) {
    for (const char* type : {"3", "-1", "256", "4294967296"}) {
        EXPECT_EQ(run1("fw_restart", {type}), "fw_restart with invalid parameters\n") << type;
    }
    EXPECT_EQ(cmds("E3 00 00 00 30"), std::vector<std::string>{});
    EXPECT_EQ(trace_lines("# "), std::vector<std::string>{});
}

TEST_F(bridge_info_e2e, restart_takes_the_bridge_away_for_its_delay) {
    // 1000 s of lab time at a factor of 1000: about one real second.
    lab_ok({"set", "lab", "time_factor", "1000"});
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "1000000"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run1("fw_restart", {"2"}), "fw_restart ok\n");
    EXPECT_EQ(cmds("E3 00 00 00 30"),
              std::vector<std::string>{"CMD PhysicalDrive1 E3 00 00 00 30 02 00 00 00 00 00 00 04 00 00 00 out 4 "
                                       "status=0 err=0 data=00 00 00 00"});
    EXPECT_EQ(trace_lines("# "),
              std::vector<std::string>{"# PhysicalDrive1 restarts (boot 1), answers again after 1000000 ms"});
    EXPECT_EQ(run1("fw_ver"), "invalid dev path\n");
    std::string out;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        out = run1("fw_ver");
        if (out != "invalid dev path\n") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(out, "FW VERSION: 1.4.2 build date: 20240611\r\n");
}

TEST_F(bridge_info_e2e, restart_under_a_new_name_is_found_by_scan) {
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "0"});
    lab_ok({"set", "PhysicalDrive1", "restart_name", "PhysicalDrive5"});
    EXPECT_EQ(run1("fw_restart", {"0"}), "fw_restart ok\n");
    EXPECT_EQ(trace_lines("# "), std::vector<std::string>{"# PhysicalDrive1 restarts (boot 1), comes back as "
                                                          "PhysicalDrive5, answers again after 0 ms"});
    EXPECT_EQ(run1("fw_ver"), "invalid dev path\n");
    EXPECT_EQ(run({"scan"}), drive_path(5) + "\nbridge: " + k_nvme_bridge_name + "\ndisk info: " + k_nvme_disk_line + "\n");
}

// ---- Disk speed ----

TEST_F(bridge_info_e2e, disk_speed_above_3_is_refused_without_traffic) {
    EXPECT_EQ(run1("set_disk_speed", {"4"}), "set_disk_speed fail\n");
    EXPECT_EQ(run1("set_disk_speed", {"255"}), "set_disk_speed fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 4D"), std::vector<std::string>{});
}

TEST_F(bridge_info_e2e, disk_speed_keeps_the_low_8_bits_and_reads_back) {
    EXPECT_EQ(run1("set_disk_speed", {"259"}), "set_disk_speed ok\n");
    EXPECT_EQ(cmds("E3 00 00 00 4D"), std::vector<std::string>{"CMD PhysicalDrive1 E3 00 00 00 4D 00 03 00 00 00 00 "
                                                               "00 00 00 00 00 out 0 status=0 err=0"});
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 3\n");
    EXPECT_EQ(last_cmds(1), std::vector<std::string>{"CMD PhysicalDrive1 E2 00 00 00 CD 00 00 00 00 00 00 00 02 00 "
                                                      "00 00 in 2 status=0 err=0"});
    EXPECT_EQ(run1("set_disk_speed", {"1"}), "set_disk_speed ok\n");
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 1\n");
    // 0 lets the link train as fast as it can.
    lab_ok({"set", "PhysicalDrive1", "disk_speed_max", "2"});
    EXPECT_EQ(run1("set_disk_speed", {"0"}), "set_disk_speed ok\n");
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 2\n");
}

TEST_F(bridge_info_e2e, bridge_refuses_a_disk_speed_it_cannot_reach) {
    lab_ok({"set", "PhysicalDrive1", "disk_speed_max", "2"});
    EXPECT_EQ(run1("set_disk_speed", {"3"}), "set_disk_speed fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 4D"), std::vector<std::string>{"CMD PhysicalDrive1 E3 00 00 00 4D 00 03 00 00 00 00 "
                                                               "00 00 00 00 00 out 0 status=2 err=0"});
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 2\n");
}

TEST_F(bridge_info_e2e, disk_speed_read_failure_and_no_disk) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. CD", "--status", "2", "--first", "1"});
    EXPECT_EQ(run1("get_disk_speed"), "get_disk_speed fail\n");
    lab_ok({"set", "PhysicalDrive1", "disk", "none"});
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 0\n");
}

// ---- Read/write mode ----

TEST_F(bridge_info_e2e, rw_mode_argument_is_hex_and_unknown_modes_are_refused) {
    EXPECT_EQ(run1("set_bridge_rw_md", {"10"}), "set_bridge_rw_md fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 4F"), std::vector<std::string>{"CMD PhysicalDrive1 E3 00 00 00 4F 00 10 00 00 00 00 "
                                                               "00 00 00 00 00 out 0 status=2 err=0"});
    EXPECT_EQ(run1("get_bridge_rw_md"), "normal mode(0)\n");
    EXPECT_EQ(run1("set_bridge_rw_md", {"0x1"}), "set_bridge_rw_md ok\n");
    EXPECT_EQ(run1("get_bridge_rw_md"), "write protection mode(1)\n");
    // Only the low 8 bits are sent: 0x102 is mode 2.
    EXPECT_EQ(run1("set_bridge_rw_md", {"102"}), "set_bridge_rw_md ok\n");
    EXPECT_EQ(run1("get_bridge_rw_md"), "format mode(2)\n");
    EXPECT_EQ(run1("set_bridge_rw_md", {"0"}), "set_bridge_rw_md ok\n");
    EXPECT_EQ(run1("get_bridge_rw_md"), "normal mode(0)\n");
    EXPECT_EQ(last_cmds(1), std::vector<std::string>{"CMD PhysicalDrive1 E2 00 00 00 CF 00 00 00 00 00 00 00 01 00 "
                                                      "00 00 in 1 status=0 err=0"});
}

TEST_F(bridge_info_e2e, rw_mode_report_of_the_bridge) {
    lab_ok({"set", "PhysicalDrive1", "rw_mode", "5"});
    EXPECT_EQ(run1("get_bridge_rw_md"), "unknown(5)\n");
    lab_ok({"set", "PhysicalDrive1", "rw_mode", "1"});
    EXPECT_EQ(run1("get_bridge_rw_md"), "write protection mode(1)\n");
    lab_ok({"set", "PhysicalDrive1", "rw_mode", "255"});
    EXPECT_EQ(run1("get_bridge_rw_md"), "unknown(255)\n");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. CF", "--status", "2"});
    EXPECT_EQ(run1("get_bridge_rw_md"), "get_bridge_rw_md fail\n");
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 4F", "--os-error", "5"});
    EXPECT_EQ(run1("set_bridge_rw_md", {"1"}), "set_bridge_rw_md fail\n");
}

// ---- Status block: USB speed and IPS threshold ----

struct usb_speed_case {
    const char* code;
    const char* printed;
};

class usb_speed_e2e : public bridge_info_e2e, public ::testing::WithParamInterface<usb_speed_case> {};

TEST_P(usb_speed_e2e, code_at_offset_20_names_the_speed) {
    lab_ok({"set", "PhysicalDrive1", "usb_speed", GetParam().code});
    EXPECT_EQ(run1("get_usb_speed"), std::string("usb speed: ") + GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(codes, usb_speed_e2e,
                         ::testing::Values(usb_speed_case{"0", "unknown speed\n"}, usb_speed_case{"1", "low speed\n"},
                                           usb_speed_case{"2", "full speed\n"}, usb_speed_case{"3", "high speed\n"},
                                           usb_speed_case{"4", "unknown speed\n"},
                                           usb_speed_case{"5", "super speed 5Gbps\n"},
                                           usb_speed_case{"6", "super speed 10Gbps\n"},
                                           usb_speed_case{"7", "super speed 20Gbps\n"},
                                           usb_speed_case{"8", "unknown speed\n"},
                                           usb_speed_case{"0x100", "unknown speed\n"}));

TEST_F(bridge_info_e2e, usb_speed_failure_shows_the_status_without_a_newline) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. B5", "--status", "2", "--first", "1"});
    EXPECT_EQ(run1("get_usb_speed"), "get usb speed fail (2)");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. B5", "--os-error", "5", "--first", "1"});
    EXPECT_EQ(run1("get_usb_speed"), "get usb speed fail (5)");
    EXPECT_EQ(run1("get_usb_speed"), "usb speed: super speed 10Gbps\n");
}

TEST_F(bridge_info_e2e, ips_threshold_is_the_word_at_offset_64) {
    lab_ok({"set", "PhysicalDrive1", "usb_speed", "5"});
    lab_ok({"set", "PhysicalDrive1", "ips_threshold", "123"});
    EXPECT_EQ(run1("get_ips_threshold"), "IPS threshold: 123\n");
    EXPECT_EQ(last_cmds(1), std::vector<std::string>{"CMD PhysicalDrive1 E2 00 00 00 B5 00 00 00 00 00 00 00 80 00 "
                                                      "00 00 in 128 status=0 err=0"});
    lab_ok({"set", "PhysicalDrive1", "ips_threshold", "0xFFFFFFFF"});
    EXPECT_EQ(run1("get_ips_threshold"), "IPS threshold: -1\n");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. B5", "--status", "2"});
    EXPECT_EQ(run1("get_ips_threshold"), "Get IPS threshold fail\n");
}

// ---- Disk hot-plug ----

struct hotplug_case {
    int generation;
    const char* register_address;   // as `show` prints it
    const char* power_on_value;
    const char* cdb;                // the register write's block
    const char* kept_bits;          // data written when every bit reads as set
};

class hotplug_e2e : public bridge_info_e2e, public ::testing::WithParamInterface<hotplug_case> {
protected:
    std::string register_line(const std::string& value, bool written) {
        return "  " + std::string(GetParam().register_address) + " " + value + (written ? " (written)" : "") + "\n";
    }
    std::string registers() { return lab_ok({"show", "PhysicalDrive2", "registers"}); }
    std::vector<std::string> writes() {
        return trace_lines("CMD PhysicalDrive2 " + std::string(GetParam().cdb));
    }
};

TEST_P(hotplug_e2e, clears_the_generation_hotplug_bits) {
    const hotplug_case& c = GetParam();
    lab_ok({"create", "PhysicalDrive2", "--gen", std::to_string(c.generation)});
    EXPECT_NE(registers().find(register_line(c.power_on_value, false)), std::string::npos) << registers();
    EXPECT_EQ(run({"set_disk_hotplug_dis", drive_path(2)}), "Disable disk hotplug success \n");
    EXPECT_NE(registers().find(register_line("0x00000000", true)), std::string::npos) << registers();
    EXPECT_EQ(writes(), std::vector<std::string>{"CMD PhysicalDrive2 " + std::string(c.cdb) +
                                                 " out 4 status=0 err=0 data=00 00 00 00"});
}

TEST_P(hotplug_e2e, keeps_every_other_bit) {
    const hotplug_case& c = GetParam();
    lab_ok({"create", "PhysicalDrive2", "--gen", std::to_string(c.generation)});
    // The register read arrives inverted, so every bit but the hot-plug ones reads as set.
    lab_ok({"fault", "PhysicalDrive2", "add", "E2 .. .. .. A2", "--corrupt"});
    EXPECT_EQ(run({"set_disk_hotplug_dis", drive_path(2)}), "Disable disk hotplug success \n");
    EXPECT_EQ(writes(), std::vector<std::string>{"CMD PhysicalDrive2 " + std::string(c.cdb) +
                                                 " out 4 status=0 err=0 data=" + c.kept_bits});
}

TEST_P(hotplug_e2e, failed_read_writes_nothing_and_failed_write_says_fail) {
    const hotplug_case& c = GetParam();
    lab_ok({"create", "PhysicalDrive2", "--gen", std::to_string(c.generation)});
    lab_ok({"fault", "PhysicalDrive2", "add", "E2 .. .. .. A2", "--status", "2", "--first", "1"});
    EXPECT_EQ(run({"set_disk_hotplug_dis", drive_path(2)}), "Disable disk hotplug fail \n");
    EXPECT_EQ(writes(), std::vector<std::string>{});
    EXPECT_NE(registers().find(register_line(c.power_on_value, false)), std::string::npos) << registers();
    lab_ok({"fault", "PhysicalDrive2", "add", "E3 .. .. .. 23", "--status", "2"});
    EXPECT_EQ(run({"set_disk_hotplug_dis", drive_path(2)}), "Disable disk hotplug fail \n");
    EXPECT_NE(registers().find(register_line(c.power_on_value, false)), std::string::npos) << registers();
}

INSTANTIATE_TEST_SUITE_P(
    generations, hotplug_e2e,
    ::testing::Values(hotplug_case{0, "0xB3500094", "0x00000003", "E3 00 00 00 23 00 00 00 94 00 50 B3 04 00 00 00",
                                   "FC FF FF FF"},
                      hotplug_case{1, "0xB3700094", "0x00003300", "E3 00 00 00 23 00 00 00 94 00 70 B3 04 00 00 00",
                                   "FF CC FF FF"}));

// ---- Customer page ----

TEST_F(bridge_info_e2e, customer_page_is_written_whole_and_kept) {
    EXPECT_EQ(run1("get_cust_page"), repeated("FF ", 4096));
    EXPECT_EQ(run1("set_cust_page", {"abc"}), "");
    EXPECT_EQ(cmds("E3 00 00 00 44"),
              std::vector<std::string>{"CMD PhysicalDrive1 E3 00 00 00 44 00 00 00 00 00 00 00 00 10 00 00 out 4096 "
                                       "status=0 err=0 data=61 62 63" + repeated(" 00", 61)});
    // Every run is its own process: the page lives in the bridge.
    const std::string page = run1("get_cust_page");
    EXPECT_EQ(page.size(), 12288u);
    EXPECT_TRUE(page.starts_with("61 62 63 00 "));
    EXPECT_EQ(page, "61 62 63 " + repeated("00 ", 4093));
    EXPECT_EQ(last_cmds(1), std::vector<std::string>{"CMD PhysicalDrive1 E2 00 00 00 C4 00 00 00 00 00 00 00 00 10 "
                                                      "00 00 in 4096 status=0 err=0"});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "cust_page"}).substr(0, 54),
              "0000: 61 62 63 00 00 00 00 00 00 00 00 00 00 00 00 00\n");
}

TEST_F(bridge_info_e2e, customer_page_text_of_4096_fits_and_longer_is_refused) {
    EXPECT_EQ(run1("set_cust_page", {std::string(4096, 'x')}), "");
    EXPECT_EQ(run1("get_cust_page"), repeated("78 ", 4096));
    clear_trace();
    EXPECT_EQ(run1("set_cust_page", {std::string(4097, 'y')}), "set_cust_page fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 44"), std::vector<std::string>{});
    EXPECT_EQ(run1("get_cust_page"), repeated("78 ", 4096));
    // An empty text clears the page.
    EXPECT_EQ(run1("set_cust_page", {""}), "");
    EXPECT_EQ(run1("get_cust_page"), repeated("00 ", 4096));
}

TEST_F(bridge_info_e2e, customer_page_failures) {
    // A write the bridge refuses prints nothing and leaves the page as it was.
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 44", "--status", "2", "--first", "1"});
    EXPECT_EQ(run1("set_cust_page", {"lost"}), "");
    EXPECT_EQ(run1("get_cust_page"), repeated("FF ", 4096));
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. C4", "--status", "2"});
    EXPECT_EQ(run1("get_cust_page"), "get_cust_page fail\n");
}

}  // namespace
