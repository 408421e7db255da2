// The RAID commands on emulated two-disk bridges: the mode in force, a new mode that takes
// effect after the restart the command asks for, and bridges that refuse.
#include <chrono>
#include <thread>

#include "lab_fixture.h"

namespace {

const std::string k_get_cdb = "E2 00 00 00 D2 00 00 00 00 00 00 00 01 00 00 00";

class raid_e2e : public lab_test {
protected:
    void SetUp() override {
        lab_test::SetUp();
        lab_ok({"create", "PhysicalDrive1", "--disks", "2", "--restart-delay-ms", "0"});
        lab_ok({"trace", "on"});
    }
    std::string set_mode(const std::string& word) { return run({"raid_set_mode", drive_path(1), word}); }
    std::string get_mode() { return run({"raid_get_mode", drive_path(1)}); }
    std::vector<std::string> cmds(const std::string& cdb_prefix) {
        return trace_lines("CMD PhysicalDrive1 " + cdb_prefix);
    }
    // The set and restart blocks of the trace, and its restart notes.
    std::vector<std::string> changes() {
        std::vector<std::string> lines = cmds("E3 00 00 00 52");
        for (const std::string& line : cmds("E3 00 00 00 30")) lines.push_back(line);
        for (const std::string& line : trace_lines("# ")) lines.push_back(line);
        return lines;
    }
};

TEST_F(raid_e2e, unknown_mode_word_sends_nothing) {
    for (const char* word : {"raid5", "RAID5", "raid1", "JBO", "RAID", ""}) {
        EXPECT_EQ(set_mode(word), std::string(word) + " is not supported RAID mode\n") << word;
    }
    EXPECT_EQ(cmds("E2 00 00 00 D2"), std::vector<std::string>{});
    EXPECT_EQ(changes(), std::vector<std::string>{});
}

TEST_F(raid_e2e, new_mode_is_set_then_the_bridge_restarts_into_it) {
    EXPECT_EQ(get_mode(), "RAID current mode is JBOD\n");
    EXPECT_EQ(set_mode("RAID1x"), "raid_set_mode ok\nrestart RAID controller...\n");
    const std::vector<std::string> expected = {
        "CMD PhysicalDrive1 " + k_get_cdb + " in 1 status=0 err=0",
        "CMD PhysicalDrive1 E3 00 00 00 52 02 00 00 52 41 49 44 00 00 00 00 out 0 status=0 err=0",
        "CMD PhysicalDrive1 E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00 out 4 status=0 err=0 data=00 00 00 00",
        "# PhysicalDrive1 restarts (boot 1), answers again after 0 ms",
        "CLOSE PhysicalDrive1",
    };
    const std::vector<std::string> all = trace_lines();
    ASSERT_GE(all.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(all.end() - static_cast<std::ptrdiff_t>(expected.size()), all.end()), expected);
    EXPECT_EQ(get_mode(), "RAID current mode is RAID1\n");
}

struct raid_change_case {
    const char* word;
    const char* mode_byte;
    const char* shown;
};

class raid_change_e2e : public raid_e2e, public ::testing::WithParamInterface<raid_change_case> {};

TEST_P(raid_change_e2e, each_mode_from_another) {
    const raid_change_case& c = GetParam();
    // Start from a mode other than the one asked for.
    lab_ok({"set", "PhysicalDrive1", "raid_mode", std::string(c.mode_byte) == "00" ? "1" : "0"});
    EXPECT_EQ(set_mode(c.word), "raid_set_mode ok\nrestart RAID controller...\n");
    EXPECT_EQ(cmds("E3 00 00 00 52"),
              std::vector<std::string>{"CMD PhysicalDrive1 E3 00 00 00 52 " + std::string(c.mode_byte) +
                                       " 00 00 52 41 49 44 00 00 00 00 out 0 status=0 err=0"});
    EXPECT_EQ(get_mode(), std::string("RAID current mode is ") + c.shown + "\n");
}

INSTANTIATE_TEST_SUITE_P(words, raid_change_e2e,
                         ::testing::Values(raid_change_case{"JBOD", "00", "JBOD"},
                                           raid_change_case{"RAID0", "01", "RAID0"},
                                           raid_change_case{"RAID1", "02", "RAID1"},
                                           raid_change_case{"JBODs", "00", "JBOD"},
                                           raid_change_case{"RAID01", "01", "RAID0"}));

TEST_F(raid_e2e, same_mode_warns_and_changes_nothing) {
    EXPECT_EQ(set_mode("JBOD"), "WARNING: new RAID's mode is same current RAID's mode.\n"
                                "Please set other RAID mode then set JBOD again.\n");
    lab_ok({"set", "PhysicalDrive1", "raid_mode", "1"});
    EXPECT_EQ(set_mode("RAID0-fast"), "WARNING: new RAID's mode is same current RAID's mode.\n"
                                      "Please set other RAID mode then set RAID0-fast again.\n");
    EXPECT_EQ(cmds("E2 00 00 00 D2").size(), 2u);
    EXPECT_EQ(changes(), std::vector<std::string>{});
}

TEST_F(raid_e2e, new_mode_is_in_force_only_after_the_restart_delay) {
    lab_ok({"set", "lab", "time_factor", "1000"});
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "1000000"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(set_mode("RAID0"), "raid_set_mode ok\nrestart RAID controller...\n");
    EXPECT_EQ(get_mode(), "invalid dev path\n");
    std::string out;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        out = get_mode();
        if (out != "invalid dev path\n") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(out, "RAID current mode is RAID0\n");
}

TEST_F(raid_e2e, mode_values_outside_the_table_are_unknown) {
    lab_ok({"set", "PhysicalDrive1", "raid_mode", "3"});
    EXPECT_EQ(get_mode(), "RAID current mode is UNKNOWN\n");
    lab_ok({"set", "PhysicalDrive1", "raid_mode", "255"});
    EXPECT_EQ(get_mode(), "RAID current mode is UNKNOWN\n");
    // From an unknown mode any known one is a change.
    EXPECT_EQ(set_mode("JBOD"), "raid_set_mode ok\nrestart RAID controller...\n");
    EXPECT_EQ(get_mode(), "RAID current mode is JBOD\n");
}

TEST_F(raid_e2e, single_disk_bridge_refuses_the_raid_commands) {
    lab_ok({"create", "PhysicalDrive2"});
    EXPECT_EQ(run({"raid_get_mode", drive_path(2)}), "raid_get_mode fail\n");
    EXPECT_EQ(run({"raid_set_mode", drive_path(2), "RAID1"}), "get RAID mode fail\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive2 E2 00 00 00 D2"),
              std::vector<std::string>(2, "CMD PhysicalDrive2 " + k_get_cdb + " in 1 status=2 err=0"));
    EXPECT_EQ(trace_lines("CMD PhysicalDrive2 E3"), std::vector<std::string>{});
}

TEST_F(raid_e2e, refused_set_restarts_nothing) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 52", "--status", "2", "--sense", "05/24/00"});
    EXPECT_EQ(set_mode("RAID1"), "raid_set_mode fail\n");
    EXPECT_EQ(cmds("E3 00 00 00 30"), std::vector<std::string>{});
    EXPECT_EQ(trace_lines("# "), std::vector<std::string>{});
    EXPECT_EQ(get_mode(), "RAID current mode is JBOD\n");
}

TEST_F(raid_e2e, failed_mode_read_stops_before_any_change) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. D2", "--os-error", "5", "--first", "2"});
    EXPECT_EQ(set_mode("RAID1"), "get RAID mode fail\n");
    EXPECT_EQ(changes(), std::vector<std::string>{});
    EXPECT_EQ(get_mode(), "raid_get_mode fail\n");
    EXPECT_EQ(get_mode(), "RAID current mode is JBOD\n");
}

TEST_F(raid_e2e, restart_of_the_lab_also_applies_a_waiting_mode) {
    // The set goes through but the restart block is lost: the mode waits for the next
    // restart, whatever causes it.
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 30", "--os-error", "5", "--first", "1"});
    EXPECT_EQ(set_mode("RAID0"), "raid_set_mode ok\nrestart RAID controller...\n");
    EXPECT_EQ(get_mode(), "RAID current mode is JBOD\n");
    EXPECT_NE(lab_ok({"show", "PhysicalDrive1", "state"}).find("  raid_mode 0\n  raid_pending RAID0\n"),
              std::string::npos);
    lab_ok({"restart", "PhysicalDrive1"});
    EXPECT_EQ(get_mode(), "RAID current mode is RAID0\n");
    EXPECT_NE(lab_ok({"show", "PhysicalDrive1", "state"}).find("  raid_mode 1\n  raid_pending none\n"),
              std::string::npos);
}

}  // namespace
