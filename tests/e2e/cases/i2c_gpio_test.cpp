// The I2C and GPIO commands on a lab bridge: what they print, the blocks they send, and
// what the bridge keeps of them.
#include <tuple>

#include "lab_fixture.h"
#include "vendor_block_lines.h"

namespace {

class i2c_gpio_e2e : public bridge_lab_test {
protected:
    // The I2C and GPIO blocks traced since the last clear.
    lines pin_blocks() {
        return vendor_block_lines(trace_lines(), "PhysicalDrive1", {"3F", "3D", "BC", "41", "46", "45", "C5"});
    }
    std::string pins(const std::string& key) { return shown("PhysicalDrive1", "pins", key); }
    void init_bus0() {
        ASSERT_EQ(run({"i2c_init", path_, "0", "50", "3", "4"}), "i2c_init ok\n");
        clear_trace();
    }

    const std::string path_ = drive_path(1);
};

// The bridge refuses a bus it lacks, one pin for both lines and pins it lacks (300 keeps
// 44); an accepted setup sends the pins, address and id.
TEST_F(i2c_gpio_e2e, i2c_init_sends_pins_address_and_id) {
    for (const auto& [id, scl, sda] :
         {std::tuple{"2", "3", "4"}, {"0", "3", "3"}, {"0", "32", "4"}, {"0", "3", "300"}}) {
        EXPECT_EQ(run({"i2c_init", path_, id, "50", scl, sda}), "i2c_init fail\n") << id << " " << scl << " " << sda;
    }
    EXPECT_EQ(pins("i2c_buses"), "none set up");
    clear_trace();
    EXPECT_EQ(run({"i2c_init", path_, "1", "67", "12", "13"}), "i2c_init ok\n");
    EXPECT_EQ(pin_blocks(),
              lines{"CMD PhysicalDrive1 E3 00 0C 0D 3F 00 00 00 67 00 01 00 01 00 00 00 out 1 status=0 err=0 data=00"});
    EXPECT_EQ(pins("i2c_buses"), "1 scl 12 sda 13 slave 0x0067");
}

TEST_F(i2c_gpio_e2e, written_bytes_read_back_through_the_eeprom) {
    init_bus0();
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", "10 de ad be ef"}), "write data:10 de ad be ef \ni2c_write ok\n");
    // The write's first byte set the pointer to 0x10; a read after write moves it back.
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", "2", "10"}), "read data:de ad \n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "50", "2"}), "read data:be ef \n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "0x50", "1"}), "read data:ff \n");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 50 00 00 00 05 00 00 00 out 5 status=0 err=0 "
                     "data=10 DE AD BE EF",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 00 01 10 50 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 01 00 00 50 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 01 00 00 50 00 00 00 01 00 00 00 in 1 status=0 err=0"}));
    EXPECT_EQ(pins("i2c_eeprom"), "0:0050 pointer 0x15, 4 of 256 bytes not erased");
}

// Reads after write longer than two bytes take one byte more; 255 reads nothing.
TEST_F(i2c_gpio_e2e, i2c_read_wf_lengths) {
    init_bus0();
    ASSERT_EQ(run({"i2c_write", path_, "0", "50", "20 01 02 03 04 05"}),
              "write data:20 01 02 03 04 05 \ni2c_write ok\n");
    for (const auto& [length, output, count] : {std::tuple{"2", "read data:01 02 \n", "02 00 00 00 in 2"},
                                                {"3", "read data:01 02 03 04 \n", "04 00 00 00 in 4"},
                                                {"255", "read data:\n", "00 00 00 00 in 0"}}) {
        clear_trace();
        EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", length, "20"}), output);
        EXPECT_EQ(pin_blocks(), lines{std::string("CMD PhysicalDrive1 E2 00 00 00 BC 00 01 20 50 00 00 00 ") + count +
                                      " status=0 err=0"});
    }
}

// Twenty of 21 bytes are sent: 01..13 went to 0x00..0x12 and 14 never came, so the byte
// after them is still erased.
TEST_F(i2c_gpio_e2e, i2c_write_sends_at_most_20_bytes) {
    init_bus0();
    const std::string tokens = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 14";
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", tokens}),
              "write data:00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 \ni2c_write ok\n");
    EXPECT_EQ(pin_blocks(), lines{"CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 50 00 00 00 14 00 00 00 out 20 status=0 "
                                  "err=0 data=00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13"});
    EXPECT_EQ(run({"i2c_read_wf", path_, "0", "50", "2", "11"}), "read data:12 13 \n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "50", "1"}), "read data:ff \n");
}

// An empty write is a zero-length probe: answered by the EEPROM, refused where nobody is.
TEST_F(i2c_gpio_e2e, empty_write_is_a_zero_length_probe) {
    init_bus0();
    EXPECT_EQ(run({"i2c_write", path_, "0", "50", ""}), "write data:\ni2c_write ok\n");
    EXPECT_EQ(run({"i2c_write", path_, "0", "51", "   "}), "write data:\ni2c_write fail\n");
    EXPECT_EQ(run({"i2c_read", path_, "0", "51", "2"}), "i2c_read fail\n");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 50 00 00 00 00 00 00 00 out 0 status=0 err=0",
                     "CMD PhysicalDrive1 E3 00 00 00 3D 01 00 00 51 00 00 00 00 00 00 00 out 0 status=2 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BC 01 00 00 51 00 00 00 02 00 00 00 in 2 status=2 err=0"}));
}

// A slave that stays keeps what was written to it; one that is dropped no longer answers.
TEST_F(i2c_gpio_e2e, slaves_are_added_and_removed_from_the_lab) {
    lab_ok({"set", "PhysicalDrive1", "i2c_slaves", "0:50:eeprom,1:0x68:eeprom"});
    EXPECT_EQ(pins("i2c_slaves"), "0:0050:eeprom,1:0068:eeprom");
    EXPECT_EQ(run({"i2c_init", path_, "1", "68", "7", "8"}), "i2c_init ok\n");
    EXPECT_EQ(run({"i2c_write", path_, "1", "68", "00 aa"}), "write data:00 aa \ni2c_write ok\n");
    lab_ok({"set", "PhysicalDrive1", "i2c_slaves", "1:68:eeprom"});
    EXPECT_EQ(run({"i2c_read_wf", path_, "1", "68", "1", "0"}), "read data:aa \n");
    lab_ok({"set", "PhysicalDrive1", "i2c_slaves", "none"});
    EXPECT_EQ(run({"i2c_read", path_, "1", "68", "1"}), "i2c_read fail\n");
    EXPECT_EQ(pins("i2c_slaves"), "none");
}

TEST_F(i2c_gpio_e2e, pin_settings_are_validated_by_set) {
    const std::string gpio_in = "gpio_in takes PIN=LEVEL[,PIN=LEVEL]... with pins 0 to 31 and levels 0 or 1";
    const std::string slaves =
        "i2c_slaves takes ID:ADDRESS:KIND[,...] with ids 0 to 1, hex addresses and the kind eeprom, or none";
    const std::pair<std::string, std::string> cases[] = {
        {"gpio_in 32=1", gpio_in},
        {"gpio_in 9=1,", gpio_in},
        {"i2c_slaves 2:50:eeprom", slaves},
        {"i2c_slaves 0:50:sensor", slaves},
        {"i2c_slaves 0:50:eeprom,0:0050:eeprom", "i2c_slaves names 0:0050 twice"},
        {"i2c_slaves "
         "0:1:eeprom,0:2:eeprom,0:3:eeprom,0:4:eeprom,0:5:eeprom,0:6:eeprom,0:7:eeprom,0:8:eeprom,0:9:eeprom",
         "i2c_slaves holds at most 8 slaves"},
        {"gpio_pins 9 2 1 1", "unknown key 'gpio_pins' (see mvbridge-lab DIR show NAME for the keys)"},
    };
    for (const auto& [setting, message] : cases) {
        const size_t space = setting.find(' ');
        expect_lab_error({"set", "PhysicalDrive1", setting.substr(0, space), setting.substr(space + 1)},
                         "mvbridge-lab: " + message + "\n");
    }
    EXPECT_EQ(pins("gpio_in"), "all low");
    EXPECT_EQ(pins("i2c_slaves"), "0:0050:eeprom");
}

TEST_F(i2c_gpio_e2e, gpio_init_direction_keeps_its_low_8_bits) {
    EXPECT_EQ(run({"gpio_init", path_, "9", "257"}), "");
    EXPECT_EQ(
        pin_blocks(),
        (lines{"CMD PhysicalDrive1 E3 00 00 00 41 09 02 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00",
               "CMD PhysicalDrive1 E3 00 00 00 46 09 01 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00"}));
    EXPECT_EQ(pins("gpio_pins"), "9 gpio out latch 0");
    clear_trace();
    EXPECT_EQ(run({"gpio_init", path_, "9", "2"}), "wrong gpio dir(2), should be 0(in) or 1(out)\n");
    EXPECT_EQ(pin_blocks(), lines{});
}

// An output pin reads back its latch whatever is driven onto it; an input reads the level
// the lab drives; the latch takes its value even while the pin is an input.
TEST_F(i2c_gpio_e2e, gpio_get_reads_the_latch_or_the_driven_level) {
    ASSERT_EQ(run({"gpio_init", path_, "9", "1"}), "");
    clear_trace();
    EXPECT_EQ(run({"gpio_set", path_, "265", "1"}), "set gpio9 value = 1 ok\n");
    EXPECT_EQ(run({"gpio_get", path_, "9"}), "gpio9 value = 1\n");
    EXPECT_EQ(pin_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 45 09 01 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00",
                     "CMD PhysicalDrive1 E2 00 00 00 C5 09 00 00 00 00 00 00 01 00 00 00 in 1 status=0 err=0"}));
    lab_ok({"set", "PhysicalDrive1", "gpio_in", "10=1,12=1"});
    ASSERT_EQ(run({"gpio_init", path_, "10", "0"}), "");
    EXPECT_EQ(run({"gpio_get", path_, "10"}), "gpio10 value = 1\n");
    lab_ok({"set", "PhysicalDrive1", "gpio_in", "10=0"});
    EXPECT_EQ(run({"gpio_get", path_, "10"}), "gpio10 value = 0\n");
    EXPECT_EQ(pins("gpio_in"), "12=1");
    EXPECT_EQ(run({"gpio_set", path_, "12", "0"}), "set gpio12 value = 0 ok\n");
    EXPECT_EQ(run({"gpio_get", path_, "12"}), "gpio12 value = 1\n");
    ASSERT_EQ(run({"gpio_init", path_, "12", "1"}), "");
    EXPECT_EQ(run({"gpio_get", path_, "12"}), "gpio12 value = 0\n");
}

}  // namespace
