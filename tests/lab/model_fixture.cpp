#include "model_fixture.h"

#include <cstdio>

#include "lab/record/fault.h"
#include "lab/model/led/led_memory.h"
#include "lab/record/state.h"
#include "lab/record/text.h"

std::string served::sense() const {
    if (answer.status == 0) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%02X/%02X/%02X", answer.sense_key, answer.sense_asc, answer.sense_ascq);
    return text;
}

bridge_record make_bridge(uint32_t disk, int generation) {
    bridge_record record;
    record.id = "PhysicalDrive1";
    record.state.name = "PhysicalDrive1";
    apply_generation_defaults(record.params, generation);
    apply_disk_defaults(record, disk);
    lab_write_default_led_image(record, k_lab_led_default_count);
    return record;
}

bridge_record busy_record() {
    bridge_record record = make_bridge(k_disk_sata);
    record.disk.model = "Model with  spaces, 100% and %20";
    record.params.restart_name = "PhysicalDrive7";
    record.disk.capacity_sectors = 0xFFFFFFFFFFFFll;
    record.state.registers[0x94] = 0x12345678;
    record.state.registers[0x10] = 0;
    std::vector<uint8_t> sector(k_flash_sector_size);
    for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<uint8_t>(i * 7);
    sector[100] = '\n';
    set_flash(record, k_flash_pg_sector, sector);
    fault_rule rule;
    std::string error;
    fault_parse_pattern("E2 .. .. .. BB", &rule, &error);
    fault_parse_options({"--os-error", "31", "--first", "4"}, false, &rule, &error);
    rule.matches = 2;
    record.faults.push_back(rule);

    EXPECT_TRUE(field_set_text(record, *find_field("i2c_slaves"), "0:50:eeprom,1:A0:eeprom", &error)) << error;
    bridge_pins& pins = record.pins;
    pins.gpio[0] = {2, 1, 1};
    pins.gpio[31] = {5, 0, 1};
    pins.gpio_input_high = 0x80000001;
    pins.i2c_buses[1] = {true, 30, 31, 0xA0};
    pins.i2c_slaves[1].pointer = 0x7F;
    pins.i2c_slaves[1].memory[0] = '\n';
    pins.uart_ready = true;
    pins.uart_rx_pin = 7;
    pins.uart_baud = 57600;
    uart_log_transmission(pins, {-1, 9600, "line 1\r\n100% \"quoted\""});
    uart_log_transmission(pins, {4, 115200, std::string(1, '\0') + "x"});
    pins.uart_received = {0x00, 0x0A, 0xFF};
    return record;
}

std::vector<uint8_t> flash_at(bridge_record& record, uint64_t offset, size_t length) {
    std::vector<uint8_t> bytes(length);
    EXPECT_TRUE(memory_read(record, lab_memory::flash, offset, bytes.data(), length));
    return bytes;
}

void set_flash(bridge_record& record, uint64_t offset, const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(memory_write(record, lab_memory::flash, offset, bytes.data(), bytes.size()));
}

std::array<uint8_t, 16> cdb_of(const std::string& hex) {
    std::array<uint8_t, 16> cdb{};
    const std::vector<std::string> words = split_words(hex);
    for (size_t i = 0; i < words.size() && i < 16; ++i) parse_hex_byte(words[i], &cdb[i]);
    return cdb;
}

served serve_in(bridge_record& record, const std::string& cdb_hex, uint32_t length, bool cdrom_view) {
    const auto cdb = cdb_of(cdb_hex);
    block_request request;
    request.cdb = cdb.data();
    request.data_in = true;
    request.length = length;
    request.cdrom_view = cdrom_view;
    served result;
    serve_request(record, request, result.answer);
    return result;
}

served serve_out(bridge_record& record, const std::string& cdb_hex, const std::vector<uint8_t>& data) {
    const auto cdb = cdb_of(cdb_hex);
    block_request request;
    request.cdb = cdb.data();
    request.data_in = false;
    request.length = static_cast<uint32_t>(data.size());
    request.data_out = data.empty() ? nullptr : data.data();
    served result;
    serve_request(record, request, result.answer);
    return result;
}

served serve_block(bridge_record& record, const block_case& c) {
    return c.data_in ? serve_in(record, c.cdb, c.length) : serve_out(record, c.cdb, std::vector<uint8_t>(c.length, 0));
}

void expect_senses(bridge_record& record, const std::vector<block_case>& cases) {
    for (const block_case& c : cases) {
        EXPECT_EQ(serve_block(record, c).sense(), c.sense) << c.cdb << (c.data_in ? " in " : " out ") << c.length;
    }
}

std::string identity_lines() {
    bridge_record record;
    record.state.name = "PhysicalDrive1";
    const std::string file = encode_bridge(record);
    std::string lines;
    for (size_t at = 0; at < file.size();) {
        const size_t end = file.find('\n', at);
        const std::string line = file.substr(at, end - at + 1);
        const persisted_field* field = find_field(line.substr(0, line.find(' ')));
        if (field != nullptr && std::string(field->section) == "identity") lines += line;
        at = end + 1;
    }
    return lines;
}
