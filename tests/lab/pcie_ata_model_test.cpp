// The PCIe function and the SATA disk as device models: what writes may change, where
// memory space lies, which blocks are refused, and how their record persists.
#include <gtest/gtest.h>

#include "lab/model/disk/ata.h"
#include "lab/model/disk/disk_spaces.h"
#include "lab/model/nvme/pcie_function.h"
#include "lab/record/state.h"
#include "model_fixture.h"

namespace {

std::vector<uint8_t> conf_at(bridge_record& bridge, const std::string& reg, uint32_t length) {
    char cdb[64];
    std::snprintf(cdb, sizeof cdb, "E2 00 00 00 B3 00 00 00 %s 00 00 00 %02X", reg.c_str(), length);
    return serve_in(bridge, cdb, length).answer.data;
}

void conf_write(bridge_record& bridge, const std::string& reg, const std::vector<uint8_t>& data) {
    char cdb[64];
    std::snprintf(cdb, sizeof cdb, "E3 00 00 00 33 00 00 00 %s 00 00 00 %02zX", reg.c_str(), data.size());
    EXPECT_EQ(serve_out(bridge, cdb, data).sense(), "");
}

using bytes = std::vector<uint8_t>;

// Error bits of Status and PMCSR's PME status clear where a 1 is written; the other bits of
// those registers, and Link Status, keep their value; BAR1 is wholly writable.
TEST(pcie_model, configuration_writes_keep_read_only_bits_and_clear_status_bits) {
    bridge_record bridge = make_bridge();
    const uint8_t error_bits = 0xF9;  // every error bit of Status
    const uint8_t pme_status = 0x80;
    ASSERT_TRUE(memory_write(bridge, lab_memory::pcie_conf, k_conf_status + 1, &error_bits, 1));
    ASSERT_TRUE(memory_write(bridge, lab_memory::pcie_conf, k_cap_power + 5, &pme_status, 1));
    conf_write(bridge, "06", {0xFF, 0x28});  // clears 0x20 and 0x08 only
    EXPECT_EQ(conf_at(bridge, "06", 2), (bytes{0x10, 0xD1}));
    conf_write(bridge, "44", {0xFF, 0xFF});
    EXPECT_EQ(conf_at(bridge, "44", 2), (bytes{0x0B, 0x01}));  // D3hot, PME enable; no soft reset kept
    conf_write(bridge, "82", {0x00, 0x00});
    EXPECT_EQ(conf_at(bridge, "82", 2), (bytes{0x43, 0x10}));
    conf_write(bridge, "14", {1, 2, 3, 4});
    EXPECT_EQ(conf_at(bridge, "14", 4), (bytes{1, 2, 3, 4}));
    // A write reaching past the 256 bytes kept changes what lies inside and nothing else.
    conf_write(bridge, "FE", {0xAA, 0xBB, 0xCC, 0xDD});
    EXPECT_EQ(conf_at(bridge, "FC", 8), bytes(8, 0));
}

// BAR0 above 4 GiB cannot be reached with a 32-bit address; a shutdown request completes.
TEST(pcie_model, memory_space_follows_the_bar) {
    bridge_record bridge = make_bridge();
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 B4 00 00 00 08 00 00 FE 04", 4).answer.data, (bytes{0, 4, 1, 0}));
    // A read straddling the window's start: zeros, then the registers.
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 B4 00 00 00 FC FF FF FD 08", 8).answer.data,
              (bytes{0, 0, 0, 0, 0xFF, 0x03, 0x01, 0x14}));
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 34 00 00 00 14 00 00 FE 04", {0x01, 0x40, 0x46, 0x00}).sense(), "");
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 B4 00 00 00 1C 00 00 FE 04", 4).answer.data, (bytes{0x09, 0, 0, 0}));
    conf_write(bridge, "14", {1, 0, 0, 0});
    EXPECT_EQ(bar0_address(space_bytes(bridge, lab_memory::pcie_conf)), 0x1FE000000ull);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 B4 00 00 00 08 00 00 FE 04", 4).answer.data, bytes(4, 0));
}

TEST(pcie_model, blocks_the_function_refuses) {
    bridge_record nvme = make_bridge();
    expect_senses(nvme, {
                            // The length fields disagree; a long phase with the transfer flag set.
                            {"E2 00 00 00 B3 00 00 00 00 00 00 00 08", true, 4, "05/24/00"},
                            {"E2 00 00 00 B4 00 00 00 00 00 00 FE 01 10 00 00", true, 4097, "05/24/00"},
                            {"E3 00 00 00 34 00 00 00 00 00 00 FE 01 10 00 00", false, 4097, "05/24/00"},
                            // Past the function's 4 KiB of configuration space.
                            {"E2 00 00 00 B3 00 00 00 FC 0F 00 00 08", true, 8, "05/24/00"},
                            // ATA commands do not reach an NVMe disk.
                            {"A1 08 0E D0 01 01 4F C2 A0 B0", true, 512, "05/24/00"},
                            {"A1 06 0E 02 00 00 00 00 00 EF", false, 0, "05/24/00"},
                        });
    nvme.state.xfer_flag = 0;
    EXPECT_EQ(serve_in(nvme, "E2 00 00 00 B4 00 00 00 00 00 00 FE 01 10 00 00", 4097).sense(), "");
    nvme.disk.pcie_link = 0;
    EXPECT_EQ(serve_in(nvme, "E2 00 00 00 B3 00 00 00 00 00 00 00 04", 4).sense(), "05/24/00");
    bridge_record none = make_bridge(k_disk_none);
    EXPECT_EQ(serve_in(none, "E2 00 00 00 B3 00 00 00 00 00 00 00 04", 4).sense(), "02/3A/00");
    EXPECT_EQ(serve_in(none, "A1 08 0E D0 01 01 4F C2 A0 B0", 512).sense(), "02/3A/00");
    bridge_record sata = make_bridge(k_disk_sata);
    expect_senses(sata, {
                            // SMART READ DATA with another subcommand, count or signature.
                            {"A1 08 0E D1 01 01 4F C2 A0 B0", true, 512, "05/24/00"},
                            {"A1 08 0E D0 02 01 4F C2 A0 B0", true, 1024, "05/24/00"},
                            {"A1 08 0E D0 01 01 00 00 A0 B0", true, 512, "05/24/00"},
                            {"A1 08 0E 02 00 00 00 00 00 EF", true, 512, "05/24/00"},
                            {"A1 06 0E 42 00 00 00 00 00 EF", false, 0, "0B/00/00"},
                        });
    EXPECT_TRUE(sata.disk.ata_features.empty());
}

// The SMART data keeps its checksum when attributes change; a full table refuses more.
TEST(pcie_model, smart_attributes_and_checksum) {
    std::vector<uint8_t> smart = smart_data_power_on();
    EXPECT_EQ(smart[k_smart_checksum], smart_checksum(smart));
    EXPECT_TRUE(smart_put_attribute(smart, {.id = 0x09, .current = 90, .worst = 80, .raw = 0xABCDEF012345ull}));
    EXPECT_EQ(smart[k_smart_checksum], smart_checksum(smart));
    EXPECT_EQ(smart_attributes(smart)[1].raw, 0xABCDEF012345ull);
    EXPECT_FALSE(smart_remove_attribute(smart, 0x77));
    for (uint8_t id = 0x20; smart_attributes(smart).size() < k_smart_attribute_slots; ++id) {
        ASSERT_TRUE(smart_put_attribute(smart, {.id = id, .current = 1}));
    }
    EXPECT_FALSE(smart_put_attribute(smart, {.id = 0xFE, .current = 1}));
    EXPECT_TRUE(smart_put_attribute(smart, {.id = 0x09, .current = 1}));  // its own slot
    EXPECT_EQ(smart[k_smart_checksum], smart_checksum(smart));
}

// A bridge made before its disk had these memories gets their power-on content on first
// use: its function answers with its IDs.
TEST(pcie_model, memories_never_written_start_at_power_on) {
    bridge_record old = make_bridge();
    old.memories.pages.clear();
    EXPECT_FALSE(memory_written(old, lab_memory::pcie_conf));
    EXPECT_EQ(conf_at(old, "00", 4), (bytes{0x9A, 0x1F, 0x16, 0x50}));
    EXPECT_TRUE(memory_written(old, lab_memory::pcie_conf));
    EXPECT_EQ(serve_in(old, "E2 00 00 00 B4 00 00 00 08 00 00 FE 04", 4).answer.data, (bytes{0, 4, 1, 0}));
}

// Only the latest SET FEATURES are kept, and survive a save and load.
TEST(pcie_model, set_features_and_memories_persist) {
    bridge_record sata = make_bridge(k_disk_sata);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(
            serve_out(sata, i % 2 == 0 ? "A1 06 0E 02 07 00 00 00 00 EF" : "A1 06 0E 82 09 00 00 00 00 EF", {}).sense(),
            "");
    }
    ASSERT_EQ(sata.disk.ata_features.size(), 2 * k_set_features_kept);
    EXPECT_EQ(sata.disk.ata_features.back(), 0x09);
    bridge_record loaded;
    std::string error;
    ASSERT_TRUE(decode_bridge(encode_bridge(sata), &loaded, &error)) << error;
    EXPECT_EQ(loaded.disk.ata_features, sata.disk.ata_features);
}

}  // namespace
