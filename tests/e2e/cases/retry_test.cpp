// The transport's retries of a general failure, seen in the lab's trace, and the exact
// blocks a query sends.
#include "lab_fixture.h"

namespace {

class retry_e2e : public lab_test {
protected:
    void SetUp() override {
        lab_test::SetUp();
        lab_ok({"create", "PhysicalDrive1"});
        lab_ok({"trace", "on"});
    }
    std::string query_output() { return drive_path(1) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n"; }
};

const std::string k_status_cdb = "E2 00 00 00 BB 00 00 00 00 00 00 00 10 00 00 00";

TEST_F(retry_e2e, query_sends_exactly_the_preparation_blocks) {
    EXPECT_EQ(run({"query", drive_path(1)}), query_output());
    const std::vector<std::string> expected = {
        "OPEN " + drive_path(1) + " ok",
        "CMD PhysicalDrive1 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0",
        "CMD PhysicalDrive1 E2 00 00 00 92 00 00 00 C8 00 70 B3 04 00 00 00 in 4 status=0 err=0",
        "CMD PhysicalDrive1 E2 00 00 00 92 00 00 00 C4 00 70 B3 04 00 00 00 in 4 status=0 err=0",
        "CMD PhysicalDrive1 E2 00 00 00 92 00 00 00 00 40 00 AC 60 00 00 00 in 96 status=0 err=0",
        "CMD PhysicalDrive1 12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512 status=0 err=0",
        "CMD PhysicalDrive1 " + k_status_cdb + " in 16 status=0 err=0",
        "CMD PhysicalDrive1 A1 08 0E 00 01 00 00 00 00 EC 00 00 00 00 00 00 in 512 status=0 err=0",
        "CLOSE PhysicalDrive1",
    };
    EXPECT_EQ(trace_lines(), expected);
}

TEST_F(retry_e2e, four_general_failures_then_success_works) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BB", "--os-error", "31", "--first", "4"});
    EXPECT_EQ(run({"query", drive_path(1)}), query_output());
    const std::vector<std::string> status_cmds = trace_lines("CMD PhysicalDrive1 " + k_status_cdb);
    ASSERT_EQ(status_cmds.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(status_cmds[i], "CMD PhysicalDrive1 " + k_status_cdb + " in 16 status=0 err=31");
    EXPECT_EQ(status_cmds[4], "CMD PhysicalDrive1 " + k_status_cdb + " in 16 status=0 err=0");
    EXPECT_EQ(lab_ok({"fault", "PhysicalDrive1", "list"}), "1: E2 .. .. .. BB --os-error 31 --first 4 (matched 5)\n");
}

TEST_F(retry_e2e, five_general_failures_give_up_after_exactly_five) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BB", "--os-error", "31"});
    EXPECT_EQ(run({"query", drive_path(1)}), "fail to get disk status\n" + query_output());
    const std::vector<std::string> status_cmds = trace_lines("CMD PhysicalDrive1 " + k_status_cdb);
    ASSERT_EQ(status_cmds.size(), 5u);
    for (const std::string& line : status_cmds) EXPECT_EQ(line, "CMD PhysicalDrive1 " + k_status_cdb + " in 16 status=0 err=31");
}

TEST_F(retry_e2e, access_denied_is_not_retried) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BB", "--os-error", "5"});
    EXPECT_EQ(run({"query", drive_path(1)}), "fail to get disk status\n" + query_output());
    EXPECT_EQ(trace_lines("CMD PhysicalDrive1 " + k_status_cdb),
              std::vector<std::string>{"CMD PhysicalDrive1 " + k_status_cdb + " in 16 status=0 err=5"});
}

TEST_F(retry_e2e, general_failure_of_the_bridge_check_is_retried_too) {
    lab_ok({"fault", "PhysicalDrive1", "add", "12", "--os-error", "31", "--first", "5"});
    EXPECT_EQ(run({"query", drive_path(1)}), "Not Morvelt USB bridge\n");
    EXPECT_EQ(trace_lines("CMD ").size(), 5u);
    // The rule has spent its five failures: the next run goes through.
    EXPECT_EQ(run({"query", drive_path(1)}), query_output());
}

}  // namespace
