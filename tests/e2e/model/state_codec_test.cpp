// The device record's state file: round trips and refused damage.
#include "lab/names.h"
#include "lab/state.h"
#include "lab/text.h"
#include "model_fixture.h"

namespace {

bridge_record busy_record() {
    bridge_record record = make_bridge(k_disk_sata);
    record.params.model = "Model with  spaces, 100% and %20";
    record.params.restart_name = "PhysicalDrive7";
    record.params.capacity_sectors = 0xFFFFFFFFFFFFll;
    record.state.registers[0x94] = 0x12345678;
    record.state.registers[0x10] = 0;
    for (size_t i = 0; i < record.state.flash_pg.size(); ++i) record.state.flash_pg[i] = static_cast<uint8_t>(i * 7);
    record.state.flash_pg[100] = '\n';
    fault_rule rule;
    std::string error;
    fault_parse_pattern("E2 .. .. .. BB", &rule, &error);
    fault_parse_options({"--os-error", "31", "--first", "4"}, false, &rule, &error);
    rule.matches = 2;
    record.state.faults.push_back(rule);
    return record;
}

TEST(state_codec, encode_decode_encode_is_byte_identical) {
    bridge_record record = busy_record();
    const std::string first = encode_bridge(record);
    bridge_record back;
    std::string error;
    ASSERT_TRUE(decode_bridge(first, &back, &error)) << error;
    EXPECT_EQ(back.params.model, record.params.model);
    EXPECT_EQ(back.state.flash_pg, record.state.flash_pg);
    EXPECT_EQ(back.state.registers, record.state.registers);
    ASSERT_EQ(back.state.faults.size(), 1u);
    EXPECT_EQ(back.state.faults[0].matches, 2u);
    EXPECT_EQ(encode_bridge(back), first);
}

TEST(state_codec, a_file_without_newer_fields_loads_with_their_defaults) {
    bridge_record back;
    std::string error;
    ASSERT_TRUE(decode_bridge("mvbridge-lab bridge 1\nname PhysicalDrive3\ndata\n", &back, &error)) << error;
    EXPECT_EQ(back.state.name, "PhysicalDrive3");
    EXPECT_EQ(back.params.max_xfer, bridge_params{}.max_xfer);
    EXPECT_EQ(back.state.flash_pg.size(), k_flash_sector_size);
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
    const std::string head = "mvbridge-lab bridge 1\nname PhysicalDrive1\n";
    bridge_record back;
    std::string error;
    EXPECT_FALSE(decode_bridge(head + "model " + std::string(2u << 20, 'x') + "\ndata\n", &back, &error));
    EXPECT_EQ(error, "header longer than 1048576 bytes");
}

TEST(state_codec, settable_fields_check_their_values) {
    bridge_record record = make_bridge();
    std::string error;
    EXPECT_FALSE(field_set_text(record, *find_field("model"), "tab\there", &error));
    EXPECT_FALSE(field_set_text(record, *find_field("revision"), "1.001", &error));
    EXPECT_FALSE(field_set_text(record, *find_field("capacity_sectors"), "-1", &error));
    EXPECT_FALSE(field_set_text(record, *find_field("restart_never"), "2", &error));
    EXPECT_FALSE(field_set_text(record, *find_field("security_status"), "0x10000", &error));
    EXPECT_TRUE(field_set_text(record, *find_field("restart_name"), "", &error));
    EXPECT_TRUE(field_set_text(record, *find_field("restart_name"), "e", &error));
    EXPECT_TRUE(field_set_text(record, *find_field("chip_id"), "0xa0030000", &error));
    EXPECT_EQ(record.params.chip_id, 0xA0030000u);
    EXPECT_EQ(field_show_text(record, *find_field("security_status")), "0x0000");
    EXPECT_EQ(field_show_text(record, *find_field("chip_id")), "0xA0030000");
}

TEST(state_codec, keys_are_unique) {
    const auto& fields = persisted_fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        for (size_t j = i + 1; j < fields.size(); ++j) EXPECT_STRNE(fields[i].key, fields[j].key);
    }
}

TEST(lab_text, numbers_are_strict) {
    uint32_t u = 0;
    int64_t i = 0;
    EXPECT_TRUE(parse_u32("4294967295", &u));
    EXPECT_EQ(u, 0xFFFFFFFFu);
    EXPECT_FALSE(parse_u32("4294967296", &u));
    EXPECT_FALSE(parse_u32("", &u));
    EXPECT_FALSE(parse_u32("0x", &u));
    EXPECT_FALSE(parse_u32(" 1", &u));
    EXPECT_FALSE(parse_u32("12abc", &u));
    EXPECT_TRUE(parse_u32("0XfF", &u));
    EXPECT_EQ(u, 255u);
    EXPECT_TRUE(parse_i64("-9223372036854775807", &i));
    EXPECT_FALSE(parse_i64("9223372036854775808", &i));
    std::string out;
    EXPECT_TRUE(unescape_text(escape_text("a b%\n\xff"), &out));
    EXPECT_EQ(out, "a b%\n\xff");
    EXPECT_FALSE(unescape_text("%", &out));
    EXPECT_FALSE(unescape_text("%4", &out));
    EXPECT_FALSE(unescape_text("%G0", &out));
}

struct path_case {
    const char* path;
    const char* name;   // null: does not map
};

class lab_paths : public ::testing::TestWithParam<path_case> {};

TEST_P(lab_paths, windows_paths_map_onto_lab_names) {
    std::string name;
    const bool mapped = lab_name_of_path(GetParam().path, &name);
    EXPECT_EQ(mapped, GetParam().name != nullptr);
    if (mapped) {
        EXPECT_EQ(name, GetParam().name);
    }
}

INSTANTIATE_TEST_SUITE_P(paths, lab_paths,
                         ::testing::Values(path_case{"\\\\.\\PhysicalDrive0", "PhysicalDrive0"},
                                           path_case{"\\\\.\\physicaldrive9", "PhysicalDrive9"},
                                           path_case{"\\\\.\\c:", "c"}, path_case{"\\\\.\\L:", "l"},
                                           path_case{"\\\\.\\PhysicalDrive10", nullptr},
                                           path_case{"\\\\.\\PhysicalDrive", nullptr},
                                           path_case{"\\\\.\\m:", nullptr}, path_case{"\\\\.\\c", nullptr},
                                           path_case{"\\\\.\\c:\\", nullptr}, path_case{"PhysicalDrive1", nullptr},
                                           path_case{"/dev/sda", nullptr}, path_case{"", nullptr}));

TEST(lab_paths_order, scan_order_is_drives_then_volumes) {
    const std::vector<std::string>& names = lab_all_names();
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names.front(), "PhysicalDrive0");
    EXPECT_EQ(names[9], "PhysicalDrive9");
    EXPECT_EQ(names[10], "c");
    EXPECT_EQ(names.back(), "l");
    EXPECT_EQ(lab_path_of_name("c"), "\\\\.\\c:");
}

}  // namespace
