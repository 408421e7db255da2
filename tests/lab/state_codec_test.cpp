// The device record's state file: round trips and refused damage.
#include <algorithm>
#include <tuple>

#include "lab/host/names.h"
#include "lab/record/state.h"
#include "lab/record/text.h"
#include "model_fixture.h"

namespace {

std::string k_head() { return "mvbridge-lab bridge 1\nname PhysicalDrive1\n" + identity_lines(); }

TEST(state_codec, encode_decode_encode_is_byte_identical) {
    bridge_record record = busy_record();
    const std::string first = encode_bridge(record);
    bridge_record back;
    std::string error;
    ASSERT_TRUE(decode_bridge(first, &back, &error)) << error;
    EXPECT_EQ(back.disk.model, record.disk.model);
    // The flash is no part of the file: the record loaded from it has an erased flash.
    EXPECT_EQ(first.find("blob"), std::string::npos);
    EXPECT_EQ(flash_at(back, k_flash_pg_sector, 4), std::vector<uint8_t>(4, 0xFF));
    EXPECT_EQ(back.state.registers, record.state.registers);
    ASSERT_EQ(back.faults.size(), 1u);
    EXPECT_EQ(back.faults[0].matches, 2u);
    const bridge_pins& pins = back.pins;
    EXPECT_EQ(pins.gpio[31].function, 5);
    EXPECT_EQ(pins.gpio_input_high, 0x80000001u);
    EXPECT_TRUE(pins.i2c_buses[1].ready);
    EXPECT_FALSE(pins.i2c_buses[0].ready);
    ASSERT_EQ(pins.i2c_slaves.size(), 2u);
    EXPECT_EQ(pins.i2c_slaves[1].memory, record.pins.i2c_slaves[1].memory);
    EXPECT_EQ(pins.i2c_slaves[1].pointer, 0x7F);
    ASSERT_EQ(pins.uart_sent.size(), 2u);
    EXPECT_EQ(pins.uart_sent[0].text, "line 1\r\n100% \"quoted\"");
    EXPECT_EQ(pins.uart_sent[1].text, std::string(1, '\0') + "x");
    EXPECT_EQ(pins.uart_received, record.pins.uart_received);
    EXPECT_EQ(encode_bridge(back), first);
}

// A file without the newer lines loads with their defaults: the board's EEPROM, no pin
// setup; a slave list the user emptied stays empty.
TEST(state_codec, a_file_without_newer_fields_loads_with_their_defaults) {
    bridge_record back;
    std::string error;
    ASSERT_TRUE(
        decode_bridge("mvbridge-lab bridge 1\nname PhysicalDrive3\n" + identity_lines() + "data\n", &back, &error))
        << error;
    EXPECT_EQ(back.state.name, "PhysicalDrive3");
    EXPECT_EQ(back.params.max_xfer, bridge_params{}.max_xfer);
    EXPECT_EQ(back.params.flash_size, 2u << 20);
    ASSERT_EQ(back.pins.i2c_slaves.size(), 1u);
    EXPECT_EQ(back.pins.i2c_slaves[0].address, 0x50);
    EXPECT_FALSE(back.pins.i2c_buses[0].ready);
    back.pins.i2c_slaves.clear();
    bridge_record again;
    ASSERT_TRUE(decode_bridge(encode_bridge(back), &again, &error)) << error;
    EXPECT_TRUE(again.pins.i2c_slaves.empty());
}

TEST(state_codec, every_truncation_of_a_file_is_refused_or_whole) {
    bridge_record record = busy_record();
    const std::string full = encode_bridge(record);
    // Cutting a file anywhere never crashes and never yields a record with short blobs.
    for (size_t cut = 0; cut < full.size(); cut += 97) {
        bridge_record back;
        std::string error;
        EXPECT_FALSE(decode_bridge(full.substr(0, cut), &back, &error)) << "cut at " << cut;
        EXPECT_FALSE(error.empty());
    }
}

TEST(state_codec, a_header_line_reaching_beyond_the_header_limit_is_refused_before_it_is_read) {
    bridge_record back;
    std::string error;
    EXPECT_FALSE(decode_bridge(k_head() + "model " + std::string(2u << 20, 'x') + "\ndata\n", &back, &error));
    EXPECT_EQ(error, "header longer than 1048576 bytes");
}

TEST(state_codec, damaged_pin_lines_make_the_file_corrupt) {
    const std::string memory(512, 'F');
    for (const std::string& line : std::vector<std::string>{
             "gpio_pins 32 2 1 1", "gpio_pins 9 8 1 1", "gpio_pins 9 2 1", "gpio_in 9=3", "i2c_buses 2 3 4 0x50",
             "i2c_buses 0 3 4 0x10000", "i2c_slaves 0:50", "i2c_eeprom 0:0051 0x00 " + memory,
             "i2c_eeprom 0:0050 0x00 " + memory.substr(2), "i2c_eeprom 0:0050 0x100 " + memory, "uart_receiver 5",
             "uart_tx 3 9600", "uart_tx 32 9600 x", "uart_tx 3 9600 %4", "uart_rx 0A 0",
             "uart_rx " + std::string(2 * 4097, '0')}) {
        bridge_record back;
        std::string error;
        EXPECT_FALSE(decode_bridge(k_head() + line + "\ndata\n", &back, &error)) << line.substr(0, 40);
        EXPECT_FALSE(error.empty());
    }
}

TEST(state_codec, a_transmit_log_holds_at_most_its_limit_of_text) {
    const std::string half(k_uart_tx_log_limit / 2, 'a');
    bridge_record back;
    std::string error;
    ASSERT_TRUE(
        decode_bridge(k_head() + "uart_tx - 9600 " + half + "\nuart_tx 3 9600 " + half + "\ndata\n", &back, &error))
        << error;
    EXPECT_EQ(back.pins.uart_sent.size(), 2u);
    EXPECT_FALSE(
        decode_bridge(k_head() + "uart_tx - 9600 " + half + "\nuart_tx 3 9600 " + half + "b\ndata\n", &back, &error));
    // The header's lines before the log: magic, name and the identity lines.
    const std::string identity = identity_lines();
    const size_t before = 2 + static_cast<size_t>(std::count(identity.begin(), identity.end(), '\n'));
    const auto line = [&](size_t n) { return "line " + std::to_string(before + n) + ": "; };
    EXPECT_EQ(error, line(2) + "uart_tx lines hold more than 4096 bytes of text");
    // A header full of one-byte transmissions is refused as soon as the log is full, not
    // replayed line by line through the log's trimming.
    std::string many = k_head();
    for (int i = 0; i < 70000; ++i) many += "uart_tx - 1 a\n";
    EXPECT_FALSE(decode_bridge(many + "data\n", &back, &error));
    EXPECT_EQ(error, line(4097) + "uart_tx lines hold more than 4096 bytes of text");
}

// Settable fields check their values; each key names one field; show prints each part.
TEST(state_codec, fields_check_show_and_are_unique) {
    bridge_record record = make_bridge();
    std::string error;
    for (const auto& [key, value, accepted] : {std::tuple{"model", "tab\there", false},
                                               {"revision", "1.001", false},
                                               {"capacity_sectors", "-1", false},
                                               {"restart_never", "2", false},
                                               {"security_status", "0x10000", false},
                                               {"restart_name", "", true},
                                               {"restart_name", "e", true},
                                               {"chip_id", "0xa0030000", true}}) {
        EXPECT_EQ(field_set_text(record, *find_field(key), value, &error), accepted) << key << " " << value;
    }
    EXPECT_EQ(field_show_text(record, *find_field("security_status"), 0), "0x0000");
    EXPECT_EQ(field_show_text(record, *find_field("chip_id"), 0), "0xA0030000");

    bridge_record busy = busy_record();
    const auto show = [&busy](const char* key) { return field_show_text(busy, *find_field(key), 0); };
    EXPECT_EQ(show("gpio_pins"), "0 gpio out latch 1, 31 function 5 in latch 1");
    EXPECT_EQ(show("gpio_in"), "0=1,31=1");
    EXPECT_EQ(show("i2c_buses"), "1 scl 30 sda 31 slave 0x00A0");
    EXPECT_EQ(show("i2c_slaves"), "0:0050:eeprom,1:00A0:eeprom");
    EXPECT_EQ(show("i2c_eeprom"), "1:00A0 pointer 0x7F, 1 of 256 bytes not erased");
    EXPECT_EQ(show("uart_receiver"), "pin 7 at 57600 baud");
    EXPECT_EQ(show("uart_tx"),
              "own pin at 9600 baud \"line 1\\x0D\\x0A100% \\\"quoted\\\"\"; pin 4 at 115200 baud \"\\x00x\"");
    EXPECT_EQ(show("uart_rx"), "3 bytes waiting: 00 0A FF");

    const auto& fields = persisted_fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        for (size_t j = i + 1; j < fields.size(); ++j) EXPECT_STRNE(fields[i].key, fields[j].key);
    }
}

TEST(lab_text, numbers_and_escapes_are_strict) {
    uint32_t u = 0;
    for (const char* refused : {"4294967296", "", "0x", " 1", "12abc"}) EXPECT_FALSE(parse_u32(refused, &u)) << refused;
    EXPECT_TRUE(parse_u32("4294967295", &u));
    EXPECT_EQ(u, 0xFFFFFFFFu);
    EXPECT_TRUE(parse_u32("0XfF", &u));
    EXPECT_EQ(u, 255u);
    int64_t i = 0;
    EXPECT_TRUE(parse_i64("-9223372036854775807", &i));
    EXPECT_FALSE(parse_i64("9223372036854775808", &i));
    std::string out;
    EXPECT_TRUE(unescape_text(escape_text("a b%\n\xff"), &out));
    EXPECT_EQ(out, "a b%\n\xff");
    for (const char* refused : {"%", "%4", "%G0"}) EXPECT_FALSE(unescape_text(refused, &out)) << refused;
}

// Windows paths map onto the lab's twenty names, drives first in the scan order.
TEST(lab_paths, windows_paths_map_onto_lab_names) {
    const std::pair<const char*, const char*> cases[] = {
        {"\\\\.\\PhysicalDrive0", "PhysicalDrive0"},
        {"\\\\.\\physicaldrive9", "PhysicalDrive9"},
        {"\\\\.\\c:", "c"},
        {"\\\\.\\L:", "l"},
        {"\\\\.\\PhysicalDrive10", nullptr},
        {"\\\\.\\PhysicalDrive", nullptr},
        {"\\\\.\\m:", nullptr},
        {"\\\\.\\c", nullptr},
        {"\\\\.\\c:\\", nullptr},
        {"PhysicalDrive1", nullptr},
        {"/dev/sda", nullptr},
        {"", nullptr},
    };
    for (const auto& [path, expected] : cases) {
        std::string name;
        EXPECT_EQ(lab_name_of_path(path, &name), expected != nullptr) << path;
        if (expected != nullptr) {
            EXPECT_EQ(name, expected) << path;
        }
    }
    const std::vector<std::string>& names = lab_all_names();
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names.front(), "PhysicalDrive0");
    EXPECT_EQ(names[9], "PhysicalDrive9");
    EXPECT_EQ(names[10], "c");
    EXPECT_EQ(names.back(), "l");
    EXPECT_EQ(lab_path_of_name("c"), "\\\\.\\c:");
}

}  // namespace
