// What the device model boots: boot headers classified for both chip families, the
// factory firmware kept while the boot header was never written, version words of the
// booted header, and the LED memory loaded from a valid LED image only.
#include <gtest/gtest.h>

#include <vector>

#include "zelko/common/bytes.h"
#include "lab/model/flash/firmware.h"
#include "lab/model/flash/restart.h"

using namespace zelko;

namespace {

std::vector<uint8_t> header(uint32_t magic, uint8_t mark) {
    std::vector<uint8_t> h(k_fw_header_size, 0);
    put_le32(h.data(), magic);
    h[k_fw_off_mark] = mark;
    return h;
}

TEST(firmware_model, boot_headers_are_classified_by_chip_family) {
    const struct {
        uint32_t chip, magic;
        uint8_t mark;
        uint32_t running;
    } rows[] = {
        {0xA0020001, k_fw_magic_main, 0, k_fw_main},       {0xA0020001, k_fw_magic_main, 0xFE, k_fw_rescue},
        {0xA0020001, k_fw_magic_rescue, 0, k_fw_unknown},  {0xA0010002, k_fw_magic_rescue, 0, k_fw_rescue},
        {0xA0010002, k_fw_magic_main, 0xFE, k_fw_unknown}, {0xA0010001, k_fw_magic_main, 1, k_fw_main},
        {0xA0030001, 0xFFFFFFFF, 0xFF, k_fw_unknown},      {0xA0030002, k_fw_magic_main, 0xFE, k_fw_rescue},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(classify_boot_header(header(r.magic, r.mark).data(), r.chip), r.running)
            << std::hex << r.chip << " " << r.magic << " " << int{r.mark};
    }
}

TEST(firmware_model, a_restart_boots_the_boot_header_and_loads_a_valid_led_image) {
    bridge_record record;
    record.params.fw_major = 7;
    bridge_restart(record, 0);
    EXPECT_EQ(record.flash.running, k_fw_factory);  // never written: the factory firmware
    EXPECT_EQ(record.params.fw_major, 7u);

    std::vector<uint8_t> h = header(k_fw_magic_main, 0xFE);
    const uint32_t words[5] = {0, 9, 1, 0, 20250101};
    for (size_t i = 0; i < 5; ++i) put_le32(&h[k_fw_off_version + 4 * i], words[i]);
    ASSERT_TRUE(memory_write(record, lab_memory::flash, k_flash_pg_sector, h.data(), h.size()));
    // An LED image whose lengths disagree with nothing in flash but its own header: its
    // total must fit the area, so a header claiming more loads nothing.
    std::vector<uint8_t> led(k_led_image_header + 16, 0x5A);
    put_le32(&led[0], k_led_image_magic);
    put_le32(&led[0x0C], 0x10000);
    put_le32(&led[0x14], 1);
    const uint64_t area = led_image_area(record);
    ASSERT_TRUE(memory_write(record, lab_memory::flash, area, led.data(), led.size()));
    bridge_restart(record, 0);
    EXPECT_EQ(record.flash.running, k_fw_rescue);
    EXPECT_EQ(record.params.fw_minor, 9u);
    EXPECT_EQ(record.params.fw_build_date, 20250101u);
    uint8_t first = 0;
    ASSERT_TRUE(memory_read(record, lab_memory::led, 0, &first, 1));
    EXPECT_EQ(first, 0xFF);

    put_le32(&led[0x0C], static_cast<uint32_t>(k_led_image_header));
    put_le32(&led[0x14], 16);
    ASSERT_TRUE(memory_write(record, lab_memory::flash, area, led.data(), led.size()));
    h = header(0x12345678, 0);
    ASSERT_TRUE(memory_write(record, lab_memory::flash, k_flash_pg_sector, h.data(), h.size()));
    bridge_restart(record, 0);
    EXPECT_EQ(record.flash.running, k_fw_unknown);
    EXPECT_EQ(record.params.fw_minor, 9u);  // unknown firmware: the words stay as they were
    ASSERT_TRUE(memory_read(record, lab_memory::led, 0, &first, 1));
    EXPECT_EQ(first, 0x5A);

    // Erased again after a firmware has booted: nothing known boots.
    h.assign(k_fw_header_size, 0xFF);
    ASSERT_TRUE(memory_write(record, lab_memory::flash, k_flash_pg_sector, h.data(), h.size()));
    bridge_restart(record, 0);
    EXPECT_EQ(record.flash.running, k_fw_unknown);
}

}  // namespace
