// The RAID commands on emulated two-disk bridges: the mode in force, a new mode that takes
// effect after the restart the command asks for, and bridges that refuse.
#include "lab_fixture.h"

namespace {

const std::string k_get_cdb = "E2 00 00 00 D2 00 00 00 00 00 00 00 01 00 00 00";

class raid_e2e : public bridge_lab_test {
protected:
    raid_e2e() : bridge_lab_test({.create_options = {"--disks", "2", "--restart-delay-ms", "0"}}) {}
    std::string set_mode(const std::string& word) { return run({"raid_set_mode", drive_path(1), word}); }
    std::string get_mode() { return run({"raid_get_mode", drive_path(1)}); }
    // The set and restart blocks of the trace, and its restart notes.
    lines changes() {
        lines found = trace_lines("CMD PhysicalDrive1 E3 00 00 00 52");
        for (const std::string& line : trace_lines("CMD PhysicalDrive1 E3 00 00 00 30")) found.push_back(line);
        for (const std::string& line : trace_lines("# ")) found.push_back(line);
        return found;
    }
};

// Unknown words send nothing; the mode in force warns with a hint and changes nothing.
TEST_F(raid_e2e, unknown_or_same_mode_changes_nothing) {
    for (const char* word : {"raid5", "RAID5", "raid1", "JBO", "RAID", ""}) {
        EXPECT_EQ(set_mode(word), std::string(word) + " is not supported RAID mode\n") << word;
    }
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E2 00 00 00 D2"), lines{});
    EXPECT_EQ(set_mode("JBOD"),
              "WARNING: new RAID's mode is same current RAID's mode.\n"
              "Please set other RAID mode then set JBOD again.\n");
    lab_ok({"set", "PhysicalDrive1", "raid_mode", "1"});
    EXPECT_EQ(set_mode("RAID0-fast"),
              "WARNING: new RAID's mode is same current RAID's mode.\n"
              "Please set other RAID mode then set RAID0-fast again.\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E2 00 00 00 D2").size(), 2u);
    EXPECT_EQ(changes(), lines{});
}

TEST_F(raid_e2e, new_mode_is_set_then_the_bridge_restarts_into_it) {
    EXPECT_EQ(get_mode(), "RAID current mode is JBOD\n");
    EXPECT_EQ(set_mode("RAID1x"), "raid_set_mode ok\nrestart RAID controller...\n");
    const lines expected = {
        "CMD PhysicalDrive1 " + k_get_cdb + " in 1 status=0 err=0",
        "CMD PhysicalDrive1 E3 00 00 00 52 02 00 00 52 41 49 44 00 00 00 00 out 0 status=0 err=0",
        "CMD PhysicalDrive1 E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00 out 4 status=0 err=0 data=00 00 00 00",
        "# PhysicalDrive1 restarts (boot 1), answers again after 0 ms",
        "CLOSE PhysicalDrive1",
    };
    const lines all = trace_lines();
    ASSERT_GE(all.size(), expected.size());
    EXPECT_EQ(lines(all.end() - static_cast<std::ptrdiff_t>(expected.size()), all.end()), expected);
    EXPECT_EQ(get_mode(), "RAID current mode is RAID1\n");
    // From a mode outside the table, any known one is a change.
    lab_ok({"set", "PhysicalDrive1", "raid_mode", "255"});
    EXPECT_EQ(get_mode(), "RAID current mode is UNKNOWN\n");
    EXPECT_EQ(set_mode("RAID01"), "raid_set_mode ok\nrestart RAID controller...\n");
    EXPECT_EQ(get_mode(), "RAID current mode is RAID0\n");
}

TEST_F(raid_e2e, single_disk_bridge_refuses_the_raid_commands) {
    lab_ok({"create", "PhysicalDrive2"});
    EXPECT_EQ(run({"raid_get_mode", drive_path(2)}), "raid_get_mode fail\n");
    EXPECT_EQ(run({"raid_set_mode", drive_path(2), "RAID1"}), "get RAID mode fail\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive2 E2 00 00 00 D2"),
              lines(2, "CMD PhysicalDrive2 " + k_get_cdb + " in 1 status=2 err=0"));
    EXPECT_EQ(trace_lines("CMD PhysicalDrive2 E3"), lines{});
}

}  // namespace
