// UART and RAID commands: the blocks they send and what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/uart_raid.h"
#include "bridge/uart_raid_commands.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

namespace {

using namespace bridge_script;

class BridgeUart : public bridge_command_test {};
class BridgeRaid : public bridge_command_test {};

constexpr const char* k_count_block = "E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00";
constexpr const char* k_raid_get_block = "E2 00 00 00 D2 00 00 00 00 00 00 00 01 00 00 00";
constexpr const char* k_restart_block = "E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00";

TEST_F(BridgeUart, InitSendsThePinAndBaudRate) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_uart_init, "uart_init", {"5", "115200"}), "uart_init ok\n");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E3 00 00 00 4E 00 00 00 00 C2 01 00 01 00 00 00", false, 1);
    EXPECT_EQ(data_out(0), std::vector<uint8_t>{5});

    next_case();
    fake::script_ok();
    EXPECT_EQ(run(cmd_uart_init, "uart_init", {"261", "-1"}), "uart_init ok\n");
    expect_block(0, "E3 00 00 00 4E 00 00 00 FF FF FF FF 01 00 00 00", false, 1);
    EXPECT_EQ(data_out(0), std::vector<uint8_t>{5});

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_uart_init, "uart_init", {"5", "9600"}), "uart_init fail\n");
}

TEST_F(BridgeUart, TransmitMarksThePinAndSendsTheText) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_uart_tx, "uart_tx", {"3", "9600", "hello"}), "");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E3 00 00 00 38 83 00 00 80 25 00 00 05 00 00 00", false, 5);
    EXPECT_EQ(data_out(0), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));

    // An empty text is a transmit of length 0; a refusal prints nothing either.
    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_uart_tx, "uart_tx", {"255", "9600", ""}), "");
    expect_block(0, "E3 00 00 00 38 FF 00 00 80 25 00 00 00 00 00 00", false, 0);
    EXPECT_TRUE(data_out(0).empty());
}

TEST_F(BridgeUart, TransmitWithoutPinLeavesByteFiveClear) {
    const uint8_t text[] = {'o', 'k'};
    fake::script_ok();
    EXPECT_EQ(uart_transmit(device.get(), false, 3, 9600, text, 2), 0);
    expect_block(0, "E3 00 00 00 38 00 00 00 80 25 00 00 02 00 00 00", false, 2);
}

TEST_F(BridgeUart, ReceivePrintsOneLinePerByte) {
    fake::script_ok(le32(3));
    fake::script_ok({0x0A, 0x1B, 0xFF});
    EXPECT_EQ(run(cmd_uart_rx, "uart_rx"), "0a\n1b\nff\n");
    ASSERT_EQ(fake::requests().size(), 2u);
    expect_block(0, k_count_block, true, 4);
    expect_block(1, "E2 00 00 00 B8 00 00 00 00 00 00 00 03 00 00 00", true, 3);
}

TEST_F(BridgeUart, ReceiveReadsAFullBuffer) {
    std::vector<uint8_t> bytes(1024);
    std::string expected;
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
        char line[8];
        std::snprintf(line, sizeof line, "%02x\n", bytes[i]);
        expected += line;
    }
    fake::script_ok(le32(1024));
    fake::script_ok(bytes);
    EXPECT_EQ(run(cmd_uart_rx, "uart_rx"), expected);
    expect_block(1, "E2 00 00 00 B8 00 00 00 00 00 00 00 00 04 00 00", true, 1024);
}

struct count_only_case {
    fake::answer count_answer;
    const char* line;
};

TEST_F(BridgeUart, ReceiveShowsOnlyTheCountOutsideOneTo1024) {
    const count_only_case cases[] = {
        {fake::answer{.data = le32(0)}, "rx cnt = 0\n"},
        {fake::answer{.data = le32(1025)}, "rx cnt = 1025\n"},
        {fake::answer{.data = le32(0xFFFFFFFF)}, "rx cnt = -1\n"},
        {fake::answer{.data = le32(0x80000000)}, "rx cnt = -2147483648\n"},
        {fake::answer{.scsi_status = 2}, "rx cnt = 0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        next_case();
        fake::script(c.count_answer);
        EXPECT_EQ(run(cmd_uart_rx, "uart_rx"), c.line);
        ASSERT_EQ(fake::requests().size(), 1u);
        expect_block(0, k_count_block, true, 4);
    }
}

TEST_F(BridgeUart, ReceiveFailureIsReported) {
    fake::script_ok(le32(2));
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_uart_rx, "uart_rx"), "uart_rx fail\n");
    EXPECT_EQ(fake::requests().size(), 2u);
}

TEST_F(BridgeUart, ReceiveCount) {
    fake::script_ok(le32(77));
    EXPECT_EQ(run(cmd_uart_rx_cnt, "uart_rx_cnt"), "cnt=77\n");
    expect_block(0, k_count_block, true, 4);

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_uart_rx_cnt, "uart_rx_cnt"), "cnt=0\n");
}

TEST_F(BridgeUart, ClearIsSentDataInWithoutData) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_uart_clear_buf, "uart_clear_buf"), "uart_clear_buf ok\n");
    expect_block(0, "E3 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00", true, 0);
    EXPECT_TRUE(fake::requests()[0].buffer_null);

    next_case();
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(run(cmd_uart_clear_buf, "uart_clear_buf"), "uart_clear_buf fail\n");
}

TEST_F(BridgeRaid, GetModeNames) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0, "RAID current mode is JBOD\n"},       {1, "RAID current mode is RAID0\n"},
        {2, "RAID current mode is RAID1\n"},      {3, "RAID current mode is UNKNOWN\n"},
        {0xFF, "RAID current mode is UNKNOWN\n"},
    };
    for (const auto& [mode, line] : cases) {
        next_case();
        fake::script_ok({mode});
        EXPECT_EQ(run(cmd_raid_get_mode, "raid_get_mode"), line);
        expect_block(0, k_raid_get_block, true, 1);
    }

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_raid_get_mode, "raid_get_mode"), "raid_get_mode fail\n");
}

TEST_F(BridgeRaid, UnsupportedWordsSendNothing) {
    for (const char* word : {"raid5", "jbod", "RAID", "RAID2", "JBO", ""}) {
        EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {word}), std::string(word) + " is not supported RAID mode\n");
    }
    EXPECT_TRUE(fake::requests().empty());
}

struct raid_change_case {
    const char* word;
    uint8_t current;
    const char* set_block;
};

TEST_F(BridgeRaid, ChangeSetsTheModeThenRestarts) {
    const raid_change_case cases[] = {
        {"JBOD", 2, "E3 00 00 00 52 00 00 00 52 41 49 44 00 00 00 00"},
        {"RAID0", 0, "E3 00 00 00 52 01 00 00 52 41 49 44 00 00 00 00"},
        {"RAID1", 1, "E3 00 00 00 52 02 00 00 52 41 49 44 00 00 00 00"},
        {"RAID1x", 0, "E3 00 00 00 52 02 00 00 52 41 49 44 00 00 00 00"},
        {"JBODY", 7, "E3 00 00 00 52 00 00 00 52 41 49 44 00 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        next_case();
        fake::script_ok({c.current});
        fake::script_ok();
        fake::script_ok();
        EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {c.word}), "raid_set_mode ok\nrestart RAID controller...\n");
        ASSERT_EQ(fake::requests().size(), 3u);
        expect_block(0, k_raid_get_block, true, 1);
        expect_block(1, c.set_block, false, 0);
        expect_block(2, k_restart_block, false, 4);
        EXPECT_EQ(data_out(2), std::vector<uint8_t>(4, 0));
    }
}

TEST_F(BridgeRaid, SameModeWarnsAndChangesNothing) {
    fake::script_ok({2});
    EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {"RAID1x"}),
              "WARNING: new RAID's mode is same current RAID's mode.\n"
              "Please set other RAID mode then set RAID1x again.\n");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, k_raid_get_block, true, 1);

    next_case();
    fake::script_ok({0});
    EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {"JBOD"}),
              "WARNING: new RAID's mode is same current RAID's mode.\n"
              "Please set other RAID mode then set JBOD again.\n");
    EXPECT_EQ(fake::requests().size(), 1u);
}

TEST_F(BridgeRaid, SetFailures) {
    // The current mode cannot be read: nothing is changed.
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {"RAID0"}), "get RAID mode fail\n");
    EXPECT_EQ(fake::requests().size(), 1u);

    // The bridge refuses the new mode: no restart.
    next_case();
    fake::script_ok({0});
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {"RAID0"}), "raid_set_mode fail\n");
    EXPECT_EQ(fake::requests().size(), 2u);

    // The restart's answer is not shown.
    next_case();
    fake::script_ok({0});
    fake::script_ok();
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(run(cmd_raid_set_mode, "raid_set_mode", {"RAID1"}), "raid_set_mode ok\nrestart RAID controller...\n");

    // The operation refuses modes above RAID1 before sending.
    next_case();
    EXPECT_EQ(set_raid_mode(device.get(), 3), -1);
    EXPECT_TRUE(fake::requests().empty());
}

}  // namespace
