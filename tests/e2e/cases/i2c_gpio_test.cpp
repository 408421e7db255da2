// The I2C and GPIO commands on a lab bridge: what they print, the blocks they send, and
// what the bridge keeps of them.
#include "lab_fixture.h"
#include "vendor_block_lines.h"

namespace {

using lines = std::vector<std::string>;

class i2c_gpio_e2e : public lab_test {
protected:
    void SetUp() override {
        lab_test::SetUp();
        lab_ok({"create", "PhysicalDrive1"});
        lab_ok({"trace", "on"});
    }
    // The I2C and GPIO blocks traced since the last clear.
    lines pin_blocks() {
        return vendor_block_lines(trace_lines(), "PhysicalDrive1", {"3F", "3D", "BC", "41", "46", "45", "C5"});
    }
    std::string pins_line(const std::string& key) {
        const std::string pins = lab_ok({"show", "PhysicalDrive1", "pins"});
        const size_t start = pins.find("  " + key + " ");
        if (start == std::string::npos) return "";
        return pins.substr(start + 3 + key.size(), pins.find('\n', start) - start - 3 - key.size());
    }
    void init_bus0() { ASSERT_EQ(run({"i2c_init", path_, "0", "50", "3", "4"}), "i2c_init ok\n"); }

    const std::string path_ = drive_path(1);
};

TEST_F(i2c_gpio_e2e, i2c_init_sends_pins_address_and_id) {
    EXPECT_EQ(run({"i2c_init", path_, "1", "67", "12", "13"}), "i2c_init ok\n");
    EXPECT_EQ(pin_blocks(),
              lines{"CMD PhysicalDrive1 E3 00 0C 0D 3F 00 00 00 67 00 01 00 01 00 00 00 out 1 status=0 err=0 data=00"});
    EXPECT_EQ(pins_line("i2c_buses"), "1 scl 12 sda 13 slave 0x0067");
}

struct refused_init_case {
    const char* id;
    const char* scl;
    const char* sda;
};

class i2c_init_refused : public i2c_gpio_e2e, public ::testing::WithParamInterface<refused_init_case> {};

TEST_P(i2c_init_refused, prints_fail_and_sets_nothing_up) {
    const refused_init_case& c = GetParam();
    EXPECT_EQ(run({"i2c_init", path_, c.id, "50", c.scl, c.sda}), "i2c_init fail\n");
    EXPECT_EQ(pins_line("i2c_buses"), "none set up");
}

INSTANTIATE_TEST_SUITE_P(cases, i2c_init_refused,
                         ::testing::Values(refused_init_case{"2", "3", "4"},     // no bus 2
                                           refused_init_case{"0", "3", "3"},     // one pin for both lines
                                           refused_init_case{"0", "32", "4"},    // no GPIO 32
                                           refused_init_case{"0", "3", "300"}));  // 300 keeps 44: no GPIO 44

TEST_F(i2c_gpio_e2e, written_bytes_read_back_through_the_eeprom) {
    init_bus0();
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", "10 de ad be ef"}), "write data:10 de ad be ef \ni2c_write ok\n");
    // The write's first byte set the pointer to 0x10; a read after write moves it back.
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", "2", "10"}), "read data:de ad \n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "50", "2"}), "read data:be ef \n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "0x50", "1"}), "read data:ff \n");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 03 04 3F 00 00 00 50 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00",
                     "CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 50 00 00 00 05 00 00 00 out 5 status=0 err=0 "
                     "data=10 DE AD BE EF",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 00 01 10 50 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 01 00 00 50 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 01 00 00 50 00 00 00 01 00 00 00 in 1 status=0 err=0"}));
    EXPECT_EQ(pins_line("i2c_eeprom"), "0:0050 pointer 0x15, 4 of 256 bytes not erased");
}

struct read_wf_case {
    const char* length;
    const char* output;
    const char* block;
};

class i2c_read_wf_length : public i2c_gpio_e2e, public ::testing::WithParamInterface<read_wf_case> {};

TEST_P(i2c_read_wf_length, longer_reads_take_one_byte_more_and_255_reads_nothing) {
    init_bus0();
    ASSERT_EQ(run({"i2c_write", path_, "0", "50", "20 01 02 03 04 05"}), "write data:20 01 02 03 04 05 \ni2c_write ok\n");
    clear_trace();
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", GetParam().length, "20"}), GetParam().output);
    EXPECT_EQ(pin_blocks(), lines{GetParam().block});
}

INSTANTIATE_TEST_SUITE_P(
    cases, i2c_read_wf_length,
    ::testing::Values(
        read_wf_case{"2", "read data:01 02 \n",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 00 01 20 50 00 00 00 02 00 00 00 in 2 status=0 err=0"},
        read_wf_case{"3", "read data:01 02 03 04 \n",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 00 01 20 50 00 00 00 04 00 00 00 in 4 status=0 err=0"},
        read_wf_case{"255", "read data:\n",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 00 01 20 50 00 00 00 00 00 00 00 in 0 status=0 err=0"}));

TEST_F(i2c_gpio_e2e, i2c_write_sends_at_most_20_bytes) {
    init_bus0();
    clear_trace();
    const std::string tokens = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 14";
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", tokens}),
              "write data:00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 \ni2c_write ok\n");
    EXPECT_EQ(pin_blocks(), lines{"CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 50 00 00 00 14 00 00 00 out 20 status=0 "
                                  "err=0 data=00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13"});
    // The first byte set the pointer to 0; 01..13 went to 0x00..0x12 and 14 never came:
    // the byte after them is still erased.
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", "2", "11"}), "read data:12 13 \n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "50", "1"}), "read data:ff \n");
}

TEST_F(i2c_gpio_e2e, empty_write_is_a_zero_length_probe) {
    init_bus0();
    clear_trace();
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", ""}), "write data:\ni2c_write ok\n");
    EXPECT_EQ(run({"i2c_write", path_, "0", "51", "   "}), "write data:\ni2c_write fail\n");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 50 00 00 00 00 00 00 00 out 0 status=0 err=0",
                     "CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 51 00 00 00 00 00 00 00 out 0 status=2 err=0"}));
}

TEST_F(i2c_gpio_e2e, transfers_to_an_absent_slave_fail) {
    init_bus0();
    clear_trace();
    EXPECT_EQ(run({"i2c_write", path_, "0", "51", "00 01"}), "write data:00 01 \ni2c_write fail\n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "51", "2"}), "i2c_read fail\n");
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "51", "3", "00"}), "i2c_read_wf fail\n");
    // The EEPROM sits on bus 0; bus 1 has nothing at 0x50.
    EXPECT_EQ(run({"i2c_init", path_, "1", "50", "5", "6"}), "i2c_init ok\n");
    EXPECT_EQ(run({"i2c_read", path_, "1", "50", "1"}), "i2c_read fail\n");
    const lines blocks = pin_blocks();
    ASSERT_EQ(blocks.size(), 5u);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const bool init = i == 3;
        EXPECT_NE(blocks[i].find(init ? " status=0 err=0" : " status=2 err=0"), std::string::npos) << blocks[i];
    }
}

TEST_F(i2c_gpio_e2e, transfers_need_the_bus_set_up_first) {
    EXPECT_EQ(run({"i2c_read", path_, "0", "50", "1"}), "i2c_read fail\n");
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", "00 11"}), "write data:00 11 \ni2c_write fail\n");
    init_bus0();
    // The setup lasts from one tool run to the next.
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", "00 11"}), "write data:00 11 \ni2c_write ok\n");
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", "1", "00"}), "read data:11 \n");
    // A restart forgets the setup; the EEPROM keeps its bytes.
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "0"});
    lab_ok({"restart", "PhysicalDrive1"});
    EXPECT_EQ(run({"i2c_read", path_, "0", "50", "1"}), "i2c_read fail\n");
    EXPECT_EQ(pins_line("i2c_buses"), "none set up");
    init_bus0();
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", "1", "00"}), "read data:11 \n");
}

TEST_F(i2c_gpio_e2e, slaves_are_added_and_removed_from_the_lab) {
    lab_ok({"set", "PhysicalDrive1", "i2c_slaves", "0:50:eeprom,1:0x68:eeprom"});
    EXPECT_EQ(pins_line("i2c_slaves"), "0:0050:eeprom,1:0068:eeprom");
    EXPECT_EQ(run({"i2c_init", path_, "1", "68", "7", "8"}), "i2c_init ok\n");
    EXPECT_EQ(run({"i2c_write", path_, "1", "68", "00 aa"}), "write data:00 aa \ni2c_write ok\n");
    EXPECT_EQ(run({"i2c_read_wf", path_, "1", "68", "1", "0"}), "read data:aa \n");
    // A slave that stays keeps what was written to it; one that is dropped no longer answers.
    lab_ok({"set", "PhysicalDrive1", "i2c_slaves", "1:68:eeprom"});
    EXPECT_EQ(run({"i2c_read_wf", path_, "1", "68", "1", "0"}), "read data:aa \n");
    lab_ok({"set", "PhysicalDrive1", "i2c_slaves", "none"});
    EXPECT_EQ(run({"i2c_read", path_, "1", "68", "1"}), "i2c_read fail\n");
    EXPECT_EQ(pins_line("i2c_slaves"), "none");
}

TEST_F(i2c_gpio_e2e, pin_settings_are_validated_by_set) {
    const struct {
        const char* key;
        const char* value;
        const char* message;
    } cases[] = {
        {"gpio_in", "9", "gpio_in takes PIN=LEVEL[,PIN=LEVEL]... with pins 0 to 31 and levels 0 or 1"},
        {"gpio_in", "32=1", "gpio_in takes PIN=LEVEL[,PIN=LEVEL]... with pins 0 to 31 and levels 0 or 1"},
        {"gpio_in", "9=2", "gpio_in takes PIN=LEVEL[,PIN=LEVEL]... with pins 0 to 31 and levels 0 or 1"},
        {"gpio_in", "9=1,", "gpio_in takes PIN=LEVEL[,PIN=LEVEL]... with pins 0 to 31 and levels 0 or 1"},
        {"i2c_slaves", "2:50:eeprom",
         "i2c_slaves takes ID:ADDRESS:KIND[,...] with ids 0 to 1, hex addresses and the kind eeprom, or none"},
        {"i2c_slaves", "0:12345:eeprom",
         "i2c_slaves takes ID:ADDRESS:KIND[,...] with ids 0 to 1, hex addresses and the kind eeprom, or none"},
        {"i2c_slaves", "0:50:sensor",
         "i2c_slaves takes ID:ADDRESS:KIND[,...] with ids 0 to 1, hex addresses and the kind eeprom, or none"},
        {"i2c_slaves", "0:50:eeprom,0:0050:eeprom", "i2c_slaves names 0:0050 twice"},
        {"i2c_slaves", "0:1:eeprom,0:2:eeprom,0:3:eeprom,0:4:eeprom,0:5:eeprom,0:6:eeprom,0:7:eeprom,0:8:eeprom,"
                       "0:9:eeprom",
         "i2c_slaves holds at most 8 slaves"},
        {"gpio_pins", "9 2 1 1", "unknown key 'gpio_pins' (see mvbridge-lab DIR show NAME for the keys)"},
        {"i2c_eeprom", "0:50 0 00", "unknown key 'i2c_eeprom' (see mvbridge-lab DIR show NAME for the keys)"},
    };
    for (const auto& c : cases) {
        const process_result result = lab({"set", "PhysicalDrive1", c.key, c.value});
        EXPECT_EQ(result.status, 1) << c.key << " " << c.value;
        EXPECT_EQ(result.err, std::string("mvbridge-lab: ") + c.message + "\n") << c.key << " " << c.value;
    }
    EXPECT_EQ(pins_line("gpio_in"), "all low");
    EXPECT_EQ(pins_line("i2c_slaves"), "0:0050:eeprom");
}

TEST_F(i2c_gpio_e2e, gpio_init_direction_keeps_its_low_8_bits) {
    EXPECT_EQ(run({"gpio_init", path_, "9", "257"}), "");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00",
                     "CMD PhysicalDrive1 E3 00 00 00 46 09 01 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00"}));
    EXPECT_EQ(pins_line("gpio_pins"), "9 gpio out latch 0");
    clear_trace();
    EXPECT_EQ(run({"gpio_init", path_, "9", "2"}), "wrong gpio dir(2), should be 0(in) or 1(out)\n");
    EXPECT_EQ(pin_blocks(), lines{});
}

TEST_F(i2c_gpio_e2e, gpio_set_then_get_reads_the_driven_value) {
    ASSERT_EQ(run({"gpio_init", path_, "9", "1"}), "");
    clear_trace();
    EXPECT_EQ(run({"gpio_set", path_, "9", "1"}), "set gpio9 value = 1 ok\n");
    EXPECT_EQ(run({"gpio_get", path_, "9"}), "gpio9 value = 1\n");
    EXPECT_EQ(run({"gpio_set", path_, "265", "0"}), "set gpio9 value = 0 ok\n");
    EXPECT_EQ(run({"gpio_get", path_, "9"}), "gpio9 value = 0\n");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 45 09 01 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00",
                     "CMD PhysicalDrive1 E2 00 00 00 C5 09 00 00 00 00 00 00 01 00 00 00 in 1 status=0 err=0",
                     "CMD PhysicalDrive1 E3 00 00 00 45 09 00 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00",
                     "CMD PhysicalDrive1 E2 00 00 00 C5 09 00 00 00 00 00 00 01 00 00 00 in 1 status=0 err=0"}));
    EXPECT_EQ(run({"gpio_set", path_, "9", "2"}), "wrong gpio value(2), should be 0(low) or 1(high)\n");
    EXPECT_EQ(pin_blocks().size(), 4u);
}

TEST_F(i2c_gpio_e2e, gpio_get_reads_the_level_driven_from_outside) {
    lab_ok({"set", "PhysicalDrive1", "gpio_in", "10=1,11=1"});
    ASSERT_EQ(run({"gpio_init", path_, "10", "0"}), "");
    EXPECT_EQ(run({"gpio_get", path_, "10"}), "gpio10 value = 1\n");
    lab_ok({"set", "PhysicalDrive1", "gpio_in", "10=0"});
    EXPECT_EQ(run({"gpio_get", path_, "10"}), "gpio10 value = 0\n");
    EXPECT_EQ(pins_line("gpio_in"), "11=1");
    // An output pin shows its latch whatever is driven onto it; the latch took its value
    // while the pin was still an input.
    lab_ok({"set", "PhysicalDrive1", "gpio_in", "12=1"});
    EXPECT_EQ(run({"gpio_set", path_, "12", "0"}), "set gpio12 value = 0 ok\n");
    EXPECT_EQ(run({"gpio_get", path_, "12"}), "gpio12 value = 1\n");
    ASSERT_EQ(run({"gpio_init", path_, "12", "1"}), "");
    EXPECT_EQ(run({"gpio_get", path_, "12"}), "gpio12 value = 0\n");
}

TEST_F(i2c_gpio_e2e, mux_failure_stops_before_the_direction) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 41", "--status", "2", "--sense", "05/24/00"});
    EXPECT_EQ(run({"gpio_init", path_, "9", "1"}), "set gpio9 mux fail\n");
    EXPECT_EQ(pin_blocks(), lines{"CMD PhysicalDrive1 E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00 out 1 status=2 "
                                  "err=0 data=00"});
    EXPECT_EQ(pins_line("gpio_pins"), "all at power-on");
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 46", "--os-error", "5"});
    EXPECT_EQ(run({"gpio_init", path_, "9", "1"}), "set gpio9 dir fail\n");
    EXPECT_EQ(pins_line("gpio_pins"), "9 gpio in latch 0");
}

TEST_F(i2c_gpio_e2e, pins_beyond_31_are_refused_by_the_bridge) {
    EXPECT_EQ(run({"gpio_init", path_, "32", "1"}), "set gpio32 mux fail\n");
    EXPECT_EQ(run({"gpio_set", path_, "40", "1"}), "gpio_set fail\n");
    EXPECT_EQ(run({"gpio_get", path_, "255"}), "gpio_get fail\n");
    EXPECT_EQ(pin_blocks().size(), 3u);
    for (const std::string& line : pin_blocks()) EXPECT_NE(line.find(" status=2 err=0"), std::string::npos) << line;
}

}  // namespace
