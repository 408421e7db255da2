// State files written before each device family kept its own state struct still load,
// every value into its family's part, and are written back byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "lab/record/state.h"

namespace {

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(LAB_MODEL_FIXTURES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bridge_record loaded(const std::string& content) {
    bridge_record record;
    std::string error;
    EXPECT_TRUE(decode_bridge(content, &record, &error)) << error;
    EXPECT_FALSE(record.dirty);
    return record;
}

std::string show(bridge_record& record, const char* key) {
    const persisted_field* field = find_field(key);
    return field == nullptr ? "(no such key)" : field_show_text(record, *field, 0);
}

TEST(family_state, an_nvme_bridge_of_the_earlier_layout_loads_into_its_families) {
    const std::string content = fixture("nvme_bridge_before_families.state");
    ASSERT_FALSE(content.empty());
    bridge_record record = loaded(content);
    EXPECT_EQ(encode_bridge(record), content);

    EXPECT_EQ(record.params.vendor, "Lab Co");
    EXPECT_EQ(record.params.uuid, 0x12345678u);
    EXPECT_EQ(record.params.restart_name, "PhysicalDrive3");
    EXPECT_EQ(record.state.xfer_flag, 0u);
    EXPECT_EQ(record.state.disk_speed, 2u);
    EXPECT_EQ(record.disk.kind, k_disk_nvme);
    EXPECT_EQ(record.disk.serial, "SN 42%x");
    EXPECT_EQ(record.nvme.temp_threshold, 350u);
    EXPECT_EQ(record.nvme.cmd_timeout, 45u);
    EXPECT_EQ(record.nvme.sanitize_fail, 1u);
    EXPECT_EQ(record.nvme.sanitize_log, (std::vector<uint32_t>{0x00010002, 0x00008000, 0x00010101}));
    EXPECT_EQ(record.nvme.fw_active, 2u);
    EXPECT_EQ(record.led.argb, 1u);
    EXPECT_EQ(record.led.sync, 3u);
    EXPECT_EQ(record.led.app_ctl, 1u);
    EXPECT_EQ(record.led.direct, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(show(record, "fw_running"), "rescue");
    EXPECT_EQ(record.pins.gpio[7].latch, 1u);
    EXPECT_TRUE(record.pins.i2c_buses[0].ready);
    EXPECT_EQ(record.pins.uart_baud, 115200u);
    ASSERT_EQ(record.pins.uart_sent.size(), 1u);
    EXPECT_EQ(record.pins.uart_sent[0].text, "hi \"there\"");
    ASSERT_EQ(record.faults.size(), 1u);
    EXPECT_EQ(record.faults[0].first, 3u);
    EXPECT_EQ(show(record, "i2c_slaves"), "0:0050:eeprom,1:00A0:eeprom");
    EXPECT_EQ(show(record, "uart_rx"), "6 bytes waiting: 68 65 6C 6C 6F 25");
}

TEST(family_state, a_sata_bridge_of_the_earlier_layout_loads_into_its_families) {
    const std::string content = fixture("sata_bridge_before_families.state");
    ASSERT_FALSE(content.empty());
    bridge_record record = loaded(content);
    EXPECT_EQ(encode_bridge(record), content);
    EXPECT_EQ(record.disk.kind, k_disk_sata);
    EXPECT_EQ(record.disk.state, 2u);
    EXPECT_EQ(record.disk.pcie_link, 0u);
    EXPECT_EQ(record.disk.security_status, 0x23u);
    EXPECT_EQ(record.disk.master_password_id, 0xFFFEu);
    EXPECT_EQ(record.params.revision, "1.00");
    EXPECT_EQ(record.nvme.sanitize_ms, 3000u);  // a default, written as it was
}

// Every key is served by exactly one family's row, and the composed table keeps the
// order of the state file: the identity first, the flash's keys last.
TEST(family_state, the_composed_table_keeps_the_file_order) {
    const auto& fields = persisted_fields();
    ASSERT_FALSE(fields.empty());
    EXPECT_STREQ(fields.front().key, "kind");
    EXPECT_STREQ(fields.back().key, "fw_running");
    const std::string content = fixture("nvme_bridge_before_families.state");
    size_t last = 0;
    for (const persisted_field& field : fields) {
        const size_t at = content.find(std::string("\n") + field.key + " ");
        if (at == std::string::npos) continue;  // a key without a header line here
        EXPECT_GT(at, last) << field.key;
        last = at;
    }
}

}  // namespace
