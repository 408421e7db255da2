// The bridge's GPIO, I2C and UART behaviour, block by block, and how its pin state is
// kept: the rules the end-to-end cases do not reach.
#include "lab/model/flash/restart.h"
#include "model_fixture.h"

namespace {

using bytes = std::vector<uint8_t>;

constexpr const char* k_init_bus0 = "E3 00 03 04 3F 00 00 00 50 00 00 00 01";

bridge_record bridge_with_bus0() {
    bridge_record record = make_bridge();
    EXPECT_EQ(serve_out(record, k_init_bus0, {0}).sense(), "");
    return record;
}

class pins_block : public ::testing::TestWithParam<block_case> {};

TEST_P(pins_block, is_answered_with_its_sense) {
    bridge_record record = bridge_with_bus0();
    record.pins.uart_received = {1, 2, 3};
    EXPECT_EQ(serve_block(record, GetParam()).sense(), GetParam().sense) << GetParam().cdb;
}

INSTANTIATE_TEST_SUITE_P(
    i2c, pins_block,
    ::testing::Values(
        block_case{"E3 00 00 00 3D 01 00 00 50 00 00 00 02", false, 3, "05/24/00"},   // length field is not the data
        block_case{"E3 00 00 00 3D 01 00 00 50 00 00 00 15", false, 21, "05/24/00"},  // 21 bytes
        block_case{"E3 00 00 00 3D 01 00 00 50 00 00 00 14", false, 20, ""},
        block_case{"E3 00 00 00 3D 00 00 00 50 00 00 00 01", false, 1, "05/24/00"},  // byte 5 not 1
        block_case{"E3 00 00 00 3D 01 00 00 50 00 02 00 01", false, 1, "05/24/00"},  // no bus 2
        block_case{"E3 00 00 00 3D 01 00 00 50 00 00 01 01", false, 1, "05/24/00"},  // byte 11 set
        block_case{"E2 00 00 00 BC 01 00 00 50 00 00 00 00 01", true, 256, "05/24/00"},
        block_case{"E2 00 00 00 BC 01 00 00 50 00 00 00 FF", true, 255, ""},
        block_case{"E2 00 00 00 BC 01 01 00 50 00 00 00 01", true, 1, "05/24/00"},  // plain and after write
        block_case{"E2 00 00 00 BC 00 00 00 50 00 00 00 01", true, 1, "05/24/00"},  // neither
        block_case{"E2 00 00 00 BC 00 02 00 50 00 00 00 01", true, 1, "05/24/00"},
        block_case{"E2 00 00 00 BC 01 00 00 50 00 01 00 01", true, 1, "05/2C/00"},  // bus 1 not set up
        block_case{"E2 00 00 00 BC 01 00 00 51 00 00 00 01", true, 1, "0B/08/00"},  // nobody at 0x51
        block_case{"E2 00 00 00 BC 01 00 00 50 01 00 00 01", true, 1, "0B/08/00"},  // nor at 0x150
        block_case{"E3 00 03 04 3F 00 00 00 50 00 00 00 02", false, 2, "05/24/00"},
        block_case{"E3 00 03 04 3F 00 00 00 50 00 00 00 01", true, 1, "05/24/00"}));  // data in

INSTANTIATE_TEST_SUITE_P(
    gpio, pins_block,
    ::testing::Values(block_case{"E3 00 00 00 41 1F 07 00 00 00 00 00 01", false, 1, ""},
                      block_case{"E3 00 00 00 41 1F 08 00 00 00 00 00 01", false, 1, "05/24/00"},  // function 8
                      block_case{"E3 00 00 00 41 20 02 00 00 00 00 00 01", false, 1, "05/24/00"},  // pin 32
                      block_case{"E3 00 00 00 46 09 02 00 00 00 00 00 01", false, 1, "05/24/00"},  // direction 2
                      block_case{"E3 00 00 00 45 09 02 00 00 00 00 00 01", false, 1, "05/24/00"},  // value 2
                      block_case{"E3 00 00 00 45 09 01 00 00 00 00 00 02", false, 2, "05/24/00"},
                      block_case{"E3 00 00 00 46 09 01 00 01 00 00 00 01", false, 1, "05/24/00"},  // address field set
                      block_case{"E2 00 00 00 C5 09 00 00 00 00 00 00 01", false, 1, "05/24/00"},  // data out
                      block_case{"E2 00 00 00 C5 09 00 00 00 00 00 00 04", true, 4, "05/24/00"}));

INSTANTIATE_TEST_SUITE_P(
    uart, pins_block,
    ::testing::Values(block_case{"E3 00 00 00 38 00 00 00 2C 01 00 00 01", false, 1, ""},          // own pin, 300 baud
                      block_case{"E3 00 00 00 38 05 00 00 2C 01 00 00 01", false, 1, "05/24/00"},  // pin without bit 7
                      block_case{"E3 00 00 00 38 A0 00 00 2C 01 00 00 01", false, 1, "05/24/00"},  // pin 32
                      block_case{"E3 00 00 00 38 83 00 00 2B 01 00 00 01", false, 1, "05/24/00"},  // 299 baud
                      block_case{"E3 00 00 00 38 83 00 00 C0 C6 2D 00 01", false, 1, ""},          // 3000000 baud
                      block_case{"E3 00 00 00 38 83 00 00 C1 C6 2D 00 01", false, 1, "05/24/00"},
                      block_case{"E3 00 00 00 38 83 00 00 2C 01 00 00 02", false, 1, "05/24/00"},
                      block_case{"E3 00 00 00 4E 00 00 00 80 25 00 00 02", false, 2, "05/24/00"},
                      block_case{"E2 00 00 00 BA 00 00 00 00 00 00 00 02", true, 2, "05/24/00"},
                      block_case{"E2 00 00 00 B8 00 00 00 00 00 00 00 00 04", true, 1024, ""},
                      block_case{"E2 00 00 00 B8 00 00 00 00 00 00 00 01 04", true, 1025, "05/24/00"},
                      block_case{"E2 00 00 00 B8 00 00 00 00 00 00 00 02", true, 3, "05/24/00"},
                      block_case{"E3 00 00 00 3A 00 00 00 00 00 00 00 04", true, 0, "05/24/00"},    // length field 4
                      block_case{"E3 00 00 00 3A 00 00 00 00 00 00 00 04", true, 4, "05/24/00"}));  // a data phase

TEST(pins_model, eeprom_pointer_wraps_at_256_bytes) {
    bridge_record record = bridge_with_bus0();
    ASSERT_EQ(serve_out(record, "E3 00 00 00 3D 01 00 00 50 00 00 00 04", {0xFE, 1, 2, 3}).sense(), "");
    const i2c_slave& eeprom = record.pins.i2c_slaves[0];
    EXPECT_EQ(eeprom.memory[0xFE], 1);
    EXPECT_EQ(eeprom.memory[0xFF], 2);
    EXPECT_EQ(eeprom.memory[0x00], 3);
    EXPECT_EQ(eeprom.pointer, 1);
    // A read after write starts at byte 7 and wraps the same way.
    EXPECT_EQ(serve_in(record, "E2 00 00 00 BC 00 01 FF 50 00 00 00 03", 3).answer.data, (bytes{2, 3, 0xFF}));
    EXPECT_EQ(record.pins.i2c_slaves[0].pointer, 2);
    // A zero-length read after write still moves the pointer.
    ASSERT_EQ(serve_in(record, "E2 00 00 00 BC 00 01 FE 50 00 00 00 00", 0).sense(), "");
    EXPECT_EQ(serve_in(record, "E2 00 00 00 BC 01 00 00 50 00 00 00 01", 1).answer.data, bytes{1});
}

struct gpio_read_case {
    uint8_t function;
    uint8_t output;
    uint8_t latch;
    bool pad_high;
    uint8_t reads;
};

class gpio_read : public ::testing::TestWithParam<gpio_read_case> {};

TEST_P(gpio_read, shows_the_latch_only_on_a_gpio_output) {
    const gpio_read_case& c = GetParam();
    bridge_record record = make_bridge();
    record.pins.gpio[9] = {c.function, c.output, c.latch};
    record.pins.gpio_input_high = c.pad_high ? 1u << 9 : 1u << 8;
    const served answer = serve_in(record, "E2 00 00 00 C5 09 00 00 00 00 00 00 01", 1);
    EXPECT_EQ(answer.answer.data, bytes{c.reads});
}

INSTANTIATE_TEST_SUITE_P(cases, gpio_read,
                         ::testing::Values(gpio_read_case{2, 1, 1, false, 1}, gpio_read_case{2, 1, 0, true, 0},
                                           gpio_read_case{2, 0, 1, false, 0}, gpio_read_case{2, 0, 0, true, 1},
                                           gpio_read_case{0, 1, 1, false, 0}, gpio_read_case{3, 1, 0, true, 1}));

TEST(pins_model, receive_returns_at_most_what_waits) {
    bridge_record record = make_bridge();
    record.pins.uart_received = {'a', 'b', 'c'};
    EXPECT_EQ(serve_in(record, "E2 00 00 00 B8 00 00 00 00 00 00 00 02", 2).answer.data, (bytes{'a', 'b'}));
    EXPECT_EQ(record.pins.uart_received, bytes{'c'});
    // Asking for more than waits is a short transfer of what waits.
    EXPECT_EQ(serve_in(record, "E2 00 00 00 B8 00 00 00 00 00 00 00 05", 5).answer.data, bytes{'c'});
    EXPECT_TRUE(record.pins.uart_received.empty());
    EXPECT_EQ(serve_in(record, "E2 00 00 00 B8 00 00 00 00 00 00 00 05", 5).answer.data, bytes{});
}

TEST(pins_model, transmit_without_a_pin_uses_the_bridge_own_pin) {
    bridge_record record = make_bridge();
    ASSERT_EQ(serve_out(record, "E3 00 00 00 38 00 00 00 00 C2 01 00 02", {'o', 'k'}).sense(), "");
    ASSERT_EQ(record.pins.uart_sent.size(), 1u);
    EXPECT_EQ(record.pins.uart_sent[0].pin, -1);
    EXPECT_EQ(record.pins.uart_sent[0].baud, 115200u);
    EXPECT_EQ(record.pins.uart_sent[0].text, "ok");
}

TEST(pins_model, transmit_log_keeps_the_last_4096_bytes) {
    bridge_pins pins;
    uart_log_transmission(pins, {1, 9600, std::string(2000, 'a')});
    uart_log_transmission(pins, {2, 9600, std::string(2000, 'b')});
    uart_log_transmission(pins, {3, 9600, std::string(2000, 'c')});
    ASSERT_EQ(pins.uart_sent.size(), 3u);
    EXPECT_EQ(pins.uart_sent[0].text, std::string(96, 'a'));
    EXPECT_EQ(pins.uart_sent[2].pin, 3);
    // Trimming to exactly the limit drops a whole transmission.
    uart_log_transmission(pins, {4, 9600, std::string(96, 'd')});
    ASSERT_EQ(pins.uart_sent.size(), 3u);
    EXPECT_EQ(pins.uart_sent[0].pin, 2);
    // One transmission longer than the limit keeps its end.
    uart_log_transmission(pins, {5, 9600, std::string(4000, 'e') + std::string(100, 'f')});
    ASSERT_EQ(pins.uart_sent.size(), 1u);
    EXPECT_EQ(pins.uart_sent[0].text, std::string(3996, 'e') + std::string(100, 'f'));
}

TEST(pins_model, restart_forgets_what_the_firmware_holds) {
    bridge_record record = bridge_with_bus0();
    ASSERT_EQ(serve_out(record, "E3 00 00 00 3D 01 00 00 50 00 00 00 02", {0x10, 0xAB}).sense(), "");
    ASSERT_EQ(serve_out(record, "E3 00 00 00 41 09 02 00 00 00 00 00 01", {0}).sense(), "");
    ASSERT_EQ(serve_out(record, "E3 00 00 00 4E 00 00 00 80 25 00 00 01", {5}).sense(), "");
    ASSERT_EQ(serve_out(record, "E3 00 00 00 38 83 00 00 80 25 00 00 01", {'x'}).sense(), "");
    record.pins.gpio_input_high = 0x10;
    record.pins.uart_received = {1};

    bridge_restart(record, 0);
    const bridge_pins& pins = record.pins;
    EXPECT_EQ(pins.gpio[9].function, 0);
    EXPECT_FALSE(pins.i2c_buses[0].ready);
    EXPECT_FALSE(pins.uart_ready);
    EXPECT_TRUE(pins.uart_received.empty());
    // Outside the bridge: the driven levels, the EEPROM and the line's history.
    EXPECT_EQ(pins.gpio_input_high, 0x10u);
    EXPECT_EQ(pins.i2c_slaves[0].memory[0x10], 0xAB);
    EXPECT_EQ(pins.uart_sent.size(), 1u);
    EXPECT_EQ(serve_in(record, "E2 00 00 00 BC 01 00 00 50 00 00 00 01", 1).sense(), "05/2C/00");
}

}  // namespace
