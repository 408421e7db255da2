// I2C and GPIO commands: the blocks they send and what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zelko/bridge/i2c_gpio.h"
#include "cli/commands/i2c_gpio.h"
#include "tests/unit/bridge_command_fixture.h"

using namespace zelko;

namespace {

class BridgeI2c : public bridge_command_test {};
class BridgeGpio : public bridge_command_test {};

// `count` bytes counting up from `first`, and the line a read prints of them.
std::vector<uint8_t> counting(size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

std::string read_line(const std::vector<uint8_t>& bytes) {
    std::string line = "read data:";
    for (const uint8_t b : bytes) {
        char cell[4];
        std::snprintf(cell, sizeof cell, "%02x ", b);
        line += cell;
    }
    return line + "\n";
}

// Each number keeps the low bits of its field; the slave address is hex.
TEST_F(BridgeI2c, InitTakesTheSlaveAddressAsHex) {
    run_cases(cmd_i2c_init, "i2c_init",
              {
                  {{"3", "67", "10", "11"},
                   {ok()},
                   "i2c_init ok\n",
                   {"E3 00 0A 0B 3F 00 00 00 67 00 03 00 01 00 00 00 out 1 data=00"}},
                  {{"257", "0x1A2B3", "266", "511"},
                   {ok()},
                   "i2c_init ok\n",
                   {"E3 00 0A FF 3F 00 00 00 B3 A2 01 00 01 00 00 00 out 1 data=00"}},
                  {{"0", "50", "1", "2"}, {check_condition()}, "i2c_init fail\n"},
              });
}

// The bytes are printed before they are sent, even when the bridge then refuses them;
// runs of spaces separate them and at most twenty are sent.
TEST_F(BridgeI2c, WritePrintsTheBytesBeforeSending) {
    const std::string twenty = "01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20";
    const std::string empty_write = "E3 00 00 00 3D 01 00 00 50 00 00 00 00 00 00 00 out 0";
    run_cases(cmd_i2c_write, "i2c_write",
              {
                  {{"1", "a0", "01 2 ff 1234 0x7e"},
                   {ok()},
                   "write data:01 02 ff 34 7e \ni2c_write ok\n",
                   {"E3 00 00 00 3D 01 00 00 A0 00 01 00 05 00 00 00 out 5 data=01 02 FF 34 7E"}},
                  {{"1", "a0", "5"}, {check_condition()}, "write data:05 \ni2c_write fail\n"},
                  {{"0", "50", "  a   b  "},
                   {ok()},
                   "write data:0a 0b \ni2c_write ok\n",
                   {"E3 00 00 00 3D 01 00 00 50 00 00 00 02 00 00 00 out 2 data=0A 0B"}},
                  {{"0", "50", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21"},
                   {ok()},
                   "write data:" + twenty + " \ni2c_write ok\n",
                   {"E3 00 00 00 3D 01 00 00 50 00 00 00 14 00 00 00 out 20 data=" + twenty}},
                  {{"0", "50", ""}, {ok()}, "write data:\ni2c_write ok\n", {empty_write}},
                  {{"0", "50", "   "}, {ok()}, "write data:\ni2c_write ok\n", {empty_write}},
              });
}

TEST_F(BridgeI2c, Read) {
    const std::vector<uint8_t> four = {0xDE, 0xAD, 0xBE, 0xEF};
    const std::string read4 = "E2 00 00 00 BC 01 00 00 A0 00 02 00 04 00 00 00 in 4";
    run_cases(cmd_i2c_read, "i2c_read",
              {
                  {{"2", "a0", "4"}, {ok(four)}, "read data:de ad be ef \n", {read4}},
                  {{"2", "a0", "260"}, {ok(four)}, "read data:de ad be ef \n", {read4}},  // the low 8 bits
                  {{"0", "50", "255"},
                   {ok(counting(255, 0))},
                   read_line(counting(255, 0)),
                   {"E2 00 00 00 BC 01 00 00 50 00 00 00 FF 00 00 00 in 255"}},
                  {{"2", "a0", "4"}, {check_condition()}, "i2c_read fail\n"},
              });
}

// Reads longer than two bytes take one byte more; the count stays 8 bits wide.
TEST_F(BridgeI2c, ReadAfterWriteTakesOneMoreByteAboveTwo) {
    const auto read_wf = [](const char* length, const char* write_byte, uint8_t count, const char* byte7) {
        char block[80];
        std::snprintf(block, sizeof block, "E2 00 00 00 BC 00 01 %s 50 00 07 00 %02X 00 00 00 in %u", byte7, count,
                      count);
        return command_case{
            {"7", "50", length, write_byte}, {ok(counting(count, 0xA0))}, read_line(counting(count, 0xA0)), {block}};
    };
    run_cases(cmd_i2c_read_wf, "i2c_read_wf",
              {
                  read_wf("1", "10", 1, "10"),
                  read_wf("2", "10", 2, "10"),
                  read_wf("3", "10", 4, "10"),
                  read_wf("254", "1ff", 255, "FF"),
                  read_wf("255", "0", 0, "00"),
                  read_wf("0", "0", 0, "00"),
                  {{"7", "50", "3", "10"}, {check_condition()}, "i2c_read_wf fail\n"},
              });
}

TEST_F(BridgeI2c, OperationsRefuseImpossibleLengths) {
    const uint8_t data[21] = {};
    EXPECT_EQ(i2c_write(device.get(), 0, 0x50, data, 21), -1);
    EXPECT_EQ(i2c_write(device.get(), 0, 0x50, data, -1), -1);
    uint8_t buffer[4] = {};
    EXPECT_EQ(i2c_read(device.get(), 0, 0x50, false, 0, buffer, -1), -1);
    EXPECT_TRUE(fake::requests().empty());
}

// The pin's mux is set to GPIO, then its direction; each number keeps its low 8 bits.
TEST_F(BridgeGpio, InitSetsTheMuxThenTheDirection) {
    const std::string mux9 = "E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00 out 1 data=00";
    const auto init = [&mux9](const char* gpio, const char* dir, const char* byte6) {
        return command_case{
            {gpio, dir},
            {ok(), ok()},
            "",
            {mux9, std::string("E3 00 00 00 46 09 ") + byte6 + " 00 00 00 00 00 01 00 00 00 out 1 data=00"}};
    };
    run_cases(cmd_gpio_init, "gpio_init",
              {
                  init("9", "1", "01"),
                  init("9", "0", "00"),
                  init("9", "257", "01"),
                  init("265", "-255", "01"),
                  {{"9", "2"}, {}, "wrong gpio dir(2), should be 0(in) or 1(out)\n"},
                  {{"9", "258"}, {}, "wrong gpio dir(2), should be 0(in) or 1(out)\n"},
                  {{"9", "-1"}, {}, "wrong gpio dir(255), should be 0(in) or 1(out)\n"},
                  {{"265", "1"}, {check_condition()}, "set gpio9 mux fail\n"},  // no direction after a failed mux
                  {{"4", "0"}, {ok(), access_denied()}, "set gpio4 dir fail\n"},
              });
}

TEST_F(BridgeGpio, SetAndGet) {
    run_cases(cmd_gpio_set, "gpio_set",
              {
                  {{"9", "1"},
                   {ok()},
                   "set gpio9 value = 1 ok\n",
                   {"E3 00 00 00 45 09 01 00 00 00 00 00 01 00 00 00 out 1 data=00"}},
                  {{"258", "512"},
                   {ok()},
                   "set gpio2 value = 0 ok\n",
                   {"E3 00 00 00 45 02 00 00 00 00 00 00 01 00 00 00 out 1 data=00"}},
                  {{"9", "2"}, {}, "wrong gpio value(2), should be 0(low) or 1(high)\n"},
                  {{"9", "511"}, {}, "wrong gpio value(255), should be 0(low) or 1(high)\n"},
                  {{"9", "0"}, {check_condition()}, "gpio_set fail\n"},
              });
    run_cases(cmd_gpio_get, "gpio_get",
              {
                  {{"9"}, {ok({1})}, "gpio9 value = 1\n", {"E2 00 00 00 C5 09 00 00 00 00 00 00 01 00 00 00 in 1"}},
                  {{"264"}, {ok({0})}, "gpio8 value = 0\n", {"E2 00 00 00 C5 08 00 00 00 00 00 00 01 00 00 00 in 1"}},
                  {{"9"}, {check_condition()}, "gpio_get fail\n"},
              });
}

}  // namespace
