// NVMe maintenance on an emulated NVMe bridge: firmware download and activation, format
// and sanitize with its progress, through the lab's controller.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "lab_fixture.h"

namespace {

class nvme_maintenance_e2e : public bridge_lab_test {
protected:
    nvme_maintenance_e2e() : bridge_lab_test({.create_options = {"--restart-delay-ms", "0"}, .fresh_trace = true}) {}
    // Data phases of the last run: "<cdb> <dir> <length> status=<s>".
    lines data_phases() {
        lines out;
        for (const std::string& line : trace_lines("CMD PhysicalDrive1 ")) {
            const std::string rest = line.substr(std::string("CMD PhysicalDrive1 ").size());
            if (rest.substr(9, 2) == "F8") out.push_back(rest.substr(0, rest.find(" err=")));
        }
        return out;
    }
    std::string image(const std::string& revision, size_t size) {
        std::string bytes = revision;
        bytes.resize(size, 'x');
        const std::string path = dir_ + "/fw-" + std::to_string(size) + ".bin";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // What nvme_sanitize prints when it runs to the end: its progress lines (the
    // percentages), the status report with SSTAT and SCDW10, the restart.
    static std::string sanitized(const lines& progress, const std::string& sstat, const std::string& scdw10) {
        std::string out = "nvme_sanitize success\n";
        for (const std::string& percent : progress) out += "Sanitize log: Progress(SPROG) " + percent + "%\n";
        return out + "Sanitize log: Sanitize Progress (SPROG) :  65535\nSanitize Status (SSTAT) :  " + sstat +
               "\nSanitize Command Dword 10 Information (SCDW10) :  " + scdw10 + "\nrestart device\n";
    }
    std::string firmware_line() {
        const std::string out = run1("nvme_get_id");
        const size_t at = out.find("\tFirmware Revision: ");
        return out.substr(at, out.find('\n', at) - at);
    }
};

TEST_F(nvme_maintenance_e2e, download_activate_restart_shows_the_new_revision) {
    const std::string fw = image("LABFW-77", 10000);
    EXPECT_EQ(run1("nvme_fw_download", {fw, "0", "0"}), "nvme_fw_download pass\n");
    EXPECT_EQ(data_phases(), (lines{"E5 00 10 F8 00 00 02 00 00 00 00 00 00 00 00 00 out 4096 status=0",
                                    "E5 00 10 F8 00 00 02 00 00 00 00 00 00 00 00 00 out 4096 status=0",
                                    "E5 10 07 F8 00 00 02 00 00 00 00 00 00 00 00 00 out 1808 status=0"}));
    EXPECT_EQ(run1("nvme_fw_activate", {"2", "1"}), "nvme_fw_activate pass\n");
    EXPECT_EQ(firmware_line(), "\tFirmware Revision: 3B2QLAB1");
    EXPECT_EQ(run1("fw_restart", {"0"}), "fw_restart ok\n");
    EXPECT_EQ(firmware_line(), "\tFirmware Revision: LABFW-77");
    EXPECT_EQ(shown("PhysicalDrive1", "nvme", "nvme_fw_active"), "2");
    // The whole image is in slot 2 of the lab's memory nvme_slots, not in the settings file.
    const std::string nvme = lab_ok({"show", "PhysicalDrive1", "nvme"});
    EXPECT_NE(nvme.find("  firmware slot 1: the disk's own firmware\n"
                        "  firmware slot 2: 10000 bytes, revision \"LABFW-77\", running\n"
                        "  firmware slot 3: empty\n"),
              std::string::npos)
        << nvme;
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "nvme_slots", "0x400000", "16"}),
              "00400000  4C 41 42 46 57 2D 37 37  78 78 78 78 78 78 78 78  |LABFW-77xxxxxxxx|\n00400010\n");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "nvme_slots", "0x402700", "32"}),
              "00402700  78 78 78 78 78 78 78 78  78 78 78 78 78 78 78 78  |xxxxxxxxxxxxxxxx|\n"
              "00402710  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n00402720\n");
    for (const auto& file : std::filesystem::directory_iterator(dir_ + "/bridges")) {
        if (file.path().extension() != ".state") continue;
        std::ifstream in(file.path(), std::ios::binary);
        const std::string settings((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(settings.find("LABFW"), std::string::npos) << file.path();
    }
    // A 4098-byte image is refused before any chunk; the transfer flag stays as it was.
    EXPECT_EQ(run1("nvme_fw_download", {image("X", 4098), "1000", "0"}), "nvme_fw_download fail\n");
    EXPECT_EQ(data_phases(), lines{});
    EXPECT_EQ(shown("PhysicalDrive1", "settings", "xfer_flag"), "1");
    // A failing middle chunk stops the download with the flag restored.
    lab_ok({"fault", "PhysicalDrive1", "add", "E5 00 10 F8", "--status", "2", "--sense", "04/44/00", "--after", "1",
            "--first", "1"});
    EXPECT_EQ(run1("nvme_fw_download", {fw, "0", "0"}), "nvme_fw_download fail\n");
    EXPECT_EQ(data_phases().size(), 2u);
    EXPECT_EQ(shown("PhysicalDrive1", "settings", "xfer_flag"), "1");
    // Committing an image with a gap is refused by the disk.
    EXPECT_EQ(run1("nvme_fw_download", {fw, "0", "0x800"}), "nvme_fw_download pass\n");
    EXPECT_EQ(run1("nvme_fw_activate", {"3", "1"}), "nvme_fw_activate fail\n");
    EXPECT_EQ(run1("nvme_fw_activate", {"8", "1"}), "nvme_fw_activate fail\n");
    EXPECT_EQ(data_phases(), lines{});
}

TEST_F(nvme_maintenance_e2e, format) {
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test pass\n");
    EXPECT_EQ(run1("nvme_format", {"1", "0"}), "nvme_format pass\n");
    EXPECT_EQ(shown("PhysicalDrive1", "disk", "media"), "1000204886016 bytes, never written");
    // A bad namespace fails its Identify Namespace: no Format NVM is sent.
    EXPECT_EQ(run1("nvme_format", {"2", "0"}), "nvme_format fail\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E5 40 00 F7").size(), 1u);
    EXPECT_EQ(run1("nvme_format", {"1", "3"}), "nvme_format fail\n");
}

// The sanitize runs over lab time. In step time only the tool's one-second waits move it,
// so a 4 s sanitize prints exactly what real time would: progress at 0, 1, 2 and 3 s, then
// the status report once it is done, then the restart.
TEST_F(nvme_maintenance_e2e, sanitize_block_erase_prints_its_progress_exactly) {
    lab_ok({"set", "lab", "time_mode", "step"});
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_ms", "4000"});
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test pass\n");
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}),
              "nvme_sanitize success\n"
              "Sanitize log: Progress(SPROG) 0.000000%\n"
              "Sanitize log: Progress(SPROG) 25.000000%\n"
              "Sanitize log: Progress(SPROG) 50.000000%\n"
              "Sanitize log: Progress(SPROG) 75.000000%\n"
              "Sanitize log: Sanitize Progress (SPROG) :  65535\n"
              "Sanitize Status (SSTAT) :  0x101\n"
              "Sanitize Command Dword 10 Information (SCDW10) :  0x2\n"
              "restart device\n");
    // Five one-second waits, each moving lab time at once.
    EXPECT_EQ(trace_lines("# SLEEP 1000 ms of step time").size(), 5u);
    EXPECT_EQ(shown("PhysicalDrive1", "disk", "media"), "1000204886016 bytes, never written");
    EXPECT_EQ(shown("PhysicalDrive1", "state", "rw_mode"), "0");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E5 00 00 FD 01 00 00 00 0A").size(), 1u);
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E3 00 00 00 4F 00 02").size(), 1u);
    // A duration that is no whole number of seconds: 3 s of 2.5 s polls at 0, 40 and 80 %.
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_ms", "2500"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}),
              sanitized({"0.000000", "39.999390", "79.998779"}, "0x101", "0x2"));
}

// A sanitize whose status log cannot be read whole prints the log's failure, not a
// report decoded from what did not arrive, and still restarts the bridge.
TEST_F(nvme_maintenance_e2e, a_short_or_failed_sanitize_log_prints_its_failure) {
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_ms", "1"});
    for (const lines& fault : {lines{"--short", "1"}, lines{"--os-error", "5"}}) {
        lab_ok({"fault", "PhysicalDrive1", "clear"});
        lines args = {"fault", "PhysicalDrive1", "add", "E4 .. .. F8"};
        args.insert(args.end(), fault.begin(), fault.end());
        lab_ok(args);
        EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}),
                  "nvme_sanitize success\nSanitize log: command may not support ret(ffffffff)\nrestart device\n")
            << fault[0];
    }
}

// A sanitize the disk fails: polled to its end, where the status report shows the failed
// state (SSTAT 3); the disk then refuses media access until Exit Failure Mode (action 1),
// which it accepts after a sanitize run with AUSE and refuses after one without.
TEST_F(nvme_maintenance_e2e, a_failed_sanitize_then_exit_failure_mode) {
    lab_ok({"set", "lab", "time_mode", "step"});
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_ms", "2000"});
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_fail", "1"});
    const lines half = {"0.000000", "50.000000"};
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "1", "2", "0"}), sanitized(half, "0x3", "0xa"));
    EXPECT_EQ(shown("PhysicalDrive1", "nvme", "nvme_sanitize_failed"), "1");
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test fail\n");
    // Exit Failure Mode: the first poll finds the sanitize no longer running and reports
    // the failed one at once.
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_fail", "0"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "1", "0"}), sanitized({}, "0x3", "0xa"));
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test pass\n");
    // Failed in restricted completion mode (AUSE clear): Exit Failure Mode is refused, a
    // new sanitize that succeeds ends the failure.
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_fail", "1"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "4", "0"}), sanitized(half, "0x3", "0x4"));
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "1", "0"}), "nvme_sanitize failed\nrestart device\n");
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test fail\n");
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_fail", "0"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}), sanitized(half, "0x101", "0x2"));
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test pass\n");
}

// Scripted sanitize log answers, one a poll: uneven steps, a step back, an in-progress
// status with other bits set and SPROG FFFFh, then done; lab time has no say.
TEST_F(nvme_maintenance_e2e, sanitize_with_scripted_log_answers) {
    lab_ok({"set", "lab", "time_mode", "step"});
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_log", "0x00021000 0x0002C000 0x00028000 0x0102FFFF 0x0101FFFF"});
    EXPECT_EQ(shown("PhysicalDrive1", "nvme", "nvme_sanitize_log"),
              "0x00021000 0x0002C000 0x00028000 0x0102FFFF 0x0101FFFF (next 1 of 5, the last repeats)");
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}),
              sanitized({"6.250000", "75.000000", "50.000000", "99.998474"}, "0x101", "0x2"));
    EXPECT_EQ(trace_lines("# SLEEP 1000 ms of step time").size(), 5u);
    EXPECT_EQ(shown("PhysicalDrive1", "disk", "media"), "1000204886016 bytes, never written");
    // 50 % then done; the last answer repeats for every later read.
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_log", "0x00028000 0x0101FFFF"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}), sanitized({"50.000000"}, "0x101", "0x2"));
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"}), sanitized({}, "0x101", "0x2"));
    // A failed status ends it in failure mode.
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_log", "0x00020000 0x0003FFFF"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "1", "2", "0"}), sanitized({"0.000000"}, "0x3", "0xa"));
    EXPECT_EQ(run1("nvme_rw_test"), "nvme_rw_test fail\n");
    expect_lab_error({"set", "PhysicalDrive1", "nvme_sanitize_log", "50%"},
                     "mvbridge-lab: nvme_sanitize_log takes log dwords (SSTAT << 16 | SPROG), not '50%'\n");
}

// Real time scaled by the factor stays the default: the lines keep their shape.
TEST_F(nvme_maintenance_e2e, sanitize_in_fast_real_time) {
    lab_ok({"set", "lab", "time_factor", "10"});
    lab_ok({"set", "PhysicalDrive1", "nvme_sanitize_ms", "3000"});
    const std::string out = run1("nvme_sanitize", {"0", "0", "0", "0", "2", "0"});
    const std::regex shape(
        "nvme_sanitize success\n"
        "(Sanitize log: Progress\\(SPROG\\) [0-9]+\\.[0-9]{6}%\n)+"
        "Sanitize log: Sanitize Progress \\(SPROG\\) :  65535\n"
        "Sanitize Status \\(SSTAT\\) :  0x101\n"
        "Sanitize Command Dword 10 Information \\(SCDW10\\) :  0x2\n"
        "restart device\n");
    EXPECT_TRUE(std::regex_match(out, shape)) << out;
    EXPECT_EQ(trace_lines("# SLEEP").size(), 0u);
}

TEST_F(nvme_maintenance_e2e, sanitize_refusals_and_poll_failures) {
    lab_ok({"set", "lab", "time_factor", "100"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "5", "0"}), "nvme_sanitize failed\nrestart device\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E5 40 00 F7").size(), 0u);
    // Overwrite with 0x1FF: CDW11 carries 0xFF; the disk then reads 0xFF everywhere.
    const std::string out = run1("nvme_sanitize", {"0", "0", "1", "0", "3", "0x1FF"});
    EXPECT_NE(out.find("(SCDW10) :  0x13\n"), std::string::npos) << out;
    const lines submits = trace_lines("CMD PhysicalDrive1 E5 40 00 F7");
    ASSERT_GE(submits.size(), 2u);
    EXPECT_NE(submits[1].find("data=84 00 01 00"), std::string::npos) << submits[1];
    EXPECT_NE(submits[1].find(" 13 00 00 00 FF 00 00 00"), std::string::npos) << submits[1];
    EXPECT_EQ(shown("PhysicalDrive1", "nvme", "nvme_media_fill"), "0x000000FF");
    // A poll answered with the NVMe time-out is reported and polled again at once; an NVMe
    // error ends the polling.
    lab_ok({"fault", "PhysicalDrive1", "add", "E4 00 02 F8", "--status", "2", "--sense", "0B/2E/00", "--first", "1"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E4 00 02 F8", "--status", "2", "--sense", "04/44/00", "--after", "1"});
    EXPECT_EQ(run1("nvme_sanitize", {"0", "0", "0", "0", "4", "0"}),
              "nvme_sanitize success\n"
              "Sanitize log: nvme command timeout ret(0x2e00)\n"
              "Sanitize log: nvme command error ret(4400)\n"
              "restart device\n");
}

}  // namespace
