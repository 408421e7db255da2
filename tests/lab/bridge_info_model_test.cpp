// The emulated bridge's information, control and RAID blocks: the rules by which it
// accepts or refuses them, and what a restart changes.
#include "zelko/common/bytes.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

uint32_t word_at(const served& result, size_t offset) { return get_le32(result.answer.data.data() + offset); }

// Each block is refused when its length field, data phase or direction is not the one the
// tool sends, and the records it keeps stay as they were.
TEST(bridge_info_model, blocks_in_any_other_shape_are_refused) {
    bridge_record bridge = make_bridge();
    bridge.params.disks = 2;
    const std::vector<uint8_t> page(4096, 0x11);
    set_flash(bridge, k_flash_cust_page, page);
    expect_senses(bridge, {
                              {"E2 00 00 00 C3 00 00 00 00 00 00 00 08", true, 8, "05/24/00"},
                              {"E2 00 00 00 C3 00 00 00 00 00 00 00 04", true, 8, "05/24/00"},
                              {"E3 00 00 00 44 00 00 00 00 00 00 00 FF 0F", false, 4095, "05/24/00"},
                              {"E3 00 00 00 44 00 00 00 00 00 00 00 00 10", false, 4095, "05/24/00"},
                              {"E3 00 00 00 44 00 00 00 04 00 00 00 00 10", false, 4096, "05/24/00"},  // an address
                              {"E3 00 00 00 44 00 00 00 00 00 00 00 00 10", true, 4096, "05/24/00"},
                              {"E2 00 00 00 C4 00 00 00 00 00 00 00 00 08", true, 2048, "05/24/00"},
                              {"E2 00 00 00 A5 00 00 00 00 00 00 00 10", true, 16, "05/24/00"},
                              {"E2 00 00 00 B5 00 00 00 00 00 00 00 40", true, 64, "05/24/00"},
                              {"E3 00 00 00 4D 00 02 00 00 00 00 00 01", false, 0, "05/24/00"},  // length without data
                              {"E3 00 00 00 4D 00 04", false, 0, "05/24/00"},
                              {"E3 00 00 00 4F 00 03", false, 0, "05/24/00"},
                              {"E3 00 00 00 4F 00 10", false, 0, "05/24/00"},
                              {"E3 00 00 00 30 03 00 00 00 00 00 00 04", false, 4, "05/24/00"},
                              {"E3 00 00 00 30 00 00 00 00 00 00 00 08", false, 8, "05/24/00"},
                              {"E3 00 00 00 30 00 00 00 00 00 00 00 04", true, 4, "05/24/00"},
                              // RAID: the signature "RAID", a known mode, no data.
                              {"E3 00 00 00 52 01 00 00 52 41 49 43", false, 0, "05/24/00"},
                              {"E3 00 00 00 52 01 00 00 44 49 41 52", false, 0, "05/24/00"},
                              {"E3 00 00 00 52 03 00 00 52 41 49 44", false, 0, "05/24/00"},
                              {"E3 00 00 00 52 FF 00 00 52 41 49 44", false, 0, "05/24/00"},
                              {"E3 00 00 00 52 01 00 00 52 41 49 44 01", false, 0, "05/24/00"},
                              {"E3 00 00 00 52 01 00 00 52 41 49 44", false, 1, "05/24/00"},
                              {"E2 00 00 00 D2 00 00 00 00 00 00 00 02", true, 2, "05/24/00"},
                          });
    EXPECT_EQ(flash_at(bridge, k_flash_cust_page, 4096), page);
    EXPECT_EQ(bridge.state.rw_mode, 0u);
    EXPECT_EQ(bridge.state.boot_count, 0u);
    EXPECT_EQ(bridge.state.raid_pending, k_raid_none);
    // The data of a restart must be zeros.
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 30 00 00 00 00 00 00 00 04", {0, 0, 1, 0}).sense(), "05/26/00");
    bridge.params.uuid_cmd = 0;
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 C3 00 00 00 00 00 00 00 04", 4).sense(), "05/20/00");
}

struct uuid_area_case {
    int generation;
    const char* cdb;
    uint32_t length;
    const char* sense;
    uint32_t first_word;  // when accepted
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

// The answers carry the record's values in their places and nothing else.
TEST(bridge_info_model, answers_carry_the_values_in_their_places) {
    bridge_record bridge = make_bridge();
    bridge.params.fw_reserved = 4;
    bridge.params.usb_speed = 0x11223344;
    bridge.params.ips_threshold = 0x55667788;
    const served version = serve_in(bridge, "E2 00 00 00 A5 00 00 00 00 00 00 00 14", 20);
    ASSERT_EQ(version.answer.data.size(), 20u);
    EXPECT_EQ(word_at(version, 12), 4u);
    const served status = serve_in(bridge, "E2 00 00 00 B5 00 00 00 00 00 00 00 80", 128);
    ASSERT_EQ(status.answer.data.size(), 128u);
    EXPECT_EQ(word_at(status, 20), 0x11223344u);
    EXPECT_EQ(word_at(status, 64), 0x55667788u);
    for (size_t i = 0; i < 128; ++i)
        EXPECT_EQ(status.answer.data[i] != 0, (i >= 20 && i < 24) || (i >= 64 && i < 68)) << i;
    // The disk speed read gives the speed in force and the fastest the link reaches; no disk
    // is speed 0.
    bridge.params.disk_speed_max = 2;
    ASSERT_EQ(serve_out(bridge, "E3 00 00 00 4D 00 01", {}).sense(), "");
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CD 00 00 00 00 00 00 00 02", 2).answer.data, (std::vector<uint8_t>{1, 2}));
    bridge.disk.kind = k_disk_none;
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CD 00 00 00 00 00 00 00 02", 2).answer.data, (std::vector<uint8_t>{0, 2}));
}

TEST(bridge_info_model, restart_resets_volatile_settings_and_applies_the_waiting_raid_mode) {
    bridge_record bridge = make_bridge();
    bridge.params.disks = 2;
    bridge.state.rw_mode = 2;
    bridge.state.disk_speed = 1;
    set_flash(bridge, k_flash_cust_page, std::vector<uint8_t>(4096, 0x42));
    ASSERT_EQ(serve_out(bridge, "E3 00 00 00 52 01 00 00 52 41 49 44", {}).sense(), "");
    EXPECT_EQ(bridge.state.raid_pending, 1u);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 D2 00 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{0});

    for (uint32_t type = 0; type <= 2; ++type) {
        const std::string cdb = "E3 00 00 00 30 0" + std::to_string(type) + " 00 00 00 00 00 00 04";
        ASSERT_EQ(serve_out(bridge, cdb, std::vector<uint8_t>(4, 0)).sense(), "") << cdb;
        EXPECT_EQ(bridge.state.boot_count, type + 1);
        EXPECT_EQ(bridge.state.rw_mode, 0u);
        EXPECT_EQ(bridge.state.disk_speed, 0u);
        // The waiting mode is applied once; a restart with nothing waiting keeps the mode.
        EXPECT_EQ(bridge.state.raid_mode, 1u);
        EXPECT_EQ(bridge.state.raid_pending, k_raid_none);
        EXPECT_EQ(flash_at(bridge, k_flash_cust_page, 4096), std::vector<uint8_t>(4096, 0x42));
    }
}

}  // namespace
