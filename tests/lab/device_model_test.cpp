// The emulated bridge's answers, block by block.
#include <numeric>

#include "zelko/common/bytes.h"
#include "lab/model/flash/restart.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

std::string text_at(const std::vector<uint8_t>& data, size_t offset, size_t count) {
    return std::string(data.begin() + static_cast<std::ptrdiff_t>(offset),
                       data.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

// ATA string: the first character of each pair in the word's high byte.
std::string ata_text(const std::vector<uint8_t>& data, int word, int words) {
    std::string text;
    for (int i = 0; i < words; ++i) {
        text += static_cast<char>(data[2 * (word + i) + 1]);
        text += static_cast<char>(data[2 * (word + i)]);
    }
    return text;
}

uint32_t read_register(bridge_record& bridge, const char* cdb) {
    const served read = serve_in(bridge, cdb, 4);
    EXPECT_EQ(read.sense(), "") << cdb;
    return read.answer.data.size() == 4 ? get_le32(read.answer.data.data()) : 0xDEADDEAD;
}

TEST(device_model, inquiry_pads_identity_and_presents_the_cdrom_on_its_volume) {
    bridge_record bridge = make_bridge();
    const served disk = serve_in(bridge, "12 00 00 02 00", 512);
    ASSERT_EQ(disk.answer.data.size(), 36u);
    EXPECT_EQ(disk.answer.data[0], 0x00);
    EXPECT_EQ(text_at(disk.answer.data, 8, 28), "Morvelt USB3 NVMe Bridge1.01");
    const served cdrom = serve_in(bridge, "12 00 00 02 00", 512, true);
    EXPECT_EQ(cdrom.answer.data[0], 0x05);
    EXPECT_EQ(text_at(cdrom.answer.data, 8, 28), "Morvelt USB CD-ROM      1.01");
    // The allocation length bounds the answer.
    EXPECT_EQ(serve_in(bridge, "12 00 00 00 05", 5).answer.data.size(), 5u);
}

// Blocks it does not handle get invalid operation code; blocks it handles are refused
// outside the address map, with lengths that do not match the data phase, or beyond the
// transfer limit.
TEST(device_model, unknown_or_malformed_blocks_are_refused) {
    bridge_record bridge = make_bridge();
    expect_senses(bridge, {
                              {"00", true, 4, "05/24/00"},                          // TEST UNIT READY carries no data
                              {"28 00 00 00 00 00 00 00 01", true, 4, "05/24/00"},  // one block is 512 bytes
                              {"C0", true, 4, "05/20/00"},
                              {"E2 00 00 00 99", true, 4, "05/20/00"},
                              {"E3 00 00 00 99", true, 4, "05/20/00"},
                              {"E2 00 00 00 A8 12 00 00 00 00 00 00 48", true, 4, "05/20/00"},
                              {"A1 08 0E 00 01 00 00 00 00 E7", true, 4, "05/20/00"},
                              {"12 01 83 00 FF", true, 255, "05/24/00"},  // no device identification page
                              // The other generation's block, past the block, past the flash
                              // (2 MiB), past the flash window.
                              {"E2 00 00 00 92 00 00 00 C8 00 50 B3 04", true, 4, "05/24/00"},
                              {"E2 00 00 00 92 00 00 00 FE 0F 70 B3 04", true, 4, "05/24/00"},
                              {"E2 00 00 00 92 00 00 00 01 F0 1F AC 00 10", true, 4096, "05/24/00"},
                              {"E2 00 00 00 92 00 00 00 00 00 00 B0 04", true, 4, "05/24/00"},
                              {"E2 00 00 00 92 00 00 00 00 00 00 AB 04", true, 4, "05/24/00"},
                              // The length field must match; a register read is 4 aligned bytes.
                              {"E2 00 00 00 92 00 00 00 00 40 00 AC 60", true, 64, "05/24/00"},
                              {"E2 00 00 00 A2 00 00 00 C6 00 70 B3 04", true, 4, "05/24/00"},
                              {"E2 00 00 00 A2 00 00 00 C4 00 70 B3 08", true, 8, "05/24/00"},
                              {"E2 00 00 00 CA 00 00 00 01 00 00 00 04", true, 4, "05/24/00"},
                              // Register writes carry their data out, with selector 0.
                              {"E3 00 00 00 23 01 00 00 94 00 70 B3 04", false, 4, "05/24/00"},
                              {"E3 00 00 00 23 00 00 00 94 00 70 B3 04", true, 4, "05/24/00"},
                              // IDENTIFY in another protocol or length.
                              {"A1 08 0E 00 02 00 00 00 00 EC", true, 1024, "05/24/00"},
                              {"A1 0A 0E 00 01 00 00 00 00 EC", true, 512, "05/24/00"},
                          });
    // An unaligned memory read of registers takes their little-endian bytes.
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 92 00 00 00 C6 00 70 B3 04", 4).answer.data,
              (std::vector<uint8_t>{0x12, 0x00, 0x01, 0x00}));
    // A data phase beyond the limit is refused before any handler sees it.
    bridge.params.max_xfer = 64;
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 92 00 00 00 00 40 00 AC 60", 96).sense(), "05/24/00");
}

// The configuration window reads the flash sector; register writes stick until a restart,
// the identity registers are read only; the transfer flag is kept, the limit reported.
TEST(device_model, memory_registers_and_transfer_settings) {
    bridge_record bridge = make_bridge();
    std::vector<uint8_t> sector(k_flash_sector_size);
    std::iota(sector.begin(), sector.end(), uint8_t{0});
    set_flash(bridge, k_flash_pg_sector, sector);
    const served unlock = serve_in(bridge, "E2 00 00 00 92 00 00 00 00 40 00 AC 60 00 00 00", 96);
    ASSERT_EQ(unlock.answer.data.size(), 96u);
    EXPECT_EQ(unlock.answer.data[95], 95);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 92 00 00 00 F0 4F 00 AC 10 00 00 00", 16).answer.data[0], 0xF0);
    EXPECT_FALSE(bridge.dirty);

    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 23 00 00 00 94 00 70 B3 04", {0x78, 0x56, 0x34, 0x12}).sense(), "");
    EXPECT_TRUE(bridge.dirty);
    EXPECT_EQ(read_register(bridge, "E2 00 00 00 A2 00 00 00 94 00 70 B3 04"), 0x12345678u);
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 23 00 00 00 C8 00 70 B3 04", {0, 0, 0, 0}).sense(), "");
    EXPECT_EQ(read_register(bridge, "E2 00 00 00 A2 00 00 00 C8 00 70 B3 04"), 0xA0020001u);
    bridge_restart(bridge, 1000);
    EXPECT_EQ(read_register(bridge, "E2 00 00 00 A2 00 00 00 94 00 70 B3 04"), 0x3300u);
    EXPECT_FALSE(bridge_online(bridge, 1000 + 1999));
    EXPECT_TRUE(bridge_online(bridge, 1000 + 2000));

    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CB 00 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{1});
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4B 00 00 00 00 00 00 00 01", {0}).sense(), "");
    EXPECT_EQ(bridge.state.xfer_flag, 0u);
    EXPECT_EQ(read_register(bridge, "E2 00 00 00 CA 00 00 00 02 00 00 00 04"), 0x40000u);
}

TEST(device_model, identify_and_information_block) {
    bridge_record sata = make_bridge(k_disk_sata);
    sata.disk.serial = "S1234567890123456789";
    const served id = serve_in(sata, "A1 08 0E 00 01 00 00 00 00 EC", 512);
    ASSERT_EQ(id.answer.data.size(), 512u);
    const std::vector<uint8_t>& d = id.answer.data;
    EXPECT_EQ(ata_text(d, 10, 10), "S1234567890123456789");
    EXPECT_EQ(ata_text(d, 23, 4), "SA1.0.3L");
    EXPECT_EQ(ata_text(d, 27, 20), "LSA-500 SATA SSD 512GB                  ");
    EXPECT_EQ(get_le16(&d[2 * 89]), 0x0008);
    EXPECT_EQ(get_le16(&d[2 * 90]), 0x0010);
    EXPECT_EQ(get_le16(&d[2 * 92]), 0xFFFE);
    EXPECT_EQ(get_le16(&d[2 * 128]), 0x0021);
    EXPECT_EQ(d[510], 0xA5);
    EXPECT_EQ(std::accumulate(d.begin(), d.end(), 0u) % 256u, 0u);

    bridge_record nvme = make_bridge(k_disk_nvme);
    EXPECT_EQ(get_le16(&serve_in(nvme, "A1 08 0E 00 01 00 00 00 00 EC", 512).answer.data[2 * 128]), 0);
    const served info = serve_in(nvme, "E2 00 00 00 A8 13 00 00 00 00 00 00 48 00 00 00", 72);
    ASSERT_EQ(info.answer.data.size(), 72u);
    EXPECT_EQ(get_le32(&info.answer.data[4]), 1u);
    EXPECT_EQ(text_at(info.answer.data, 12, 20), "LAB2304NV0001       ");
    EXPECT_EQ(text_at(info.answer.data, 32, 21), "LNV-3000 NVMe SSD 1TB");

    bridge_record none = make_bridge(k_disk_none);
    EXPECT_EQ(serve_in(none, "A1 08 0E 00 01 00 00 00 00 EC", 512).sense(), "02/3A/00");
    EXPECT_EQ(serve_in(none, "E2 00 00 00 A8 13 00 00 00 00 00 00 48", 72).sense(), "02/3A/00");
}

}  // namespace
