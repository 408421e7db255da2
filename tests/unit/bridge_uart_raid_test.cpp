// UART and RAID commands: the blocks they send and what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zelko/bridge/uart_raid.h"
#include "cli/commands/uart_raid.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

using namespace bridge_script;

class BridgeUart : public bridge_command_test {};
class BridgeRaid : public bridge_command_test {};

const std::string k_count_block = "E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4";
const std::string k_raid_get_block = "E2 00 00 00 D2 00 00 00 00 00 00 00 01 00 00 00 in 1";
const std::string k_restart_block = "E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00 out 4 data=00 00 00 00";

TEST_F(BridgeUart, InitAndTransmit) {
    run_cases(cmd_uart_init, "uart_init",
              {
                  {{"5", "115200"},
                   {ok()},
                   "uart_init ok\n",
                   {"E3 00 00 00 4E 00 00 00 00 C2 01 00 01 00 00 00 out 1 data=05"}},
                  {{"261", "-1"},
                   {ok()},
                   "uart_init ok\n",
                   {"E3 00 00 00 4E 00 00 00 FF FF FF FF 01 00 00 00 out 1 data=05"}},
                  {{"5", "9600"}, {check_condition()}, "uart_init fail\n"},
              });
    // The pin is marked in byte 5; an empty text is a transmit of length 0; success prints
    // nothing, a refusal says so.
    run_cases(cmd_uart_tx, "uart_tx",
              {
                  {{"3", "9600", "hello"},
                   {ok()},
                   "",
                   {"E3 00 00 00 38 83 00 00 80 25 00 00 05 00 00 00 out 5 data=68 65 6C 6C 6F"}},
                  {{"255", "9600", ""},
                   {check_condition()},
                   "uart_tx fail\n",
                   {"E3 00 00 00 38 FF 00 00 80 25 00 00 00 00 00 00 out 0"}},
              });
    const uint8_t text[] = {'o', 'k'};
    next_case();
    fake::script_ok();
    EXPECT_EQ(uart_transmit(device.get(), false, 3, 9600, text, 2), 0);
    EXPECT_EQ(sent_blocks(),
              std::vector<std::string>{"E3 00 00 00 38 00 00 00 80 25 00 00 02 00 00 00 out 2 data=6F 6B"});
}

// Only a count of 1 to 1024 is read, one line per byte that arrived; any other count, taken
// as unsigned, is shown instead; a count that cannot be read, or arrives short, is a failure.
TEST_F(BridgeUart, ReceiveReadsOnlyCountsFromOneTo1024) {
    std::string kilobyte;
    for (int i = 0; i < 1024; ++i) {
        char line[8];
        std::snprintf(line, sizeof line, "%02x\n", i & 0xFF);
        kilobyte += line;
    }
    std::vector<uint8_t> bytes(1024);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    const auto count_only = [](const fake::answer& count, const char* line) {
        return command_case{{}, {count}, line, {k_count_block}};
    };
    run_cases(cmd_uart_rx, "uart_rx",
              {
                  {{},
                   {ok(le32(3)), ok({0x0A, 0x1B, 0xFF})},
                   "0a\n1b\nff\n",
                   {k_count_block, "E2 00 00 00 B8 00 00 00 00 00 00 00 03 00 00 00 in 3"}},
                  {{},
                   {ok(le32(1024)), ok(bytes)},
                   kilobyte,
                   {k_count_block, "E2 00 00 00 B8 00 00 00 00 00 00 00 00 04 00 00 in 1024"}},
                  count_only(ok(le32(0)), "rx cnt = 0\n"),
                  count_only(ok(le32(1025)), "rx cnt = 1025\n"),
                  count_only(ok(le32(0xFFFFFFFF)), "rx cnt = -1\n"),
                  count_only(ok(le32(0x80000000)), "rx cnt = -2147483648\n"),
                  count_only(check_condition(), "uart_rx fail\n"),
                  count_only({.data = {5, 0}, .residual = 2}, "uart_rx fail\n"),
                  {{}, {ok(le32(2)), check_condition()}, "uart_rx fail\n"},
                  // Another reader drained the buffer in between: one of three bytes arrived.
                  {{},
                   {ok(le32(3)), {.data = {0x41}, .residual = 2}},
                   "41\n",
                   {k_count_block, "E2 00 00 00 B8 00 00 00 00 00 00 00 03 00 00 00 in 3"}},
              });
    run_cases(cmd_uart_rx_cnt, "uart_rx_cnt",
              {{{}, {ok(le32(77))}, "cnt=77\n", {k_count_block}},
               {{}, {check_condition()}, "uart_rx_cnt fail\n"},
               {{}, {{.data = {7}, .residual = 3}}, "uart_rx_cnt fail\n"}});
}

TEST_F(BridgeUart, ClearIsSentDataInWithoutData) {
    run_cases(cmd_uart_clear_buf, "uart_clear_buf",
              {
                  {{}, {access_denied()}, "uart_clear_buf fail\n"},
                  {{}, {ok()}, "uart_clear_buf ok\n", {"E3 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00 in 0"}},
              });
    EXPECT_TRUE(fake::requests()[0].buffer_null);
}

TEST_F(BridgeRaid, GetMode) {
    const auto get = [](uint8_t mode, const char* name) {
        return command_case{{}, {ok({mode})}, std::string("RAID current mode is ") + name + "\n", {k_raid_get_block}};
    };
    run_cases(cmd_raid_get_mode, "raid_get_mode",
              {get(0, "JBOD"),
               get(1, "RAID0"),
               get(2, "RAID1"),
               get(3, "UNKNOWN"),
               get(0xFF, "UNKNOWN"),
               {{}, {check_condition()}, "raid_get_mode fail\n"}});
}

// A word is taken by its start: the mode is read, set when it differs, then the bridge is
// restarted, whatever the restart answers. The same mode warns and changes nothing.
TEST_F(BridgeRaid, SetMode) {
    const auto change = [](const char* word, uint8_t current, const char* byte5, const fake::answer& restart) {
        return command_case{
            {word},
            {ok({current}), ok(), restart},
            "raid_set_mode ok\nrestart RAID controller...\n",
            {k_raid_get_block, std::string("E3 00 00 00 52 ") + byte5 + " 00 00 52 41 49 44 00 00 00 00 out 0",
             k_restart_block}};
    };
    const auto same = [](const char* word, uint8_t current) {
        return command_case{{word},
                            {ok({current})},
                            "WARNING: new RAID's mode is same current RAID's mode.\n"
                            "Please set other RAID mode then set " +
                                std::string(word) + " again.\n",
                            {k_raid_get_block}};
    };
    const auto unsupported = [](const char* word) {
        return command_case{{word}, {}, std::string(word) + " is not supported RAID mode\n"};
    };
    run_cases(cmd_raid_set_mode, "raid_set_mode",
              {
                  change("JBOD", 2, "00", ok()),
                  change("RAID0", 0, "01", ok()),
                  change("RAID1", 1, "02", ok()),
                  change("RAID1x", 0, "02", ok()),
                  change("JBODY", 7, "00", ok()),
                  change("RAID1", 0, "02", access_denied()),
                  same("RAID1x", 2),
                  same("JBOD", 0),
                  unsupported("raid5"),
                  unsupported("jbod"),
                  unsupported("RAID"),
                  unsupported("RAID2"),
                  unsupported("JBO"),
                  unsupported(""),
                  {{"RAID0"}, {check_condition()}, "get RAID mode fail\n"},           // mode unknown: nothing changed
                  {{"RAID0"}, {ok({0}), check_condition()}, "raid_set_mode fail\n"},  // refused: no restart
              });
    next_case();
    EXPECT_EQ(set_raid_mode(device.get(), 3), -1);  // modes above RAID1 are refused before sending
}

}  // namespace
