// The transport's retries of a general failure, seen in the lab's trace, and the exact
// blocks a query sends.
#include <tuple>

#include "lab_fixture.h"

namespace {

class retry_e2e : public bridge_lab_test {};

const std::string k_status_cdb = "E2 00 00 00 BB 00 00 00 00 00 00 00 10 00 00 00";

TEST_F(retry_e2e, query_sends_exactly_the_preparation_blocks) {
    EXPECT_EQ(run({"query", drive_path(1)}), query_output(drive_path(1)));
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

// Four general failures and then success take five sends; five failures give up after
// exactly five, and the command reports the failed step.
TEST_F(retry_e2e, general_failures_are_sent_again_up_to_five_times) {
    const std::string status_line = "CMD PhysicalDrive1 " + k_status_cdb + " in 16 status=0 err=";
    for (const auto& [limit, failures, output] :
         {std::tuple{"4", 4, query_output(drive_path(1))},
          {"1000", 5, "fail to get disk status\n" + query_output(drive_path(1))}}) {
        lab_ok({"fault", "PhysicalDrive1", "clear"});
        lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BB", "--os-error", "31", "--first", limit});
        clear_trace();
        EXPECT_EQ(run({"query", drive_path(1)}), output);
        std::vector<std::string> expected(5, status_line + "31");
        if (failures == 4) expected[4] = status_line + "0";
        EXPECT_EQ(trace_lines("CMD PhysicalDrive1 " + k_status_cdb), expected) << limit;
    }
}

TEST_F(retry_e2e, general_failure_of_the_bridge_check_is_retried_too) {
    lab_ok({"fault", "PhysicalDrive1", "add", "12", "--os-error", "31", "--first", "5"});
    EXPECT_EQ(run({"query", drive_path(1)}), "Not Morvelt USB bridge\n");
    EXPECT_EQ(trace_lines("CMD ").size(), 5u);
    // The rule has spent its five failures: the next run goes through.
    EXPECT_EQ(run({"query", drive_path(1)}), query_output(drive_path(1)));
}

}  // namespace
