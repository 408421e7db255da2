// I2C and GPIO commands: the blocks they send and what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/i2c_gpio.h"
#include "bridge/i2c_gpio_commands.h"
#include "tests/unit/bridge_command_fixture.h"

namespace {

class BridgeI2c : public bridge_command_test {};
class BridgeGpio : public bridge_command_test {};

const std::vector<uint8_t> k_zero_byte = {0};

TEST_F(BridgeI2c, InitTakesTheSlaveAddressAsHex) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_i2c_init, "i2c_init", {"3", "67", "10", "11"}), "i2c_init ok\n");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E3 00 0A 0B 3F 00 00 00 67 00 03 00 01 00 00 00", false, 1);
    EXPECT_EQ(data_out(0), k_zero_byte);

    // Each number keeps the low bits of its field.
    next_case();
    fake::script_ok();
    EXPECT_EQ(run(cmd_i2c_init, "i2c_init", {"257", "0x1A2B3", "266", "511"}), "i2c_init ok\n");
    expect_block(0, "E3 00 0A FF 3F 00 00 00 B3 A2 01 00 01 00 00 00", false, 1);

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_i2c_init, "i2c_init", {"0", "50", "1", "2"}), "i2c_init fail\n");
}

TEST_F(BridgeI2c, WritePrintsTheBytesBeforeSending) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_i2c_write, "i2c_write", {"1", "a0", "01 2 ff 1234 0x7e"}),
              "write data:01 02 ff 34 7e \ni2c_write ok\n");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E3 00 00 00 3D 01 00 00 A0 00 01 00 05 00 00 00", false, 5);
    EXPECT_EQ(data_out(0), (std::vector<uint8_t>{0x01, 0x02, 0xFF, 0x34, 0x7E}));

    // The bytes are shown even when the bridge then refuses the write.
    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_i2c_write, "i2c_write", {"1", "a0", "5"}), "write data:05 \ni2c_write fail\n");
}

TEST_F(BridgeI2c, WriteSplitsAtRunsOfSpaces) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_i2c_write, "i2c_write", {"0", "50", "  a   b  "}), "write data:0a 0b \ni2c_write ok\n");
    EXPECT_EQ(data_out(0), (std::vector<uint8_t>{0x0A, 0x0B}));
}

TEST_F(BridgeI2c, WriteSendsAtMostTwentyBytes) {
    std::string tokens;
    std::string printed = "write data:";
    std::vector<uint8_t> expected;
    for (int i = 1; i <= 21; ++i) {
        char token[8];
        std::snprintf(token, sizeof token, "%x", i);
        tokens += (i == 1 ? "" : " ") + std::string(token);
        if (i <= 20) {
            std::snprintf(token, sizeof token, "%02x ", i);
            printed += token;
            expected.push_back(static_cast<uint8_t>(i));
        }
    }
    fake::script_ok();
    EXPECT_EQ(run(cmd_i2c_write, "i2c_write", {"0", "50", tokens}), printed + "\ni2c_write ok\n");
    expect_block(0, "E3 00 00 00 3D 01 00 00 50 00 00 00 14 00 00 00", false, 20);
    EXPECT_EQ(data_out(0), expected);
}

TEST_F(BridgeI2c, WriteOfNothingIsAZeroLengthWrite) {
    for (const char* data : {"", "   "}) {
        next_case();
        fake::script_ok();
        EXPECT_EQ(run(cmd_i2c_write, "i2c_write", {"0", "50", data}), "write data:\ni2c_write ok\n");
        expect_block(0, "E3 00 00 00 3D 01 00 00 50 00 00 00 00 00 00 00", false, 0);
        EXPECT_TRUE(data_out(0).empty());
    }
}

TEST_F(BridgeI2c, Read) {
    fake::script_ok({0xDE, 0xAD, 0xBE, 0xEF});
    EXPECT_EQ(run(cmd_i2c_read, "i2c_read", {"2", "a0", "4"}), "read data:de ad be ef \n");
    ASSERT_EQ(fake::requests().size(), 1u);
    expect_block(0, "E2 00 00 00 BC 01 00 00 A0 00 02 00 04 00 00 00", true, 4);

    // The length keeps its low 8 bits.
    next_case();
    fake::script_ok({0x11, 0x22, 0x33, 0x44});
    EXPECT_EQ(run(cmd_i2c_read, "i2c_read", {"2", "a0", "260"}), "read data:11 22 33 44 \n");
    expect_block(0, "E2 00 00 00 BC 01 00 00 A0 00 02 00 04 00 00 00", true, 4);

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_i2c_read, "i2c_read", {"2", "a0", "4"}), "i2c_read fail\n");
}

TEST_F(BridgeI2c, ReadOfTheLongestLength) {
    std::vector<uint8_t> answer(255);
    for (size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<uint8_t>(i);
    fake::script_ok(answer);
    const std::string out = run(cmd_i2c_read, "i2c_read", {"0", "50", "255"});
    expect_block(0, "E2 00 00 00 BC 01 00 00 50 00 00 00 FF 00 00 00", true, 255);
    ASSERT_EQ(out.size(), std::string("read data:").size() + 255 * 3 + 1);
    EXPECT_EQ(out.substr(out.size() - 7), "fd fe \n");
}

struct read_wf_case {
    const char* length;
    const char* write_byte;
    uint8_t count;
    const char* block;
};

TEST_F(BridgeI2c, ReadAfterWriteTakesOneMoreByteAboveTwo) {
    const read_wf_case cases[] = {
        {"1", "10", 1, "E2 00 00 00 BC 00 01 10 50 00 07 00 01 00 00 00"},
        {"2", "10", 2, "E2 00 00 00 BC 00 01 10 50 00 07 00 02 00 00 00"},
        {"3", "10", 4, "E2 00 00 00 BC 00 01 10 50 00 07 00 04 00 00 00"},
        {"254", "1ff", 255, "E2 00 00 00 BC 00 01 FF 50 00 07 00 FF 00 00 00"},
        {"255", "0", 0, "E2 00 00 00 BC 00 01 00 50 00 07 00 00 00 00 00"},
        {"0", "0", 0, "E2 00 00 00 BC 00 01 00 50 00 07 00 00 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        next_case();
        std::vector<uint8_t> answer(c.count);
        std::string expected = "read data:";
        for (size_t i = 0; i < answer.size(); ++i) {
            answer[i] = static_cast<uint8_t>(0xA0 + i);
            char cell[8];
            std::snprintf(cell, sizeof cell, "%02x ", answer[i]);
            expected += cell;
        }
        fake::script_ok(answer);
        EXPECT_EQ(run(cmd_i2c_read_wf, "i2c_read_wf", {"7", "50", c.length, c.write_byte}), expected + "\n");
        ASSERT_EQ(fake::requests().size(), 1u);
        expect_block(0, c.block, true, c.count);
    }

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_i2c_read_wf, "i2c_read_wf", {"7", "50", "3", "10"}), "i2c_read_wf fail\n");
}

TEST_F(BridgeI2c, OperationsRefuseImpossibleLengths) {
    const uint8_t data[21] = {};
    EXPECT_EQ(i2c_write(device.get(), 0, 0x50, data, 21), -1);
    EXPECT_EQ(i2c_write(device.get(), 0, 0x50, data, -1), -1);
    uint8_t buffer[4] = {};
    EXPECT_EQ(i2c_read(device.get(), 0, 0x50, false, 0, buffer, -1), -1);
    EXPECT_TRUE(fake::requests().empty());
}

struct gpio_init_case {
    const char* gpio;
    const char* dir;
    const char* mux_block;
    const char* dir_block;
};

TEST_F(BridgeGpio, InitSetsTheMuxThenTheDirection) {
    const gpio_init_case cases[] = {
        {"9", "1", "E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00",
         "E3 00 00 00 46 09 01 00 00 00 00 00 01 00 00 00"},
        {"9", "0", "E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00",
         "E3 00 00 00 46 09 00 00 00 00 00 00 01 00 00 00"},
        {"9", "257", "E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00",
         "E3 00 00 00 46 09 01 00 00 00 00 00 01 00 00 00"},
        {"265", "-255", "E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00",
         "E3 00 00 00 46 09 01 00 00 00 00 00 01 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.gpio) + " " + c.dir);
        next_case();
        fake::script_ok();
        fake::script_ok();
        EXPECT_EQ(run(cmd_gpio_init, "gpio_init", {c.gpio, c.dir}), "");
        ASSERT_EQ(fake::requests().size(), 2u);
        expect_block(0, c.mux_block, false, 1);
        expect_block(1, c.dir_block, false, 1);
        EXPECT_EQ(data_out(0), k_zero_byte);
        EXPECT_EQ(data_out(1), k_zero_byte);
    }
}

TEST_F(BridgeGpio, InitRefusesADirectionAboveOne) {
    EXPECT_EQ(run(cmd_gpio_init, "gpio_init", {"9", "2"}), "wrong gpio dir(2), should be 0(in) or 1(out)\n");
    EXPECT_EQ(run(cmd_gpio_init, "gpio_init", {"9", "258"}), "wrong gpio dir(2), should be 0(in) or 1(out)\n");
    EXPECT_EQ(run(cmd_gpio_init, "gpio_init", {"9", "-1"}), "wrong gpio dir(255), should be 0(in) or 1(out)\n");
    EXPECT_TRUE(fake::requests().empty());
}

TEST_F(BridgeGpio, InitFailures) {
    // A failed mux stops before the direction.
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_gpio_init, "gpio_init", {"265", "1"}), "set gpio9 mux fail\n");
    EXPECT_EQ(fake::requests().size(), 1u);

    next_case();
    fake::script_ok();
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(run(cmd_gpio_init, "gpio_init", {"4", "0"}), "set gpio4 dir fail\n");
    EXPECT_EQ(fake::requests().size(), 2u);
}

TEST_F(BridgeGpio, Set) {
    fake::script_ok();
    EXPECT_EQ(run(cmd_gpio_set, "gpio_set", {"9", "1"}), "set gpio9 value = 1 ok\n");
    expect_block(0, "E3 00 00 00 45 09 01 00 00 00 00 00 01 00 00 00", false, 1);
    EXPECT_EQ(data_out(0), k_zero_byte);

    next_case();
    fake::script_ok();
    EXPECT_EQ(run(cmd_gpio_set, "gpio_set", {"258", "512"}), "set gpio2 value = 0 ok\n");
    expect_block(0, "E3 00 00 00 45 02 00 00 00 00 00 00 01 00 00 00", false, 1);

    next_case();
    EXPECT_EQ(run(cmd_gpio_set, "gpio_set", {"9", "2"}), "wrong gpio value(2), should be 0(low) or 1(high)\n");
    EXPECT_EQ(run(cmd_gpio_set, "gpio_set", {"9", "511"}), "wrong gpio value(255), should be 0(low) or 1(high)\n");
    EXPECT_TRUE(fake::requests().empty());

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_gpio_set, "gpio_set", {"9", "0"}), "gpio_set fail\n");
}

TEST_F(BridgeGpio, Get) {
    fake::script_ok({1});
    EXPECT_EQ(run(cmd_gpio_get, "gpio_get", {"9"}), "gpio9 value = 1\n");
    expect_block(0, "E2 00 00 00 C5 09 00 00 00 00 00 00 01 00 00 00", true, 1);

    next_case();
    fake::script_ok({0});
    EXPECT_EQ(run(cmd_gpio_get, "gpio_get", {"264"}), "gpio8 value = 0\n");
    expect_block(0, "E2 00 00 00 C5 08 00 00 00 00 00 00 01 00 00 00", true, 1);

    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_gpio_get, "gpio_get", {"9"}), "gpio_get fail\n");
}

}  // namespace
