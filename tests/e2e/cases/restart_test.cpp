// A bridge's restart by the lab: away for a while in lab time, back under its own name
// when another is taken, or never; and lab time running faster than real time.
#include <chrono>
#include <thread>

#include "lab_fixture.h"

namespace {

class restart_e2e : public bridge_lab_test {
protected:
    std::string query(const std::string& path) { return run({"query", path}); }
};

TEST_F(restart_e2e, a_taken_name_is_refused_and_the_bridge_keeps_its_own) {
    lab_ok({"create", "PhysicalDrive2"});
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "0"});
    lab_ok({"set", "PhysicalDrive1", "restart_name", "PhysicalDrive2"});
    lab_ok({"restart", "PhysicalDrive1"});
    EXPECT_EQ(trace_lines("# "),
              std::vector<std::string>{"# PhysicalDrive1 restarts (boot 1), PhysicalDrive2 is taken: keeps its name, "
                                       "answers again after 0 ms"});
    EXPECT_EQ(query(drive_path(1)), query_output(drive_path(1)));
}

TEST_F(restart_e2e, restart_never_keeps_it_away_until_set_back) {
    lab_ok({"set", "PhysicalDrive1", "restart_never", "1"});
    lab_ok({"restart", "PhysicalDrive1"});
    EXPECT_EQ(query(drive_path(1)), "invalid dev path\n");
    EXPECT_EQ(run({"dev_scan"}), "");
    EXPECT_TRUE(lab_ok({"show", "PhysicalDrive1"}).starts_with("PhysicalDrive1: bridge, offline for good\n"));
    lab_ok({"set", "PhysicalDrive1", "offline_until_ms", "0"});
    EXPECT_EQ(query(drive_path(1)), query_output(drive_path(1)));
}

// A process killed while the bridge moves to its new name (here by the lab's crash hook,
// which ends the process at that step as a kill would) never loses the bridge: before the
// record is saved it answers under its old name, after that under the new one, and the
// other name leads nowhere.
TEST_F(restart_e2e, a_process_killed_while_the_name_moves_never_loses_the_bridge) {
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "0"});
    lab_ok({"set", "PhysicalDrive1", "restart_name", "PhysicalDrive4"});
    lab_ok({"create", "PhysicalDrive6"});
    lab_ok({"set", "PhysicalDrive6", "restart_delay_ms", "0"});
    lab_ok({"set", "PhysicalDrive6", "restart_name", "PhysicalDrive7"});
    lab_ok({"set", "lab", "crash_point", "name_written"});
    EXPECT_EQ(lab({"run", "fw_restart", drive_path(1), "0"}).status, 137);
    EXPECT_EQ(lab({"restart", "PhysicalDrive6"}).status, 137);
    lab_ok({"set", "lab", "crash_point", "none"});
    EXPECT_EQ(query(drive_path(1)), query_output(drive_path(1)));
    EXPECT_EQ(query(drive_path(4)), "invalid dev path\n");
    EXPECT_EQ(query(drive_path(6)), query_output(drive_path(6)));
    // The name files the killed processes wrote lead to bridges that answer under other
    // names: they are stale and not listed.
    EXPECT_EQ(lab_ok({"show"}).find("PhysicalDrive4"), std::string::npos);

    lab_ok({"set", "lab", "crash_point", "record_saved"});
    EXPECT_EQ(lab({"run", "fw_restart", drive_path(1), "0"}).status, 137);
    EXPECT_EQ(lab({"restart", "PhysicalDrive6"}).status, 137);
    lab_ok({"set", "lab", "crash_point", "none"});
    EXPECT_EQ(query(drive_path(1)), "invalid dev path\n");
    EXPECT_EQ(query(drive_path(4)), query_output(drive_path(4)));
    EXPECT_EQ(query(drive_path(6)), "invalid dev path\n");
    EXPECT_EQ(query(drive_path(7)), query_output(drive_path(7)));
    const std::string scan = run({"dev_scan"});
    EXPECT_TRUE(scan.starts_with(drive_path(4) + "\n")) << scan;
    // Built piece by piece: g++ 12 at -O3 takes a literal added to a temporary string for an
    // overlapping copy (-Wrestrict).
    std::string line = "\n";
    line += drive_path(7);
    line += "\n";
    EXPECT_NE(scan.find(line), std::string::npos) << scan;
    EXPECT_EQ(scan.find(drive_path(1)), std::string::npos) << scan;
    EXPECT_TRUE(
        lab_ok({"show"}).ends_with("\nPhysicalDrive4 bridge, disk nvme in state 1, usb, online\n"
                                   "PhysicalDrive7 bridge, disk nvme in state 1, usb, online\n"));
    // The old names the killed processes left behind are free for a new device.
    lab_ok({"create", "PhysicalDrive1", "--disk", "none"});
    EXPECT_TRUE(lab_ok({"show", "PhysicalDrive1"}).starts_with("PhysicalDrive1: bridge"))
        << lab_ok({"show", "PhysicalDrive1"});
    EXPECT_EQ(query(drive_path(4)), query_output(drive_path(4)));
}

// 1000 s of lab time at a factor of 1000 pass in about one real second.
TEST_F(restart_e2e, lab_time_runs_faster_by_the_time_factor) {
    lab_ok({"set", "lab", "time_factor", "1000"});
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "1000000"});
    const auto start = std::chrono::steady_clock::now();
    lab_ok({"restart", "PhysicalDrive1"});
    EXPECT_EQ(query(drive_path(1)), "invalid dev path\n");
    std::string out;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        out = query(drive_path(1));
        if (out != "invalid dev path\n") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(out, query_output(drive_path(1)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
