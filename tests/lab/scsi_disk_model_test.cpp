// The standard block commands of the disk a bridge presents to the host.
#include "zelko/common/bytes.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

std::vector<uint8_t> pattern(size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13);
    return bytes;
}

TEST(scsi_disk_model, vital_product_data_lists_its_pages_and_gives_the_disk_serial) {
    bridge_record bridge = make_bridge();
    EXPECT_EQ(serve_in(bridge, "12 01 00 00 FF", 255).answer.data,
              (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x02, 0x00, 0x80}));
    const served serial = serve_in(bridge, "12 01 80 00 FF", 255);
    ASSERT_EQ(serial.answer.data.size(), 4u + 13u);
    EXPECT_EQ(serial.answer.data[1], 0x80);
    EXPECT_EQ(get_be16(&serial.answer.data[2]), 13u);
    EXPECT_EQ(std::string(serial.answer.data.begin() + 4, serial.answer.data.end()), "LAB2304NV0001");
    // Through the CD-ROM volume the page names that unit's type; the allocation length bounds it.
    const served cdrom = serve_in(bridge, "12 01 80 00 06", 6, true);
    EXPECT_EQ(cdrom.answer.data, (std::vector<uint8_t>{0x05, 0x80, 0x00, 0x0D, 'L', 'A'}));
    // A page code without EVPD is refused.
    EXPECT_EQ(serve_in(bridge, "12 00 80 00 FF", 255).sense(), "05/24/00");
}

TEST(scsi_disk_model, capacity_counts_the_disks_blocks_and_caps_the_short_form) {
    bridge_record bridge = make_bridge();
    bridge.disk.capacity_sectors = 2048;
    EXPECT_EQ(serve_in(bridge, "25", 8).answer.data, (std::vector<uint8_t>{0, 0, 0x07, 0xFF, 0, 0, 0x02, 0x00}));
    const served long_form = serve_in(bridge, "9E 10 00 00 00 00 00 00 00 00 00 00 00 20", 32);
    ASSERT_EQ(long_form.answer.data.size(), 32u);
    EXPECT_EQ(get_be64(&long_form.answer.data[0]), 2047u);
    EXPECT_EQ(get_be32(&long_form.answer.data[8]), 512u);
    // Beyond 32 bits of blocks the short form says FFFFFFFFh and the long one the truth.
    bridge.disk.capacity_sectors = 0x123456789ll;
    EXPECT_EQ(get_be32(serve_in(bridge, "25", 8).answer.data.data()), 0xFFFFFFFFu);
    EXPECT_EQ(get_be64(serve_in(bridge, "9E 10 00 00 00 00 00 00 00 00 00 00 00 20", 32).answer.data.data()),
              0x123456788u);
    // The allocation length bounds the long form; another service action is no such block.
    EXPECT_EQ(serve_in(bridge, "9E 10 00 00 00 00 00 00 00 00 00 00 00 0C", 12).answer.data.size(), 12u);
    EXPECT_EQ(serve_in(bridge, "9E 11 00 00 00 00 00 00 00 00 00 00 00 20", 32).sense(), "05/20/00");
}

TEST(scsi_disk_model, media_written_reads_back_in_both_forms_and_is_bounded_by_the_disk) {
    bridge_record bridge = make_bridge();
    bridge.disk.capacity_sectors = 100;
    const std::vector<uint8_t> two = pattern(1024, 3);
    EXPECT_EQ(serve_out(bridge, "2A 00 00 00 00 62 00 00 02", two).sense(), "");  // blocks 98 and 99
    EXPECT_EQ(serve_in(bridge, "88 00 00 00 00 00 00 00 00 62 00 00 00 02", 1024).answer.data, two);
    const std::vector<uint8_t> one = pattern(512, 77);
    EXPECT_EQ(serve_out(bridge, "8A 00 00 00 00 00 00 00 00 00 00 00 00 01", one).sense(), "");
    EXPECT_EQ(serve_in(bridge, "28 00 00 00 00 00 00 00 01", 512).answer.data, one);
    // Never-written blocks read as zeros.
    EXPECT_EQ(serve_in(bridge, "28 00 00 00 00 05 00 00 01", 512).answer.data, std::vector<uint8_t>(512, 0));
    expect_senses(bridge, {
                              {"28 00 00 00 00 63 00 00 02", true, 1024, "05/21/00"},  // runs past block 99
                              {"28 00 00 00 00 64 00 00 00", true, 0, "05/21/00"},     // starts past the end
                              {"88 00 FF FF FF FF FF FF FF FF 00 00 00 01", true, 512, "05/21/00"},
                              {"28 00 00 00 00 00 00 00 02", true, 512, "05/24/00"},   // phase shorter than its blocks
                              {"28 00 00 00 00 00 00 00 01", false, 512, "05/24/00"},  // data the wrong way
                              {"2A 00 00 00 00 00 00 00 01", true, 512, "05/24/00"},
                              {"28 00 00 00 00 00 00 00 00", false, 0, ""},  // no blocks: nothing moves
                          });
    EXPECT_EQ(serve_in(bridge, "28 00 00 00 00 00 00 00 01", 512).answer.data, one);
}

TEST(scsi_disk_model, a_bridge_without_a_disk_reports_no_medium) {
    bridge_record bridge = make_bridge(k_disk_none);
    expect_senses(bridge, {
                              {"00", false, 0, "02/3A/00"},
                              {"25", true, 8, "02/3A/00"},
                              {"9E 10 00 00 00 00 00 00 00 00 00 00 00 20", true, 32, "02/3A/00"},
                              {"28 00 00 00 00 00 00 00 01", true, 512, "02/3A/00"},
                              {"2A 00 00 00 00 00 00 00 01", false, 512, "02/3A/00"},
                              {"35", false, 0, "02/3A/00"},
                              {"1B 00 00 00 01", false, 0, ""},
                              {"1E 00 00 00 01", false, 0, ""},
                              {"1A 00 08 00 FF", true, 255, ""},
                          });
    const served sense = serve_in(bridge, "03 00 00 00 12", 18);
    ASSERT_EQ(sense.answer.data.size(), 18u);
    EXPECT_EQ(sense.answer.data[0], 0x70);
    EXPECT_EQ(sense.answer.data[2], 0x02);
    EXPECT_EQ(sense.answer.data[7], 10);
    EXPECT_EQ(sense.answer.data[12], 0x3A);
}

TEST(scsi_disk_model, a_disk_is_ready_and_reports_no_sense) {
    bridge_record bridge = make_bridge(k_disk_sata);
    expect_senses(bridge, {
                              {"00", false, 0, ""},
                              {"35", false, 0, ""},
                              {"91", false, 0, ""},
                              {"03 01 00 00 20", true, 32, "05/24/00"},  // descriptor format is not served
                          });
    const served sense = serve_in(bridge, "03 00 00 00 08", 8);
    EXPECT_EQ(sense.answer.data, (std::vector<uint8_t>{0x70, 0, 0, 0, 0, 0, 0, 10}));
    EXPECT_FALSE(bridge.dirty);
}

TEST(scsi_disk_model, mode_sense_gives_the_caching_page_in_both_header_forms) {
    bridge_record bridge = make_bridge();
    const served six = serve_in(bridge, "1A 00 3F 00 FF", 255);
    ASSERT_EQ(six.answer.data.size(), 24u);
    EXPECT_EQ(six.answer.data[0], 23);  // bytes after the length byte
    EXPECT_EQ(six.answer.data[3], 0);   // no block descriptors
    EXPECT_EQ(six.answer.data[4], 0x08);
    EXPECT_EQ(six.answer.data[5], 0x12);
    EXPECT_EQ(six.answer.data[6], 0x04);  // write cache enabled
    const served ten = serve_in(bridge, "5A 00 08 00 00 00 00 01 00", 256);
    ASSERT_EQ(ten.answer.data.size(), 28u);
    EXPECT_EQ(get_be16(&ten.answer.data[0]), 26u);
    EXPECT_EQ(get_be16(&ten.answer.data[6]), 0u);
    EXPECT_EQ(ten.answer.data[8], 0x08);
    // Changeable values: none.
    EXPECT_EQ(serve_in(bridge, "1A 00 48 00 FF", 255).answer.data[6], 0x00);
    // The allocation length bounds the answer (a 4-byte header only).
    EXPECT_EQ(serve_in(bridge, "1A 00 3F 00 04", 4).answer.data, (std::vector<uint8_t>{23, 0, 0, 0}));
    expect_senses(bridge, {
                              {"1A 00 C8 00 FF", true, 255, "05/39/00"},  // saved values
                              {"1A 00 01 00 FF", true, 255, "05/24/00"},  // no error recovery page
                              {"1A 00 08 01 FF", true, 255, "05/24/00"},
                          });
}

}  // namespace
