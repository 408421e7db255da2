// The emulated bridge's information, control and RAID blocks: the rules by which it
// accepts or refuses them, and what a restart changes.
#include "common/bytes.h"
#include "model_fixture.h"

namespace {

uint32_t word_at(const served& result, size_t offset) { return get_le32(result.answer.data.data() + offset); }

// ---- UUID ----

TEST(bridge_info_model, uuid_command_can_be_missing_from_the_firmware) {
    bridge_record bridge = make_bridge();
    bridge.params.uuid = 0xA1B2C3D4;
    const served read = serve_in(bridge, "E2 00 00 00 C3 00 00 00 00 00 00 00 04", 4);
    ASSERT_EQ(read.sense(), "");
    EXPECT_EQ(word_at(read, 0), 0xA1B2C3D4u);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 C3 00 00 00 00 00 00 00 08", 8).sense(), "05/24/00");
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 C3 00 00 00 00 00 00 00 04", 8).sense(), "05/24/00");
    bridge.params.uuid_cmd = 0;
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 C3 00 00 00 00 00 00 00 04", 4).sense(), "05/20/00");
}

struct uuid_area_case {
    int generation;
    const char* cdb;
    uint32_t length;
    const char* sense;
    uint32_t first_word;   // when accepted
};

class uuid_area : public ::testing::TestWithParam<uuid_area_case> {};

TEST_P(uuid_area, holds_the_uuid_at_the_generation_offset_only) {
    const uuid_area_case& c = GetParam();
    bridge_record bridge = make_bridge(k_disk_nvme, c.generation);
    bridge.params.uuid = 0x01020304;
    const served read = serve_in(bridge, c.cdb, c.length);
    EXPECT_EQ(read.sense(), c.sense);
    if (read.answer.status != 0) return;
    ASSERT_EQ(read.answer.data.size(), c.length);
    EXPECT_EQ(word_at(read, 0), c.first_word);
}

INSTANTIATE_TEST_SUITE_P(
    reads, uuid_area,
    ::testing::Values(uuid_area_case{0, "E2 00 00 00 96 00 00 00 FC 00 00 00 04", 4, "", 0x01020304},
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 FC 07 00 00 04", 4, "", 0x01020304},
                      // The other generation's offset holds erased flash.
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 FC 00 00 00 04", 4, "", 0xFFFFFFFF},
                      uuid_area_case{0, "E2 00 00 00 96 00 00 00 FC 07 00 00 04", 4, "", 0xFFFFFFFF},
                      uuid_area_case{0, "E2 00 00 00 96 00 00 00 FE 00 00 00 04", 4, "", 0xFFFF0102},
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 00 00 00 00 00 08", 0x800, "", 0xFFFFFFFF},
                      // Nothing past the end of the area, however the numbers wrap.
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 FD 07 00 00 04", 4, "05/24/00", 0},
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 FF FF FF FF 04", 4, "05/24/00", 0},
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 00 00 00 00 01 08", 0x801, "05/24/00", 0},
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 FC 07 00 00 08", 4, "05/24/00", 0},
                      uuid_area_case{1, "E2 00 00 00 96 00 00 00 FC 07 00 00 00", 0, "05/24/00", 0}));

// ---- Customer page ----

TEST(bridge_info_model, customer_page_is_written_and_read_whole) {
    bridge_record bridge = make_bridge();
    std::vector<uint8_t> page(4096, 0);
    page[0] = 'a';
    page[4095] = 'z';
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 44 00 00 00 00 00 00 00 00 10", page).sense(), "");
    EXPECT_TRUE(bridge.dirty);
    EXPECT_EQ(bridge.state.cust_page, page);
    const served read = serve_in(bridge, "E2 00 00 00 C4 00 00 00 00 00 00 00 00 10", 4096);
    EXPECT_EQ(read.answer.data, page);

    // Part of a page, a page in the wrong direction or at an address: refused, page kept.
    const std::vector<uint8_t> short_page(4095, 0x11);
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 44 00 00 00 00 00 00 00 FF 0F", short_page).sense(), "05/24/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 44 00 00 00 00 00 00 00 00 10", short_page).sense(), "05/24/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 44 00 00 00 04 00 00 00 00 10", std::vector<uint8_t>(4096, 1)).sense(),
              "05/24/00");
    EXPECT_EQ(serve_in(bridge, "E3 00 00 00 44 00 00 00 00 00 00 00 00 10", 4096).sense(), "05/24/00");
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 C4 00 00 00 00 00 00 00 00 08", 2048).sense(), "05/24/00");
    EXPECT_EQ(bridge.state.cust_page, page);
}

// ---- Firmware version and status block ----

TEST(bridge_info_model, firmware_version_is_five_words) {
    bridge_record bridge = make_bridge();
    bridge.params.fw_major = 1;
    bridge.params.fw_minor = 2;
    bridge.params.fw_patch = 3;
    bridge.params.fw_reserved = 4;
    bridge.params.fw_build_date = 20240102;
    const served read = serve_in(bridge, "E2 00 00 00 A5 00 00 00 00 00 00 00 14", 20);
    ASSERT_EQ(read.answer.data.size(), 20u);
    EXPECT_EQ(word_at(read, 0), 1u);
    EXPECT_EQ(word_at(read, 4), 2u);
    EXPECT_EQ(word_at(read, 8), 3u);
    EXPECT_EQ(word_at(read, 12), 4u);
    EXPECT_EQ(word_at(read, 16), 20240102u);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 A5 00 00 00 00 00 00 00 10", 16).sense(), "05/24/00");
}

TEST(bridge_info_model, status_block_carries_usb_speed_and_ips_threshold_only) {
    bridge_record bridge = make_bridge();
    bridge.params.usb_speed = 0x11223344;
    bridge.params.ips_threshold = 0x55667788;
    const served read = serve_in(bridge, "E2 00 00 00 B5 00 00 00 00 00 00 00 80", 128);
    ASSERT_EQ(read.answer.data.size(), 128u);
    EXPECT_EQ(word_at(read, 20), 0x11223344u);
    EXPECT_EQ(word_at(read, 64), 0x55667788u);
    for (size_t i = 0; i < 128; ++i) {
        if ((i >= 20 && i < 24) || (i >= 64 && i < 68)) continue;
        EXPECT_EQ(read.answer.data[i], 0) << i;
    }
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 B5 00 00 00 00 00 00 00 40", 64).sense(), "05/24/00");
}

// ---- Disk speed and read/write mode ----

TEST(bridge_info_model, disk_speed_is_capped_by_what_the_link_reaches) {
    bridge_record bridge = make_bridge();
    bridge.params.disk_speed_max = 2;
    const char* read_cdb = "E2 00 00 00 CD 00 00 00 00 00 00 00 02";
    served read = serve_in(bridge, read_cdb, 2);
    EXPECT_EQ(read.answer.data, (std::vector<uint8_t>{2, 2}));
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4D 00 03", {}).sense(), "05/24/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4D 00 04", {}).sense(), "05/24/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4D 00 01", {}).sense(), "");
    EXPECT_EQ(serve_in(bridge, read_cdb, 2).answer.data, (std::vector<uint8_t>{1, 2}));
    // A length field on a block without data is a malformed block.
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4D 00 02 00 00 00 00 00 01", {}).sense(), "05/24/00");
    EXPECT_EQ(bridge.state.disk_speed, 1u);
    bridge.params.disk = k_disk_none;
    EXPECT_EQ(serve_in(bridge, read_cdb, 2).answer.data, (std::vector<uint8_t>{0, 2}));
}

TEST(bridge_info_model, rw_mode_accepts_only_the_modes_it_knows) {
    bridge_record bridge = make_bridge();
    for (uint8_t mode = 0; mode <= 2; ++mode) {
        const std::string cdb = "E3 00 00 00 4F 00 0" + std::to_string(mode);
        EXPECT_EQ(serve_out(bridge, cdb, {}).sense(), "") << cdb;
        EXPECT_EQ(bridge.state.rw_mode, mode);
    }
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4F 00 03", {}).sense(), "05/24/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4F 00 10", {}).sense(), "05/24/00");
    EXPECT_EQ(bridge.state.rw_mode, 2u);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CF 00 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{2});
}

// ---- Restart ----

TEST(bridge_info_model, restart_checks_its_type_and_data_before_restarting) {
    bridge_record bridge = make_bridge();
    const std::vector<uint8_t> zeros(4, 0);
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 30 03 00 00 00 00 00 00 04", zeros).sense(), "05/24/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 30 00 00 00 00 00 00 00 04", {0, 0, 1, 0}).sense(), "05/26/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 30 00 00 00 00 00 00 00 08", std::vector<uint8_t>(8, 0)).sense(),
              "05/24/00");
    EXPECT_EQ(serve_in(bridge, "E3 00 00 00 30 00 00 00 00 00 00 00 04", 4).sense(), "05/24/00");
    EXPECT_EQ(bridge.state.boot_count, 0u);
    for (uint32_t type = 0; type <= 2; ++type) {
        const std::string cdb = "E3 00 00 00 30 0" + std::to_string(type) + " 00 00 00 00 00 00 04";
        EXPECT_EQ(serve_out(bridge, cdb, zeros).sense(), "") << cdb;
        EXPECT_EQ(bridge.state.boot_count, type + 1);
    }
}

TEST(bridge_info_model, restart_resets_volatile_settings_and_applies_the_waiting_raid_mode) {
    bridge_record bridge = make_bridge();
    bridge.params.disks = 2;
    bridge.state.rw_mode = 2;
    bridge.state.disk_speed = 1;
    bridge.state.cust_page.assign(4096, 0x42);
    ASSERT_EQ(serve_out(bridge, "E3 00 00 00 52 01 00 00 52 41 49 44", {}).sense(), "");
    EXPECT_EQ(bridge.state.raid_mode, 0u);
    EXPECT_EQ(bridge.state.raid_pending, 1u);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 D2 00 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{0});

    ASSERT_EQ(serve_out(bridge, "E3 00 00 00 30 00 00 00 00 00 00 00 04", std::vector<uint8_t>(4, 0)).sense(), "");
    EXPECT_EQ(bridge.state.rw_mode, 0u);
    EXPECT_EQ(bridge.state.disk_speed, 0u);
    EXPECT_EQ(bridge.state.raid_mode, 1u);
    EXPECT_EQ(bridge.state.raid_pending, k_raid_none);
    EXPECT_EQ(bridge.state.cust_page, std::vector<uint8_t>(4096, 0x42));
    // A restart with nothing waiting keeps the mode.
    ASSERT_EQ(serve_out(bridge, "E3 00 00 00 30 01 00 00 00 00 00 00 04", std::vector<uint8_t>(4, 0)).sense(), "");
    EXPECT_EQ(bridge.state.raid_mode, 1u);
}

// ---- RAID ----

TEST(bridge_info_model, raid_set_needs_the_signature_and_a_known_mode) {
    bridge_record bridge = make_bridge();
    bridge.params.disks = 2;
    for (const char* cdb : {"E3 00 00 00 52 01 00 00 52 41 49 43", "E3 00 00 00 52 01 00 00 44 49 41 52",
                            "E3 00 00 00 52 03 00 00 52 41 49 44", "E3 00 00 00 52 FF 00 00 52 41 49 44",
                            "E3 00 00 00 52 01 00 00 52 41 49 44 01"}) {
        EXPECT_EQ(serve_out(bridge, cdb, {}).sense(), "05/24/00") << cdb;
    }
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 52 01 00 00 52 41 49 44", {0}).sense(), "05/24/00");
    EXPECT_EQ(bridge.state.raid_pending, k_raid_none);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 D2 00 00 00 00 00 00 00 02", 2).sense(), "05/24/00");
}

TEST(bridge_info_model, single_disk_bridge_has_no_raid_commands) {
    bridge_record bridge = make_bridge();
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 D2 00 00 00 00 00 00 00 01", 1).sense(), "05/20/00");
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 52 01 00 00 52 41 49 44", {}).sense(), "05/20/00");
    EXPECT_EQ(bridge.state.raid_pending, k_raid_none);
}

}  // namespace
