// The bridge information and control commands on emulated bridges: what they print, what
// they send, and what the bridge keeps of them.
#include <tuple>

#include "lab_fixture.h"

namespace {

class bridge_info_e2e : public bridge_lab_test {
protected:
    // Traced CMD lines of PhysicalDrive1 whose command block starts with `cdb_prefix`.
    lines cmds(const std::string& cdb_prefix) { return trace_lines("CMD PhysicalDrive1 " + cdb_prefix); }
    // The last `count` CMD lines of the trace.
    lines last_cmds(size_t count) {
        const lines all = trace_lines("CMD ");
        return lines(all.end() - static_cast<std::ptrdiff_t>(std::min(count, all.size())), all.end());
    }
};

const std::string k_uuid_cdb = "E2 00 00 00 C3 00 00 00 00 00 00 00 04 00 00 00";

TEST_F(bridge_info_e2e, api_version_touches_no_device) {
    EXPECT_EQ(run({"get_api_ver"}), "1.2.3.905\n");
    EXPECT_EQ(trace_lines(), lines{});
}

// The UUID command answers first; a bridge without it is identified again and read at its
// generation's offset.
TEST_F(bridge_info_e2e, uuid_from_its_command_or_the_generation_offset) {
    lab_ok({"set", "PhysicalDrive1", "uuid", "0xFFFFFFFF"});
    EXPECT_EQ(run1("get_uuid"), "UUID: ffffffff\n");
    EXPECT_EQ(last_cmds(1), lines{"CMD PhysicalDrive1 " + k_uuid_cdb + " in 4 status=0 err=0"});
    for (const auto& [gen, base, offset] : {std::tuple{"0", "50 B3", "FC 00 00 00"}, {"1", "70 B3", "FC 07 00 00"}}) {
        clear_trace();
        const std::string name = std::string("PhysicalDrive") + (gen[0] == '0' ? "2" : "3");
        lab_ok({"create", name, "--gen", gen, "--uuid-cmd", "0", "--uuid", "0x0BADCAFE"});
        EXPECT_EQ(run({"get_uuid", "\\\\.\\" + name}), "UUID: 0badcafe\n");
        const std::string cmd = "CMD " + name + " ";
        EXPECT_EQ(last_cmds(5),
                  (lines{cmd + k_uuid_cdb + " in 4 status=2 err=0",
                         cmd + "12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0",
                         cmd + "E2 00 00 00 92 00 00 00 C8 00 " + base + " 04 00 00 00 in 4 status=0 err=0",
                         cmd + "E2 00 00 00 92 00 00 00 C4 00 " + base + " 04 00 00 00 in 4 status=0 err=0",
                         cmd + "E2 00 00 00 96 00 00 00 " + offset + " 04 00 00 00 in 4 status=0 err=0"}))
            << gen;
    }
}

// Words 0, 1, 2 and 4 of the answer, printed as signed 32-bit numbers.
TEST_F(bridge_info_e2e, firmware_version) {
    for (const auto& [key, value] : {std::pair{"fw_major", "4294967295"},
                                     {"fw_minor", "2147483648"},
                                     {"fw_patch", "7"},
                                     {"fw_reserved", "0x5A5A5A5A"},
                                     {"fw_build_date", "4294967294"}}) {
        lab_ok({"set", "PhysicalDrive1", key, value});
    }
    EXPECT_EQ(run1("fw_ver"), "FW VERSION: -1.-2147483648.7 build date: -2\r\n");
    EXPECT_EQ(last_cmds(1),
              lines{"CMD PhysicalDrive1 E2 00 00 00 A5 00 00 00 00 00 00 00 14 00 00 00 in 20 status=0 err=0"});
}

// Types outside 0 to 2 send nothing; a restart takes the bridge away, here to come back at
// once under another name, where scan finds it, with its CD-ROM volume and its volatile
// settings back at their power-on values.
TEST_F(bridge_info_e2e, restart) {
    for (const char* type : {"3", "-1", "256", "4294967296"}) {
        EXPECT_EQ(run1("fw_restart", {type}), "fw_restart with invalid parameters\n") << type;
    }
    EXPECT_EQ(cmds("E3 00 00 00 30"), lines{});
    lab_ok({"create", "c", "--cdrom-of", "PhysicalDrive1"});
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "0"});
    lab_ok({"set", "PhysicalDrive1", "restart_name", "PhysicalDrive5"});
    lab_ok({"set", "PhysicalDrive1", "xfer_flag", "0"});
    EXPECT_EQ(run1("fw_restart", {"2"}), "fw_restart ok\n");
    EXPECT_EQ(cmds("E3 00 00 00 30"), lines{"CMD PhysicalDrive1 E3 00 00 00 30 02 00 00 00 00 00 00 04 00 00 00 out 4 "
                                            "status=0 err=0 data=00 00 00 00"});
    EXPECT_EQ(trace_lines("# "), lines{"# PhysicalDrive1 restarts (boot 1), comes back as PhysicalDrive5, answers "
                                       "again after 0 ms"});
    EXPECT_EQ(run1("fw_ver"), "invalid dev path\n");
    EXPECT_EQ(lab({"show", "PhysicalDrive1"}).status, 1);
    EXPECT_EQ(shown("PhysicalDrive5", "settings", "xfer_flag"), "1");
    EXPECT_EQ(run({"scan"}), drive_path(5) + "\nbridge: " + k_nvme_bridge_name + "\ndisk info: " + k_nvme_disk_line +
                                 "\n\n" + volume_path('c') +
                                 "\nbridge: Morvelt USB CD-ROM      \ndisk info: " + k_nvme_disk_line + "\n");
}

// Speeds above 3 are refused unsent; the low 8 bits are sent; 0 lets the link train as fast
// as it can, and the bridge refuses a speed its link cannot reach.
TEST_F(bridge_info_e2e, disk_speed) {
    EXPECT_EQ(run1("set_disk_speed", {"4"}), "set_disk_speed fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 4D"), lines{});
    EXPECT_EQ(run1("set_disk_speed", {"259"}), "set_disk_speed ok\n");
    EXPECT_EQ(cmds("E3 00 00 00 4D"),
              lines{"CMD PhysicalDrive1 E3 00 00 00 4D 00 03 00 00 00 00 00 00 00 00 00 out 0 status=0 err=0"});
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 3\n");
    EXPECT_EQ(last_cmds(1),
              lines{"CMD PhysicalDrive1 E2 00 00 00 CD 00 00 00 00 00 00 00 02 00 00 00 in 2 status=0 err=0"});
    lab_ok({"set", "PhysicalDrive1", "disk_speed_max", "2"});
    EXPECT_EQ(run1("set_disk_speed", {"3"}), "set_disk_speed fail\n");
    EXPECT_EQ(run1("set_disk_speed", {"0"}), "set_disk_speed ok\n");
    EXPECT_EQ(run1("get_disk_speed"), "disk speed: 2\n");
}

// The argument is hex and unchecked: the bridge refuses modes it does not know.
TEST_F(bridge_info_e2e, read_write_mode) {
    EXPECT_EQ(run1("set_bridge_rw_md", {"10"}), "set_bridge_rw_md fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 4F"),
              lines{"CMD PhysicalDrive1 E3 00 00 00 4F 00 10 00 00 00 00 00 00 00 00 00 out 0 status=2 err=0"});
    EXPECT_EQ(run1("set_bridge_rw_md", {"102"}), "set_bridge_rw_md ok\n");
    EXPECT_EQ(run1("get_bridge_rw_md"), "format mode(2)\n");
    lab_ok({"set", "PhysicalDrive1", "rw_mode", "5"});
    EXPECT_EQ(run1("get_bridge_rw_md"), "unknown(5)\n");
    EXPECT_EQ(last_cmds(1),
              lines{"CMD PhysicalDrive1 E2 00 00 00 CF 00 00 00 00 00 00 00 01 00 00 00 in 1 status=0 err=0"});
}

// The status block's word at offset 20 names the USB speed; the one at 64 is the IPS threshold.
TEST_F(bridge_info_e2e, status_block) {
    lab_ok({"set", "PhysicalDrive1", "usb_speed", "4"});
    EXPECT_EQ(run1("get_usb_speed"), "usb speed: unknown speed\n");
    lab_ok({"set", "PhysicalDrive1", "usb_speed", "6"});
    EXPECT_EQ(run1("get_usb_speed"), "usb speed: super speed 10Gbps\n");
    lab_ok({"set", "PhysicalDrive1", "ips_threshold", "0xFFFFFFFF"});
    EXPECT_EQ(run1("get_ips_threshold"), "IPS threshold: -1\n");
    EXPECT_EQ(cmds("E2 00 00 00 B5"),
              lines(3, "CMD PhysicalDrive1 E2 00 00 00 B5 00 00 00 00 00 00 00 80 00 00 00 in 128 status=0 err=0"));
}

// The generation's hot-plug bits are cleared and every other bit kept: a register read
// arriving inverted has every bit but the hot-plug ones set.
TEST_F(bridge_info_e2e, hotplug_clears_the_generation_bits) {
    for (const auto& [gen, base, power_on, kept] : {std::tuple{"0", "50 B3", "0xB3500094 0x00000003", "FC FF FF FF"},
                                                    {"1", "70 B3", "0xB3700094 0x00003300", "FF CC FF FF"}}) {
        SCOPED_TRACE(gen);
        const std::string name = std::string("PhysicalDrive") + (gen[0] == '0' ? "2" : "3");
        const auto registers = [this, &name] { return lab_ok({"show", name, "registers"}); };
        lab_ok({"create", name, "--gen", gen});
        EXPECT_NE(registers().find("  " + std::string(power_on) + "\n"), std::string::npos) << registers();
        EXPECT_EQ(run({"set_disk_hotplug_dis", "\\\\.\\" + name}), "Disable disk hotplug success \n");
        const std::string written = std::string(power_on).substr(0, 10) + " 0x00000000 (written)";
        EXPECT_NE(registers().find("  " + written + "\n"), std::string::npos) << registers();
        lab_ok({"fault", name, "add", "E2 .. .. .. A2", "--corrupt"});
        EXPECT_EQ(run({"set_disk_hotplug_dis", "\\\\.\\" + name}), "Disable disk hotplug success \n");
        const std::string write =
            "CMD " + name + " E3 00 00 00 23 00 00 00 94 00 " + std::string(base) + " 04 00 00 00";
        EXPECT_EQ(trace_lines(write), (lines{write + " out 4 status=0 err=0 data=00 00 00 00",
                                             write + " out 4 status=0 err=0 data=" + kept}));
    }
}

// The page is written whole and lives in the bridge from one run to the next; an empty
// text clears it.
TEST_F(bridge_info_e2e, customer_page) {
    EXPECT_EQ(run1("get_cust_page"), repeated("FF ", 4096));
    EXPECT_EQ(run1("set_cust_page", {"abc"}), "");
    EXPECT_EQ(cmds("E3 00 00 00 44"),
              lines{"CMD PhysicalDrive1 E3 00 00 00 44 00 00 00 00 00 00 00 00 10 00 00 out 4096 "
                    "status=0 err=0 data=61 62 63" +
                    repeated(" 00", 61)});
    const std::string page = run1("get_cust_page");
    EXPECT_EQ(page.size(), 12288u);
    EXPECT_EQ(page, "61 62 63 " + repeated("00 ", 4093));
    EXPECT_EQ(last_cmds(1), lines{"CMD PhysicalDrive1 E2 00 00 00 C4 00 00 00 00 00 00 00 00 10 00 00 in 4096 status=0 "
                                  "err=0"});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "cust_page"}),
              "00003000  61 62 63 00 00 00 00 00  00 00 00 00 00 00 00 00  |abc.............|\n"
              "00003010  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n*\n00004000\n");
    EXPECT_EQ(run1("set_cust_page", {""}), "");
    EXPECT_EQ(run1("get_cust_page"), repeated("00 ", 4096));

    // A refused write says so and leaves the page; a page that arrives short is no page.
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 44", "--status", "2", "--first", "1"});
    EXPECT_EQ(run1("set_cust_page", {"xyz"}), "set_cust_page fail\n");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. C4", "--short", "4000", "--first", "1"});
    EXPECT_EQ(run1("get_cust_page"), "get_cust_page fail\n");
    EXPECT_EQ(run1("get_cust_page"), repeated("00 ", 4096));
}

}  // namespace
