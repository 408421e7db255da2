// The flash write path of the device model: the address block, whole-sector writes, the
// limits of the flash, and the PG record as `show NAME pg` walks it.
#include <gtest/gtest.h>

#include "zelko/common/bytes.h"
#include "lab/model/flash/flash.h"
#include "lab/model/flash/restart.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

std::vector<uint8_t> le32(uint32_t v) {
    std::vector<uint8_t> out(4);
    put_le32(out.data(), v);
    return out;
}

std::string address_cdb(uint32_t address) {
    char text[64];
    std::snprintf(text, sizeof text, "E3 00 00 00 10 00 00 00 %02X %02X %02X %02X 04", address & 0xFF,
                  (address >> 8) & 0xFF, (address >> 16) & 0xFF, address >> 24);
    return text;
}

const char* k_write_4096 = "E3 00 00 00 11 00 00 00 00 00 00 00 00 10";
const char* k_write_8192 = "E3 00 00 00 11 00 00 00 00 00 00 00 00 20";

TEST(flash_model, addresses_the_flash_refuses) {
    bridge_record bridge = make_bridge();
    struct row {
        uint32_t cdb_address;
        uint32_t data_address;
        const char* sense;
    };
    const row rows[] = {
        {0x8C004000, 0x8C004001, "05/24/00"},  // the two copies disagree
        {0x8C004800, 0x8C004800, "05/21/00"},  // not a sector
        {0x8C200000, 0x8C200000, "05/21/00"},  // just past a 2 MiB flash
        {0x8BFFF000, 0x8BFFF000, "05/21/00"},  // below the write window
        {0xAC004000, 0xAC004000, "05/21/00"},  // the read window is not written
        {0x8C1FF000, 0x8C1FF000, ""},          // the last sector
    };
    for (const row& r : rows) {
        EXPECT_EQ(serve_out(bridge, address_cdb(r.cdb_address), le32(r.data_address)).sense(), r.sense)
            << std::hex << r.cdb_address;
    }
    // From the last sector, one sector fits and two do not.
    EXPECT_EQ(serve_out(bridge, k_write_8192, std::vector<uint8_t>(8192, 1)).sense(), "05/21/00");
    EXPECT_EQ(serve_out(bridge, k_write_4096, std::vector<uint8_t>(4096, 1)).sense(), "");
    EXPECT_EQ(flash_at(bridge, 0x1FF000, 2), (std::vector<uint8_t>{1, 1}));
    // The address moved past the flash's end: no address until a new one is given.
    EXPECT_EQ(serve_out(bridge, k_write_4096, std::vector<uint8_t>(4096, 1)).sense(), "05/2C/00");

    bridge.params.flash_size = 0x10000;
    EXPECT_EQ(serve_out(bridge, address_cdb(0x8C010000), le32(0x8C010000)).sense(), "05/21/00");
}

TEST(flash_model, writes_whole_sectors_in_sequence) {
    bridge_record bridge = make_bridge();
    expect_senses(bridge, {{k_write_4096, false, 4096, "05/2C/00"}});  // no address yet
    EXPECT_EQ(serve_out(bridge, address_cdb(0x8C010000), le32(0x8C010000)).sense(), "");
    expect_senses(bridge, {{"E3 00 00 00 11 00 00 00 00 00 00 00 00 02", false, 512, "05/24/00"},
                           {"E3 00 00 00 11 00 00 00 01 00 00 00 00 10", false, 4096, "05/24/00"}});
    EXPECT_EQ(serve_out(bridge, k_write_4096, std::vector<uint8_t>(4096, 0x11)).sense(), "");
    EXPECT_EQ(serve_out(bridge, k_write_8192, std::vector<uint8_t>(8192, 0x22)).sense(), "");
    EXPECT_EQ(flash_at(bridge, 0x10000 - 1, 2), (std::vector<uint8_t>{0xFF, 0x11}));
    EXPECT_EQ(flash_at(bridge, 0x11000 - 1, 2), (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_EQ(flash_at(bridge, 0x13000 - 1, 2), (std::vector<uint8_t>{0x22, 0xFF}));
    // Read back through the window with bit 29 set.
    const served read = serve_in(bridge, "E2 00 00 00 92 00 00 00 FF FF 00 AC 02", 2);
    EXPECT_EQ(read.answer.data, (std::vector<uint8_t>{0xFF, 0x11}));
    // A restart forgets the address.
    bridge_restart(bridge, 0);
    bridge.state.offline_until_ms = 0;
    expect_senses(bridge, {{k_write_4096, false, 4096, "05/2C/00"}});
}

TEST(flash_model, pg_record_as_the_device_walks_it) {
    bridge_record bridge = make_bridge();
    EXPECT_EQ(pg_record_text(bridge), "  0000 tag 255                    runs past the record or breaks it\n");
    set_flash(bridge, 0x4800, {3,   0x34, 0x12, 6,   6,   3,   'M', 0, 'v', 0,  12, 'A', 'B',
                               ' ', ' ',  ' ',  ' ', ' ', ' ', 200, 0, 54,  27, 5,  0});
    EXPECT_EQ(pg_record_text(bridge),
              "  0000 tag   3 VID                34 12\n"
              "  0003 tag   6 MANUFACTURE        06 03 4D 00 76 00  \"Mv\"\n"
              "  000A tag  12 SCSI_VENDOR        41 42 20 20 20 20 20 20  \"AB      \"\n"
              "  0013 tag 200                    00\n"
              "  0015 tag  54                   \n"
              "  0016 tag  27 USB_SPEED          05\n"
              "  0018 end\n");
}

}  // namespace
