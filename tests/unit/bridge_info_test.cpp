// Bridge information and control commands: the blocks they send and what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/commands/bridge_info.h"
#include "zelko/common/bytes.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

using namespace bridge_script;

class BridgeInfo : public bridge_command_test {};

const std::string k_uuid_block = "E2 00 00 00 C3 00 00 00 00 00 00 00 04 00 00 00 in 4";
const std::string k_status_block = "E2 00 00 00 B5 00 00 00 00 00 00 00 80 00 00 00 in 128";

// A bridge without the UUID command is identified again and read at its generation's offset.
TEST_F(BridgeInfo, UuidFallsBackToTheGenerationsOffset) {
    const auto fallback = [](const char* revision, uint32_t chip_id, const char* base, const char* offset,
                             const fake::answer& read, const char* output) {
        return command_case{{},
                            cat({check_condition()}, identified(revision, chip_id, {read})),
                            output,
                            cat(cat({k_uuid_block}, identification_blocks(base)),
                                {std::string("E2 00 00 00 96 00 00 00 ") + offset + " 04 00 00 00 in 4"})};
    };
    const fake::answer uuid = ok(le32(0x89ABCDEF));
    run_cases(cmd_get_uuid, "get_uuid",
              {
                  {{}, {ok(le32(0x00ABCDEF))}, "UUID: 00abcdef\n", {k_uuid_block}},
                  fallback("1.00", 0xA0010001, "50 B3", "FC 00 00 00", uuid, "UUID: 89abcdef\n"),
                  fallback("2.00", 0xA0010003, "50 B3", "FC 00 00 00", uuid, "UUID: 89abcdef\n"),
                  fallback("1.01", 0xA0020001, "70 B3", "FC 07 00 00", uuid, "UUID: 89abcdef\n"),
                  fallback("2.02", 0xA0030001, "70 B3", "FC 07 00 00", uuid, "UUID: 89abcdef\n"),
                  fallback("1.01", 0xA0020001, "70 B3", "FC 07 00 00", check_condition(), "get uuid fail\n"),
                  // The generation cannot be told: no fallback read is sent.
                  {{}, {access_denied(), ok(inquiry("3.00"))}, "get uuid fail\n"},
              });
}

// The page is printed as 4096 hex pairs without a line end; a text of at most 4096
// characters is written as the whole page, zero-filled.
TEST_F(BridgeInfo, CustomerPage) {
    std::vector<uint8_t> page(4096);
    std::string shown;
    for (size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<uint8_t>(i * 7);
        shown += fake::hex(&page[i], 1) + " ";
    }
    run_cases(cmd_get_cust_page, "get_cust_page",
              {{{}, {ok(page)}, shown, {"E2 00 00 00 C4 00 00 00 00 00 00 00 00 10 00 00 in 4096"}},
               {{}, {check_condition()}, "get_cust_page fail\n"}});
    run_cases(
        cmd_set_cust_page, "set_cust_page",
        {{{"x"}, {check_condition()}, "set_cust_page fail\n"}, {{std::string(4097, 'Q')}, {}, "set_cust_page fail\n"}});
    std::string full(4096, 'Q');
    full[4095] = 'Z';
    for (const std::string& text : {std::string("abc"), full}) {
        next_case();
        fake::script_ok();
        EXPECT_EQ(run(cmd_set_cust_page, "set_cust_page", {text}), "");
        EXPECT_EQ(sent_blocks(), std::vector<std::string>{"E3 00 00 00 44 00 00 00 00 00 00 00 00 10 00 00 out 4096"});
        std::vector<uint8_t> expected(text.begin(), text.end());
        expected.resize(4096);
        EXPECT_EQ(data_out(0), expected);
    }
}

TEST_F(BridgeInfo, FirmwareVersion) {
    std::vector<uint8_t> answer(20);
    put_le32(&answer[0], 3);
    put_le32(&answer[4], 14);
    put_le32(&answer[8], 159);
    put_le32(&answer[12], 777);  // not shown
    put_le32(&answer[16], 20240131);
    run_cases(cmd_fw_ver, "fw_ver",
              {
                  {{},
                   {ok(answer)},
                   "FW VERSION: 3.14.159 build date: 20240131\r\n",
                   {"E2 00 00 00 A5 00 00 00 00 00 00 00 14 00 00 00 in 20"}},
                  {{}, {access_denied()}, "fw_ver fail\n"},
              });
}

// The type is checked as an unsigned number; the bridge leaves the bus while it restarts,
// so a lost answer is still reported as ok.
TEST_F(BridgeInfo, RestartTypeIsCheckedAsUnsigned) {
    const auto restart = [](const char* type, const char* byte5, const fake::answer& answer) {
        return command_case{
            {type},
            {answer},
            "fw_restart ok\n",
            {std::string("E3 00 00 00 30 ") + byte5 + " 00 00 00 00 00 00 04 00 00 00 out 4 data=00 00 00 00"}};
    };
    const std::string invalid = "fw_restart with invalid parameters\n";
    run_cases(cmd_fw_restart, "fw_restart",
              {
                  restart("0", "00", ok()),
                  restart("1", "01", ok()),
                  restart("2", "02", ok()),
                  restart("x", "00", ok()),
                  restart("1", "01", access_denied()),
                  {{"3"}, {}, invalid},
                  {{"-1"}, {}, invalid},
                  {{"258"}, {}, invalid},
                  {{"4294967298"}, {}, invalid},
              });
}

TEST_F(BridgeInfo, DiskSpeedKeepsTheLowByteAndStopsAboveThree) {
    const auto speed = [](const char* argument, const char* byte6) {
        return command_case{{argument},
                            {ok()},
                            "set_disk_speed ok\n",
                            {std::string("E3 00 00 00 4D 00 ") + byte6 + " 00 00 00 00 00 00 00 00 00 out 0"}};
    };
    const std::string fail = "set_disk_speed fail\n";
    run_cases(cmd_set_disk_speed, "set_disk_speed",
              {
                  speed("0", "00"),
                  speed("1", "01"),
                  speed("3", "03"),
                  speed("259", "03"),
                  speed("-253", "03"),
                  {{"4"}, {}, fail},
                  {{"255"}, {}, fail},
                  {{"-1"}, {}, fail},
                  {{"2"}, {check_condition()}, fail},
              });
    run_cases(cmd_get_disk_speed, "get_disk_speed",
              {
                  {{}, {ok({2, 0x77})}, "disk speed: 2\n", {"E2 00 00 00 CD 00 00 00 00 00 00 00 02 00 00 00 in 2"}},
                  {{}, {check_condition()}, "get_disk_speed fail\n"},
              });
}

TEST_F(BridgeInfo, ReadWriteMode) {
    const auto set = [](const char* argument, const char* byte6) {
        return command_case{{argument},
                            {ok()},
                            "set_bridge_rw_md ok\n",
                            {std::string("E3 00 00 00 4F 00 ") + byte6 + " 00 00 00 00 00 00 00 00 00 out 0"}};
    };
    // Hex without a range check: the bridge refuses what it does not know.
    run_cases(cmd_set_bridge_rw_md, "set_bridge_rw_md",
              {set("10", "10"),
               set("0x2", "02"),
               set("1ff", "FF"),
               set("zz", "00"),
               {{"1"}, {check_condition()}, "set_bridge_rw_md fail\n"}});
    const auto get = [](uint8_t mode, const char* line) {
        return command_case{{}, {ok({mode})}, line, {"E2 00 00 00 CF 00 00 00 00 00 00 00 01 00 00 00 in 1"}};
    };
    run_cases(cmd_get_bridge_rw_md, "get_bridge_rw_md",
              {get(0, "normal mode(0)\n"),
               get(1, "write protection mode(1)\n"),
               get(2, "format mode(2)\n"),
               get(5, "unknown(5)\n"),
               get(255, "unknown(255)\n"),
               {{}, {check_condition()}, "get_bridge_rw_md fail\n"}});
}

std::vector<uint8_t> status_block(uint32_t usb_speed, uint32_t ips_threshold) {
    std::vector<uint8_t> block(128, 0xEE);
    put_le32(&block[20], usb_speed);
    put_le32(&block[64], ips_threshold);
    return block;
}

TEST_F(BridgeInfo, StatusBlockUsbSpeedAndIpsThreshold) {
    const auto speed = [](uint32_t code, const char* name) {
        return command_case{
            {}, {ok(status_block(code, 3))}, std::string("usb speed: ") + name + "\n", {k_status_block}};
    };
    run_cases(cmd_get_usb_speed, "get_usb_speed",
              {
                  speed(0, "unknown speed"),
                  speed(1, "low speed"),
                  speed(2, "full speed"),
                  speed(3, "high speed"),
                  speed(4, "unknown speed"),
                  speed(5, "super speed 5Gbps"),
                  speed(6, "super speed 10Gbps"),
                  speed(7, "super speed 20Gbps"),
                  speed(8, "unknown speed"),
                  speed(0x103, "unknown speed"),
                  // A failure shows the status, without a line end.
                  {{}, {check_condition()}, "get usb speed fail (2)"},
                  {{}, {access_denied()}, "get usb speed fail (5)"},
              });
    run_cases(cmd_get_ips_threshold, "get_ips_threshold",
              {
                  {{}, {ok(status_block(3, 1234))}, "IPS threshold: 1234\n", {k_status_block}},
                  {{}, {ok(status_block(3, 0xFFFFFFFF))}, "IPS threshold: -1\n"},
                  {{}, {check_condition()}, "Get IPS threshold fail\n"},
              });
}

// The hot-plug register of the generation is read, and written back with the generation's
// hot-plug bits cleared.
TEST_F(BridgeInfo, HotplugClearsTheGenerationsBits) {
    const auto hotplug = [](const char* revision, uint32_t chip_id, uint32_t before, const char* base,
                            const char* written) {
        return command_case{
            {},
            identified(revision, chip_id, {ok(le32(before)), ok()}),
            "Disable disk hotplug success \n",
            cat(identification_blocks(base),
                {"E2 00 00 00 A2 00 00 00 94 00 " + std::string(base) + " 04 00 00 00 in 4",
                 "E3 00 00 00 23 00 00 00 94 00 " + std::string(base) + " 04 00 00 00 out 4 data=" + written})};
    };
    const std::string fail = "Disable disk hotplug fail \n";
    run_cases(cmd_set_disk_hotplug_dis, "set_disk_hotplug_dis",
              {
                  hotplug("1.00", 0xA0010001, 0xFFFFFFFF, "50 B3", "FC FF FF FF"),
                  hotplug("2.00", 0xA0010002, 0x00003303, "50 B3", "00 33 00 00"),
                  hotplug("1.01", 0xA0020001, 0xFFFFFFFF, "70 B3", "FF CC FF FF"),
                  hotplug("2.02", 0xA0030000, 0x00003303, "70 B3", "03 00 00 00"),
                  {{}, identified("1.01", 0xA0020001, {check_condition()}), fail},  // read fails: nothing written
                  {{}, identified("1.01", 0xA0020001, {ok(le32(0)), check_condition()}), fail},
                  {{}, {ok(inquiry("9.99"))}, fail},  // no known generation: no register touched
              });
}

// An answer that arrives shorter than the bytes a command decodes fails the command: the
// missing bytes were never sent, so nothing is decoded from them.
TEST_F(BridgeInfo, ShortAnswersFail) {
    const auto short_by = [](size_t have, uint32_t missing) {
        return fake::answer{.data = std::vector<uint8_t>(have, 0x11), .residual = missing};
    };
    // A short UUID answer counts as a bridge without the command: the fallback follows.
    run_cases(cmd_get_uuid, "get_uuid",
              {{{},
                {short_by(3, 1), access_denied()},
                "get uuid fail\n",
                {k_uuid_block, "12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512"}}});
    run_cases(cmd_fw_ver, "fw_ver", {{{}, {short_by(16, 4)}, "fw_ver fail\n"}});
    run_cases(cmd_get_cust_page, "get_cust_page", {{{}, {short_by(4095, 1)}, "get_cust_page fail\n"}});
    run_cases(cmd_get_disk_speed, "get_disk_speed", {{{}, {short_by(1, 1)}, "get_disk_speed fail\n"}});
    run_cases(cmd_get_bridge_rw_md, "get_bridge_rw_md", {{{}, {short_by(0, 1)}, "get_bridge_rw_md fail\n"}});
    run_cases(cmd_get_usb_speed, "get_usb_speed", {{{}, {short_by(20, 108)}, "get usb speed fail (-1)"}});
    run_cases(cmd_get_ips_threshold, "get_ips_threshold", {{{}, {short_by(64, 64)}, "Get IPS threshold fail\n"}});
}

}  // namespace
