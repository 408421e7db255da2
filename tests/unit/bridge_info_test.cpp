// Bridge information and control commands: the blocks they send and what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/bridge_info.h"
#include "bridge/bridge_info_commands.h"
#include "common/bytes.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

namespace {

using namespace bridge_script;

class BridgeInfo : public bridge_command_test {};

TEST_F(BridgeInfo, UuidFirstTry) {
    fake::script_ok(le32(0x00ABCDEF));
    EXPECT_EQ(run(cmd_get_uuid, "get_uuid"), "UUID: 00abcdef\n");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E2 00 00 00 C3 00 00 00 00 00 00 00 04 00 00 00", true, 4);
}

struct uuid_fallback_case {
    const char* revision;
    uint32_t chip_id;
    const char* fallback_block;
};

TEST_F(BridgeInfo, UuidFallsBackToTheGenerationsOffset) {
    const uuid_fallback_case cases[] = {
        {"1.00", 0xA0010001, "E2 00 00 00 96 00 00 00 FC 00 00 00 04 00 00 00"},
        {"2.00", 0xA0010003, "E2 00 00 00 96 00 00 00 FC 00 00 00 04 00 00 00"},
        {"1.01", 0xA0020001, "E2 00 00 00 96 00 00 00 FC 07 00 00 04 00 00 00"},
        {"2.02", 0xA0030001, "E2 00 00 00 96 00 00 00 FC 07 00 00 04 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.revision);
        next_case();
        fake::script(check_condition());
        script_identify(c.revision, c.chip_id);
        fake::script_ok(le32(0x89ABCDEF));
        EXPECT_EQ(run(cmd_get_uuid, "get_uuid"), "UUID: 89abcdef\n");
        ASSERT_EQ(fake::requests().size(), 5u);
        expect_block(0, "E2 00 00 00 C3 00 00 00 00 00 00 00 04 00 00 00", true, 4);
        expect_block(1, "12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00", true, 512);
        expect_block(4, c.fallback_block, true, 4);
    }
}

TEST_F(BridgeInfo, UuidFailures) {
    // The fallback read fails.
    fake::script_os_error(fake::k_access_denied);
    script_identify("1.01");
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_get_uuid, "get_uuid"), "get uuid fail\n");
    EXPECT_EQ(fake::requests().size(), 5u);

    // The generation cannot be told: no fallback read is sent.
    next_case();
    fake::script(check_condition());
    fake::script_ok(inquiry("3.00"));
    EXPECT_EQ(run(cmd_get_uuid, "get_uuid"), "get uuid fail\n");
    EXPECT_EQ(fake::requests().size(), 2u);

    // The operation leaves the caller's value alone on failure.
    next_case();
    fake::script(check_condition());
    fake::script_ok(inquiry("3.00"));
    uint32_t uuid = 0x55;
    EXPECT_EQ(get_uuid(device.get(), &uuid), -1);
    EXPECT_EQ(uuid, 0x55u);
}

TEST_F(BridgeInfo, CustomerPageWriteHoldsTheTextThenZeros) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_set_cust_page, "set_cust_page", {"abc"}), "");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E3 00 00 00 44 00 00 00 00 00 00 00 00 10 00 00", false, 4096);
    std::vector<uint8_t> expected(4096, 0);
    expected[0] = 0x61;
    expected[1] = 0x62;
    expected[2] = 0x63;
    EXPECT_EQ(data_out(0), expected);

    // A refused write prints nothing either.
    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_set_cust_page, "set_cust_page", {"x"}), "");
    EXPECT_EQ(fake::requests().size(), 1u);
}

TEST_F(BridgeInfo, CustomerPageTextFillsThePageExactly) {
    std::string text(4096, 'Q');
    text[4095] = 'Z';
    fake::script_ok();
    EXPECT_EQ(run(cmd_set_cust_page, "set_cust_page", {text}), "");
    ASSERT_EQ(fake::requests().size(), 1u);
    EXPECT_EQ(data_out(0), std::vector<uint8_t>(text.begin(), text.end()));
}

TEST_F(BridgeInfo, CustomerPageTextTooLongIsRefusedUnsent) {
    EXPECT_EQ(run(cmd_set_cust_page, "set_cust_page", {std::string(4097, 'Q')}), "set_cust_page fail\n");
    EXPECT_TRUE(fake::requests().empty());
}

TEST_F(BridgeInfo, CustomerPageReadPrintsEveryByte) {
    std::vector<uint8_t> page(4096);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7);
    fake::script_ok(page);
    const std::string out = run(cmd_get_cust_page, "get_cust_page");
    expect_block(0, "E2 00 00 00 C4 00 00 00 00 00 00 00 00 10 00 00", true, 4096);
    ASSERT_EQ(out.size(), 12288u);
    EXPECT_EQ(out.substr(0, 12), "00 07 0E 15 ");
    EXPECT_EQ(out.substr(12288 - 6), "F2 F9 ");  // bytes 4094 and 4095
    EXPECT_EQ(out.find('\n'), std::string::npos);
}

TEST_F(BridgeInfo, CustomerPageReadFailureIsReported) {
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_get_cust_page, "get_cust_page"), "get_cust_page fail\n");
}

TEST_F(BridgeInfo, FirmwareVersion) {
    std::vector<uint8_t> answer(20);
    put_le32(&answer[0], 3);
    put_le32(&answer[4], 14);
    put_le32(&answer[8], 159);
    put_le32(&answer[12], 777);  // not shown
    put_le32(&answer[16], 20240131);
    fake::script_ok(answer);
    EXPECT_EQ(run(cmd_fw_ver, "fw_ver"), "FW VERSION: 3.14.159 build date: 20240131\r\n");
    expect_block(0, "E2 00 00 00 A5 00 00 00 00 00 00 00 14 00 00 00", true, 20);

    next_case();
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(run(cmd_fw_ver, "fw_ver"), "fw_ver fail\n");
}

struct restart_case {
    const char* argument;
    const char* block;  // null: nothing is sent
};

TEST_F(BridgeInfo, RestartTypeIsCheckedAsUnsigned) {
    const restart_case cases[] = {
        {"0", "E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00"},
        {"1", "E3 00 00 00 30 01 00 00 00 00 00 00 04 00 00 00"},
        {"2", "E3 00 00 00 30 02 00 00 00 00 00 00 04 00 00 00"},
        {"x", "E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00"},
        {"3", nullptr},
        {"-1", nullptr},
        {"258", nullptr},
        {"4294967298", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        next_case();
        if (c.block != nullptr) fake::script_ok();
        const std::string out = run(cmd_fw_restart, "fw_restart", {c.argument});
        if (c.block == nullptr) {
            EXPECT_EQ(out, "fw_restart with invalid parameters\n");
            EXPECT_TRUE(fake::requests().empty());
            continue;
        }
        EXPECT_EQ(out, "fw_restart ok\n");
        ASSERT_EQ(fake::requests().size(), 1u);
        expect_block(0, c.block, false, 4);
        EXPECT_EQ(data_out(0), std::vector<uint8_t>(4, 0));
    }
}

TEST_F(BridgeInfo, RestartIsReportedWhateverTheBridgeAnswers) {
    // The bridge leaves the bus while it restarts; a lost answer is expected.
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(run(cmd_fw_restart, "fw_restart", {"1"}), "fw_restart ok\n");
}

struct speed_case {
    const char* argument;
    int sent;  // speed in byte 6, or -1 when nothing is sent
};

TEST_F(BridgeInfo, DiskSpeedKeepsTheLowByteAndStopsAboveThree) {
    const speed_case cases[] = {
        {"0", 0}, {"1", 1}, {"3", 3}, {"259", 3}, {"-253", 3}, {"4", -1}, {"255", -1}, {"-1", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        next_case();
        if (c.sent >= 0) fake::script_ok();
        const std::string out = run(cmd_set_disk_speed, "set_disk_speed", {c.argument});
        if (c.sent < 0) {
            EXPECT_EQ(out, "set_disk_speed fail\n");
            EXPECT_TRUE(fake::requests().empty());
            continue;
        }
        EXPECT_EQ(out, "set_disk_speed ok\n");
        char block[64];
        std::snprintf(block, sizeof block, "E3 00 00 00 4D 00 %02X 00 00 00 00 00 00 00 00 00", c.sent);
        expect_block(0, block, false, 0);
    }

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_set_disk_speed, "set_disk_speed", {"2"}), "set_disk_speed fail\n");
}

TEST_F(BridgeInfo, DiskSpeedRead) {
    fake::script_ok({2, 0x77});
    EXPECT_EQ(run(cmd_get_disk_speed, "get_disk_speed"), "disk speed: 2\n");
    expect_block(0, "E2 00 00 00 CD 00 00 00 00 00 00 00 02 00 00 00", true, 2);

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_get_disk_speed, "get_disk_speed"), "get_disk_speed fail\n");
}

TEST_F(BridgeInfo, ReadWriteModeIsHexWithoutRangeCheck) {
    const std::pair<const char*, const char*> cases[] = {
        {"10", "10"},
        {"0x2", "02"},
        {"1ff", "FF"},
        {"zz", "00"},
    };
    for (const auto& [argument, byte6] : cases) {
        SCOPED_TRACE(argument);
        next_case();
        fake::script_ok();
        EXPECT_EQ(run(cmd_set_bridge_rw_md, "set_bridge_rw_md", {argument}), "set_bridge_rw_md ok\n");
        expect_block(0, std::string("E3 00 00 00 4F 00 ") + byte6 + " 00 00 00 00 00 00 00 00 00", false, 0);
    }

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_set_bridge_rw_md, "set_bridge_rw_md", {"1"}), "set_bridge_rw_md fail\n");
}

TEST_F(BridgeInfo, ReadWriteModeNames) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0, "normal mode(0)\n"}, {1, "write protection mode(1)\n"}, {2, "format mode(2)\n"},
        {5, "unknown(5)\n"},     {255, "unknown(255)\n"},
    };
    for (const auto& [mode, line] : cases) {
        next_case();
        fake::script_ok({mode});
        EXPECT_EQ(run(cmd_get_bridge_rw_md, "get_bridge_rw_md"), line);
        expect_block(0, "E2 00 00 00 CF 00 00 00 00 00 00 00 01 00 00 00", true, 1);
    }

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_get_bridge_rw_md, "get_bridge_rw_md"), "get_bridge_rw_md fail\n");
}

std::vector<uint8_t> status_block(uint32_t usb_speed, uint32_t ips_threshold) {
    std::vector<uint8_t> block(128, 0xEE);
    put_le32(&block[20], usb_speed);
    put_le32(&block[64], ips_threshold);
    return block;
}

TEST_F(BridgeInfo, UsbSpeedCodes) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "usb speed: unknown speed\n"},      {1, "usb speed: low speed\n"},
        {2, "usb speed: full speed\n"},         {3, "usb speed: high speed\n"},
        {4, "usb speed: unknown speed\n"},      {5, "usb speed: super speed 5Gbps\n"},
        {6, "usb speed: super speed 10Gbps\n"}, {7, "usb speed: super speed 20Gbps\n"},
        {8, "usb speed: unknown speed\n"},      {0x103, "usb speed: unknown speed\n"},
    };
    for (const auto& [code, line] : cases) {
        SCOPED_TRACE(code);
        next_case();
        fake::script_ok(status_block(code, 3));
        EXPECT_EQ(run(cmd_get_usb_speed, "get_usb_speed"), line);
        expect_block(0, "E2 00 00 00 B5 00 00 00 00 00 00 00 80 00 00 00", true, 128);
    }
}

TEST_F(BridgeInfo, UsbSpeedFailureShowsTheStatusWithoutLineEnd) {
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_get_usb_speed, "get_usb_speed"), "get usb speed fail (2)");
    next_case();
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(run(cmd_get_usb_speed, "get_usb_speed"), "get usb speed fail (5)");
}

TEST_F(BridgeInfo, IpsThreshold) {
    fake::script_ok(status_block(3, 1234));
    EXPECT_EQ(run(cmd_get_ips_threshold, "get_ips_threshold"), "IPS threshold: 1234\n");
    expect_block(0, "E2 00 00 00 B5 00 00 00 00 00 00 00 80 00 00 00", true, 128);

    next_case();
    fake::script_ok(status_block(3, 0xFFFFFFFF));
    EXPECT_EQ(run(cmd_get_ips_threshold, "get_ips_threshold"), "IPS threshold: -1\n");

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_get_ips_threshold, "get_ips_threshold"), "Get IPS threshold fail\n");
}

struct hotplug_case {
    const char* revision;
    uint32_t chip_id;
    uint32_t before;
    uint32_t after;
    const char* address;  // bytes 8 to 11
};

TEST_F(BridgeInfo, HotplugClearsTheGenerationsBits) {
    const hotplug_case cases[] = {
        {"1.00", 0xA0010001, 0xFFFFFFFF, 0xFFFFFFFC, "94 00 50 B3"},
        {"2.00", 0xA0010002, 0x00003303, 0x00003300, "94 00 50 B3"},
        {"1.01", 0xA0020001, 0xFFFFFFFF, 0xFFFFCCFF, "94 00 70 B3"},
        {"2.02", 0xA0030000, 0x00003303, 0x00000003, "94 00 70 B3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.revision);
        next_case();
        script_identify(c.revision, c.chip_id);
        fake::script_ok(le32(c.before));
        fake::script_ok();
        EXPECT_EQ(run(cmd_set_disk_hotplug_dis, "set_disk_hotplug_dis"), "Disable disk hotplug success \n");
        ASSERT_EQ(fake::requests().size(), 5u);
        expect_block(3, std::string("E2 00 00 00 A2 00 00 00 ") + c.address + " 04 00 00 00", true, 4);
        expect_block(4, std::string("E3 00 00 00 23 00 00 00 ") + c.address + " 04 00 00 00", false, 4);
        EXPECT_EQ(data_out(4), le32(c.after));
    }
}

TEST_F(BridgeInfo, HotplugFailures) {
    // The register read fails: nothing is written.
    script_identify("1.01");
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_set_disk_hotplug_dis, "set_disk_hotplug_dis"), "Disable disk hotplug fail \n");
    EXPECT_EQ(fake::requests().size(), 4u);

    next_case();
    script_identify("1.01");
    fake::script_ok(le32(0));
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_set_disk_hotplug_dis, "set_disk_hotplug_dis"), "Disable disk hotplug fail \n");

    // No known generation: no register is touched.
    next_case();
    fake::script_ok(inquiry("9.99"));
    EXPECT_EQ(run(cmd_set_disk_hotplug_dis, "set_disk_hotplug_dis"), "Disable disk hotplug fail \n");
    EXPECT_EQ(fake::requests().size(), 1u);
}

}  // namespace
