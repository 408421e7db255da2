// The NVMe commands on an emulated NVMe bridge: what they print, the tunnel's blocks on
// the wire and what the disk keeps of them.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "lab_fixture.h"

namespace {

const std::string k_submit_admin = "E5 40 00 F7 00 00 00 00 00 00 00 00 00 00 00 00 out 64";
const std::string k_submit_io = "E5 40 00 F7 01 00 00 00 00 00 00 00 00 00 00 00 out 64";
const std::string k_completion = "E4 10 00 F9 00 00 00 00 00 00 00 00 00 00 00 00 in 16";
const std::string k_data_in_512 = "E4 00 02 F8 00 00 01 00 00 00 00 00 00 00 00 00 in 512";

class nvme_e2e : public bridge_lab_test {
protected:
    nvme_e2e() : bridge_lab_test({.fresh_trace = true}) {}
    // The CMD lines of the last run without their data and status: "<cdb> <dir> <length>".
    lines blocks() {
        lines out;
        for (const std::string& line : trace_lines("CMD PhysicalDrive1 ")) {
            const size_t start = std::string("CMD PhysicalDrive1 ").size();
            out.push_back(line.substr(start, line.find(" status=") - start));
        }
        return out;
    }
    // The tunnel's blocks of the last run (byte 0 E4 or E5), with their status.
    lines tunnel() {
        lines out;
        for (const std::string& line : trace_lines("CMD PhysicalDrive1 E")) {
            const std::string rest = line.substr(std::string("CMD PhysicalDrive1 ").size());
            if (rest.compare(0, 2, "E4") == 0 || rest.compare(0, 2, "E5") == 0)
                out.push_back(rest.substr(0, rest.find(" err=")));
        }
        return out;
    }
    std::string nvme(const std::string& key) { return shown("PhysicalDrive1", "nvme", key); }
    std::string path_line() { return drive_path(1) + " " + padded("LNV-3000 NVMe SSD 1TB", 40) + "\n"; }
};

// Seven blocks of the dispatcher's preparation, then the tunnel's three.
TEST_F(nvme_e2e, smart_log_report_in_ten_blocks) {
    lab_ok({"set", "PhysicalDrive1", "nvme_temperature", "343"});
    lab_ok({"set", "PhysicalDrive1", "nvme_critical_warning", "0x04"});
    const std::string out = run1("nvme_get_smart_log");
    const lines sent = blocks();
    ASSERT_EQ(sent.size(), 10u);
    EXPECT_EQ(lines(sent.end() - 3, sent.end()), (lines{k_submit_admin, k_data_in_512, k_completion}));
    EXPECT_EQ(out.substr(0, path_line().size()), path_line());
    EXPECT_NE(out.find("\n\n\tSmart log:\n\tCritical Warning                            : 0x4\n"
                       "\tComposite Temperature                       : 70 C\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.substr(out.size() - 3), "0\n\n");
}

// The counters move with the reads and writes the disk served.
TEST_F(nvme_e2e, read_write_test_and_counters) {
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test pass\n");
    EXPECT_EQ(tunnel(), (lines{"E5 40 00 F7 01 00 00 00 00 00 00 00 00 00 00 00 out 64 status=0",
                               "E5 00 00 F8 01 00 02 00 00 00 00 00 00 00 00 00 out 65536 status=0",
                               "E4 10 00 F9 00 00 00 00 00 00 00 00 00 00 00 00 in 16 status=0",
                               "E5 40 00 F7 01 00 00 00 00 00 00 00 00 00 00 00 out 64 status=0",
                               "E4 00 00 F8 01 00 01 00 00 00 00 00 00 00 00 00 in 65536 status=0",
                               "E4 10 00 F9 00 00 00 00 00 00 00 00 00 00 00 00 in 16 status=0"}));
    const lines flag = trace_lines("CMD PhysicalDrive1 E3 00 00 00 4B");
    ASSERT_EQ(flag.size(), 2u);
    EXPECT_NE(flag[0].find("data=00"), std::string::npos);
    EXPECT_NE(flag[1].find("data=01"), std::string::npos);
    EXPECT_EQ(shown("PhysicalDrive1", "settings", "xfer_flag"), "1");
    const std::string log = run1("nvme_get_log", {"2"});
    EXPECT_NE(log.find("\tData Units Read                             : 0x00000000000000000000000000000001\n"
                       "\tData Units Write                            : 0x00000000000000000000000000000001\n"
                       "\tHost Read Commands                          : 0x00000000000000000000000000000001\n"
                       "\tHost Write Commands                         : 0x00000000000000000000000000000001\n"),
              std::string::npos)
        << log;
    // One byte among the first 1024 read back wrong fails the test; the flag is set back.
    lab_ok({"fault", "PhysicalDrive1", "add", "E4 00 00 F8 01", "--flip", "1000"});
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test fail\n");
    EXPECT_EQ(shown("PhysicalDrive1", "settings", "xfer_flag"), "1");
    // A failed write leaves no cleared flag either.
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E5 00 00 F8 01", "--status", "2", "--sense", "04/44/00"});
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test fail\n");
    EXPECT_EQ(shown("PhysicalDrive1", "settings", "xfer_flag"), "1");
    EXPECT_EQ(tunnel().size(), 3u);
}

TEST_F(nvme_e2e, command_time_out_setting) {
    for (const auto& [value, out, block] : {std::tuple{"2", "fail", ""},
                                            {"656", "fail", ""},
                                            {"3", "pass", "03 00 00 00"},
                                            {"655", "pass", "8F 02 00 00"}}) {
        EXPECT_EQ(run1("nvme_cmd_timeout", {value}), std::string("nvme_cmd_timeout ") + out + "\n");
        if (std::string(block).empty()) {
            EXPECT_EQ(tunnel(), lines{}) << value;
        } else {
            EXPECT_EQ(tunnel(), lines{"E5 00 00 FD 01 00 00 00 " + std::string(block) + " 00 00 00 00 out 0 status=0"});
        }
    }
    EXPECT_EQ(nvme("nvme_cmd_timeout"), "655");
}

TEST_F(nvme_e2e, log_pages) {
    EXPECT_EQ(run1("nvme_get_log", {"0x81"}), path_line());
    EXPECT_NE(trace_lines("CMD PhysicalDrive1 E5 40 00 F7").size(), 0u);
    EXPECT_EQ(run1("nvme_get_log", {"0x03"}), "nvme_get_log fail\n");
    EXPECT_EQ(tunnel(), lines{});
    EXPECT_EQ(run1("nvme_get_log", {"0x102"}).substr(0, path_line().size() + 13), path_line() + "\n\tSmart log:\n");
}

TEST_F(nvme_e2e, temperature_threshold) {
    EXPECT_EQ(run1("nvme_get_temp_thres"),
              "Temperature threshold: 70\xC2\xB0"
              "C\n");
    lab_ok({"set", "PhysicalDrive1", "nvme_temp_threshold", "0"});
    EXPECT_EQ(run1("nvme_get_temp_thres"),
              "Temperature threshold: -273\xC2\xB0"
              "C\n");
    // An NVMe time-out of the command: fail, and the completion is still fetched.
    lab_ok({"fault", "PhysicalDrive1", "add", "E5 00 00 F8", "--status", "2", "--sense", "0B/2E/00"});
    EXPECT_EQ(run1("nvme_get_temp_thres"), "nvme_get_temp_thres fail\n");
    EXPECT_EQ(tunnel(),
              (lines{k_submit_admin + " status=0", "E5 00 00 F8 00 00 00 00 00 00 00 00 00 00 00 00 out 0 status=2",
                     k_completion + " status=0"}));
    EXPECT_EQ(nvme("nvme_entry_waiting"), "0");
}

// A failed or short exchange prints the command's failure line, never a value decoded
// from what did not arrive.
TEST_F(nvme_e2e, short_or_failed_exchanges_print_failure_lines) {
    struct row {
        std::string command;
        lines args;
        lines fault;
    } rows[] = {
        {"nvme_get_temp_thres", {}, {"E4 .. .. F9", "--status", "2", "--sense", "05/24/00"}},
        {"nvme_get_temp_thres", {}, {"E4 .. .. F9", "--os-error", "5"}},
        {"nvme_get_temp_thres", {}, {"E4 .. .. F9", "--short", "2"}},
        {"nvme_get_id", {}, {"E4 .. .. F8", "--short", "1"}},
        {"nvme_get_id", {}, {"E4 .. .. F8", "--short", "4095"}},
        {"nvme_get_id", {}, {"E4 .. .. F8", "--os-error", "5"}},
        {"nvme_get_smart_log", {}, {"E4 .. .. F8", "--short", "1"}},
        {"nvme_get_smart_log", {}, {"E4 .. .. F8", "--os-error", "5"}},
        {"nvme_get_log", {"0x02"}, {"E4 .. .. F8", "--short", "1"}},
        {"nvme_get_log", {"0x81"}, {"E4 .. .. F8", "--short", "511"}},
    };
    for (const row& r : rows) {
        lab_ok({"fault", "PhysicalDrive1", "clear"});
        lines args = {"fault", "PhysicalDrive1", "add"};
        args.insert(args.end(), r.fault.begin(), r.fault.end());
        lab_ok(args);
        EXPECT_EQ(run1(r.command, r.args), r.command + " fail\n") << r.command << " " << r.fault[1];
    }
    // The tunnel is free again: the next command reads its value.
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    EXPECT_EQ(run1("nvme_get_temp_thres"),
              "Temperature threshold: 70\xC2\xB0"
              "C\n");
}

// A process killed between its submit and its data phase leaves an entry waiting. A new
// submit replaces it when its process is gone or a minute of lab time has passed, with a
// note in the trace; an entry of a running process, submitted just now, still waits.
TEST_F(nvme_e2e, an_entry_left_by_a_killed_command_is_replaced) {
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string state = read_lab_file("bridges/PhysicalDrive1.state");
    const auto leave_entry = [&](int64_t host, int64_t since_ms) {
        std::string edited = state;
        for (const auto& [key, value] : {std::pair<std::string, int64_t>{"nvme_entry_waiting", 1},
                                         {"nvme_entry_host", host},
                                         {"nvme_entry_since_ms", since_ms}}) {
            const size_t at = edited.find("\n" + key + " ") + 1;
            const size_t end = edited.find('\n', at);
            edited.replace(at, end - at, key + " " + std::to_string(value));
        }
        write_lab_file("bridges/PhysicalDrive1.state", edited);
    };
    const std::string threshold =
        "Temperature threshold: 70\xC2\xB0"
        "C\n";
    const auto abandoned = [&](int64_t host) {
        return "# NVMe entry of " + (host != 0 ? "process " + std::to_string(host) : std::string("an unknown host")) +
               " abandoned: its data phase never came; replaced by a new submit";
    };
    // Its process is gone.
    leave_entry(gone, INT64_MAX / 2);
    EXPECT_EQ(run1("nvme_get_temp_thres"), threshold);
    EXPECT_EQ(trace_lines("# NVMe"), lines{abandoned(gone)});
    EXPECT_EQ(nvme("nvme_entry_waiting"), "0");
    // Its process runs, and it was submitted just now: the tunnel is busy.
    leave_entry(getpid(), INT64_MAX / 2);
    EXPECT_EQ(run1("nvme_get_temp_thres"), "nvme_get_temp_thres fail\n");
    EXPECT_EQ(trace_lines("# NVMe"), lines{});
    // Its process runs, but long ago: the host gave up on it.
    leave_entry(getpid(), 0);
    EXPECT_EQ(run1("nvme_get_temp_thres"), threshold);
    EXPECT_EQ(trace_lines("# NVMe"), lines{abandoned(getpid())});
    // An entry of an unknown host, long ago.
    leave_entry(0, 0);
    EXPECT_NE(run1("nvme_get_id"), "nvme_get_id fail\n");
    EXPECT_EQ(trace_lines("# NVMe"), lines{abandoned(0)});
}

// A command killed at any moment, over and over, never locks the tunnel up for the next.
TEST_F(nvme_e2e, killed_commands_leave_the_next_one_working) {
    for (int i = 0; i < 12; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            std::freopen("/dev/null", "w", stdout);
            execl(MVBRIDGE_LAB_PATH, MVBRIDGE_LAB_PATH, dir_.c_str(), "run", "nvme_get_smart_log",
                  drive_path(1).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        usleep(static_cast<useconds_t>(2000 + 1500 * i));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_EQ(run1("nvme_get_temp_thres"),
                  "Temperature threshold: 70\xC2\xB0"
                  "C\n")
            << i;
    }
}

TEST_F(nvme_e2e, power_settings) {
    EXPECT_EQ(run1("nvme_aspm_dis"), "nvme_aspm_dis success\n");
    EXPECT_EQ(nvme("nvme_aspm"), "0");
    EXPECT_EQ(run1("nvme_pws", {"0x21"}), "nvme_pws success\n");
    EXPECT_EQ(nvme("nvme_power_state"), "1");
    // Power state 3 is beyond NPSS: the disk refuses it, the completion is fetched.
    EXPECT_EQ(run1("nvme_pws", {"3"}), "nvme_pws fail\n");
    EXPECT_EQ(tunnel().back(), k_completion + " status=0");
    EXPECT_EQ(nvme("nvme_power_state"), "1");
    EXPECT_EQ(run1("nvme_lowpw_dis"), "nvme_lowpw_dis success\n");
    EXPECT_EQ(tunnel(),
              (lines{"E5 00 00 FD 02 00 00 00 00 00 00 00 00 00 00 00 out 0 status=0", k_submit_admin + " status=0",
                     "E5 00 10 F8 00 00 02 00 00 00 00 00 00 00 00 00 out 4096 status=0", k_completion + " status=0"}));
    EXPECT_EQ(nvme("nvme_apst"), "0");
    // A failing ASPM block: no Set Features follows.
    lab_ok({"set", "PhysicalDrive1", "nvme_apst", "1"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E5 00 00 FD 02", "--status", "2", "--sense", "05/24/00"});
    EXPECT_EQ(run1("nvme_lowpw_dis"), "nvme_lowpw_dis fail\n");
    EXPECT_EQ(tunnel(), lines{"E5 00 00 FD 02 00 00 00 00 00 00 00 00 00 00 00 out 0 status=2"});
    EXPECT_EQ(nvme("nvme_apst"), "1");
}

// One disk, one vendor: the PCIe function's vendor and subsystem vendor IDs are the VID and
// SSVID its Identify Controller data reports.
TEST_F(nvme_e2e, identify_and_configuration_space_name_one_vendor) {
    EXPECT_EQ(run1("pcie_read_conf", {"0", "2"}), "9a 1f \n");
    EXPECT_EQ(run1("pcie_read_conf", {"2C", "2"}), "9a 1f \n");
    const std::string out = run1("nvme_get_id");
    EXPECT_NE(out.find("\tPCI Vendor ID: 0x1f9a\n\tPCI Subsystem Vendor ID: 0x1f9a\n"), std::string::npos) << out;
}

// A bridge made from a saved Identify Controller reports that data.
TEST_F(nvme_e2e, identify_from_a_saved_page) {
    std::string page(4096, '\0');
    const std::string sn = "SAVED-SN-0001       ";
    const std::string mn = padded("Saved Controller", 40);
    page.replace(4, 20, sn);
    page.replace(24, 40, mn);
    page.replace(64, 8, "FW-SAVED");
    page[80] = 0x00;
    page[81] = 0x02;
    page[82] = 0x01;  // VER 1.2
    page[263] = 1;    // NPSS 1
    const std::string file = dir_ + "/id_ctrl.bin";
    std::ofstream(file, std::ios::binary) << page;
    lab_ok({"create", "PhysicalDrive2", "--nvme-id-ctrl", file});
    const std::string out = run({"nvme_get_id", drive_path(2)});
    EXPECT_EQ(out.substr(0, 200).find("Identify: Controller data structure(CNTID = 0)\n"
                                      "\tPCI Vendor ID: 0x0000\n"
                                      "\tPCI Subsystem Vendor ID: 0x0000\n"
                                      "\tSerial Number: SAVED-SN-0001       \n"),
              0u)
        << out;
    EXPECT_NE(out.find("\tModel Number: " + mn + "\n\tFirmware Revision: FW-SAVED\n"), std::string::npos);
    EXPECT_NE(out.find("\tVersion (VER): 0x10200 (NVMe Revision 1.2.0)\n"), std::string::npos);
    EXPECT_EQ(out.find("RRLS"), std::string::npos);
    EXPECT_NE(out.find("\tPower State 1 Descriptor (PSD1):\n"), std::string::npos);
    EXPECT_EQ(out.find("PSD2"), std::string::npos);
    EXPECT_EQ(shown("PhysicalDrive2", "nvme", "identify"), "as loaded");
    expect_lab_error({"create", "PhysicalDrive3", "--nvme-smart", file},
                     "mvbridge-lab: " + dir_ + "/id_ctrl.bin is not a 512-byte page\n");
}

TEST_F(nvme_e2e, failures_and_other_disks) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E4 00 10 F8", "--status", "2", "--sense", "04/44/00"});
    EXPECT_EQ(run1("nvme_get_id"), "nvme_get_id fail\n");
    EXPECT_EQ(tunnel().back(), k_completion + " status=0");
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E5 40 00 F7", "--status", "2", "--sense", "05/24/00"});
    EXPECT_EQ(run1("nvme_get_smart_log"), "nvme_get_smart_log fail\n");
    EXPECT_EQ(tunnel().size(), 1u);
    lab_ok({"create", "PhysicalDrive2", "--disk", "sata"});
    EXPECT_EQ(run({"nvme_get_smart_log", drive_path(2)}), "Not NVMe SSD\n");
    EXPECT_EQ(run({"nvme_get_log", drive_path(2), "2"}), "nvme_get_log fail\n");
}

// No NVMe row of this build is left without its handler.
TEST_F(nvme_e2e, every_simple_nvme_command_is_available) {
    for (const auto& [command, args] : {std::pair<std::string, lines>{"nvme_cmd_timeout", {"30"}},
                                        {"nvme_get_id", {}},
                                        {"nvme_get_smart_log", {}},
                                        {"nvme_get_log", {"81"}},
                                        {"nvme_get_temp_thres", {}},
                                        {"nvme_rw_test", {}},
                                        {"nvme_aspm_dis", {}},
                                        {"nvme_pws", {"0"}},
                                        {"nvme_lowpw_dis", {}}}) {
        EXPECT_EQ(run1(command, args).find("not available"), std::string::npos) << command;
    }
}

}  // namespace
