// Fault rules: patterns, counting, and what a firing rule does to a request.
#include "zelko/common/bytes.h"
#include "lab/record/fault.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

fault_rule rule_of(const std::string& pattern, const std::vector<std::string>& options) {
    fault_rule rule;
    std::string error;
    EXPECT_TRUE(fault_parse_pattern(pattern, &rule, &error)) << error;
    EXPECT_TRUE(fault_parse_options(options, false, &rule, &error)) << error;
    return rule;
}

TEST(fault_rule, pattern_matches_the_start_of_the_block_with_wildcards) {
    const fault_rule rule = rule_of("E2 .. .. .. bb", {"--corrupt"});
    EXPECT_TRUE(fault_matches(rule, cdb_of("E2 00 00 00 BB 00 00 00 00 00 00 00 10").data()));
    EXPECT_TRUE(fault_matches(rule, cdb_of("E2 FF 01 02 BB 77").data()));
    EXPECT_FALSE(fault_matches(rule, cdb_of("E3 00 00 00 BB").data()));
    EXPECT_FALSE(fault_matches(rule, cdb_of("E2 00 00 00 BA").data()));
    EXPECT_EQ(fault_pattern_text(rule), "E2 .. .. .. BB");
}

// --first and --after choose the matches that fire; every match is counted.
TEST(fault_rule, first_and_after_choose_the_matches_that_fire) {
    struct firing_case {
        uint32_t first;
        uint32_t after;
        std::vector<bool> fires;  // on matches 1, 2, 3, ...
    };
    const firing_case cases[] = {
        {0, 0, {true, true, true}},
        {2, 0, {true, true, false, false}},
        {0, 2, {false, false, true, true}},
        {1, 2, {false, false, true, false}},
        {4, 0, {true, true, true, true, false}},
    };
    for (const firing_case& c : cases) {
        fault_rule rule = rule_of("12", {"--status", "2"});
        rule.first = c.first;
        rule.after = c.after;
        for (size_t i = 0; i < c.fires.size(); ++i) {
            EXPECT_EQ(fault_count_and_fire(rule), c.fires[i]) << c.first << "/" << c.after << " match " << i + 1;
        }
        EXPECT_EQ(rule.matches, c.fires.size());
    }
}

TEST(fault_rule, encoding_round_trips_with_its_counter) {
    fault_rule rule = rule_of("E2 .. .. .. 92 .. .. .. 00 40 00 AC",
                              {"--status", "2", "--sense", "05/24/00", "--first", "3", "--after", "1"});
    rule.matches = 7;
    const std::string line = fault_encode(rule);
    EXPECT_EQ(line, "E2,..,..,..,92,..,..,..,00,40,00,AC --status 2 --sense 05/24/00 --first 3 --after 1 --matches 7");
    fault_rule back;
    std::string error;
    ASSERT_TRUE(fault_decode(line, &back, &error)) << error;
    EXPECT_EQ(fault_encode(back), line);
    // The counter is no option of the verb.
    EXPECT_FALSE(fault_parse_options({"--corrupt", "--matches", "3"}, false, &back, &error));
}

TEST(fault_rule, status_and_os_error_stop_the_block) {
    bridge_record bridge = make_bridge();
    bridge.faults.push_back(rule_of("E3 .. .. .. 4B", {"--status", "2", "--sense", "0B/00/00"}));
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4B 00 00 00 00 00 00 00 01", {0}).sense(), "0B/00/00");
    EXPECT_EQ(bridge.state.xfer_flag, 1u);
    EXPECT_TRUE(bridge.dirty);  // the match was counted

    bridge.faults = {rule_of("E3 .. .. .. 4B", {"--os-error", "1167"})};
    const served failed = serve_out(bridge, "E3 00 00 00 4B 00 00 00 00 00 00 00 01", {0});
    EXPECT_EQ(failed.answer.os_error, 1167);
    EXPECT_EQ(bridge.state.xfer_flag, 1u);
}

TEST(fault_rule, short_and_corrupt_change_the_data_in) {
    bridge_record bridge = make_bridge();
    bridge.faults = {rule_of("12", {"--short", "10"})};
    EXPECT_EQ(serve_in(bridge, "12 00 00 02 00", 512).answer.data.size(), 10u);
    bridge.faults = {rule_of("E2 .. .. .. CB", {"--corrupt"})};
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CB 00 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{0xFE});
}

TEST(fault_rule, corrupt_write_and_tear_damage_what_the_device_stores) {
    bridge_record bridge = make_bridge();
    bridge.faults = {rule_of("E3 .. .. .. 23", {"--corrupt-write"})};
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 23 00 00 00 94 00 70 B3 04", {0x00, 0x11, 0x22, 0x33}).sense(), "");
    EXPECT_EQ(bridge.state.registers[0x94], 0xCCDDEEFFu);

    bridge.faults = {rule_of("E3 .. .. .. 23", {"--tear", "2"})};
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 23 00 00 00 94 00 70 B3 04", {0x44, 0x55, 0x66, 0x77}).sense(), "");
    EXPECT_EQ(bridge.state.registers[0x94], 0xFFFF5544u);

    // A dropped write is acknowledged and leaves what the device holds; the next one lands.
    bridge.faults = {rule_of("E3 .. .. .. 23", {"--drop-write", "--first", "1"})};
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 23 00 00 00 94 00 70 B3 04", {0x01, 0x02, 0x03, 0x04}).sense(), "");
    EXPECT_EQ(bridge.state.registers[0x94], 0xFFFF5544u);
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 23 00 00 00 94 00 70 B3 04", {0x01, 0x02, 0x03, 0x04}).sense(), "");
    EXPECT_EQ(bridge.state.registers[0x94], 0x04030201u);
}

TEST(fault_rule, the_first_rule_that_fires_wins_and_every_match_counts) {
    bridge_record bridge = make_bridge();
    bridge.faults = {rule_of("12", {"--status", "2", "--sense", "05/24/00", "--after", "1"}),
                     rule_of("12", {"--os-error", "5"})};
    EXPECT_EQ(serve_in(bridge, "12 00 00 02 00", 512).answer.os_error, 5);
    const served second = serve_in(bridge, "12 00 00 02 00", 512);
    EXPECT_EQ(second.sense(), "05/24/00");
    EXPECT_EQ(second.answer.os_error, 0);
    EXPECT_EQ(bridge.faults[0].matches, 2u);
    EXPECT_EQ(bridge.faults[1].matches, 2u);
}

}  // namespace
