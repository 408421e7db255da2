// LED memory images for unit tests, and the scripted answers of loading one.
#pragma once

#include <cstdint>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/led/led_mem.h"
#include "tests/unit/fake_port.h"

namespace zelko {

namespace led_image {

constexpr uint32_t k_table = 64;  // entry table offset of the test images

// A valid image of `leds` LEDs; entry (s, k) starts with s and k in bytes 11 and 12 and
// holds 0xA0 + s in every colour byte, so that a misplaced write shows.
inline std::vector<uint8_t> make(int32_t leds, uint32_t table = k_table) {
    std::vector<uint8_t> image(k_led_image_size, 0);
    put_le32(&image[k_led_off_magic], k_led_magic);
    put_le32(&image[k_led_off_version], k_led_layout_version);
    put_le32(&image[k_led_off_table], table);
    put_le32(&image[k_led_off_count], static_cast<uint32_t>(leds));
    put_le16(&image[k_led_off_brightness], 0xFF20);
    image[8] = 0x5A;  // a header byte the tool does not know
    for (int s = 0; s < 5 && leds > 0 && leds <= 20; ++s) {
        for (int k = 0; k < leds; ++k) {
            uint8_t* entry = &image[table + k_led_entry_size * (s * leds + k)];
            entry[11] = static_cast<uint8_t>(s);
            entry[12] = static_cast<uint8_t>(k);
            for (size_t b = k_entry_colors; b < k_led_entry_size; ++b) entry[b] = static_cast<uint8_t>(0xA0 + s);
        }
    }
    return image;
}

// Offset of entry (state, led) in an image made by make().
inline size_t entry_at(int leds, int state, int led, uint32_t table = k_table) {
    return table + k_led_entry_size * (state * leds + led);
}

// Answers of led_mem_dev_init: ARGB support, the 16 chunks, the settle read.
inline void script_load(const std::vector<uint8_t>& image, uint8_t argb = 1) {
    fake::script_ok({argb});
    for (size_t offset = 0; offset < image.size(); offset += k_led_chunk_size) {
        fake::script_ok(std::vector<uint8_t>(image.begin() + offset, image.begin() + offset + k_led_chunk_size));
    }
    fake::script_ok(std::vector<uint8_t>(512, 0));
}

// Answers of a commit that succeeds: 16 chunks and the settle read.
inline void script_commit() {
    for (int i = 0; i < 17; ++i) fake::script_ok();
}

// A record holding `image`, checked and indexed without any device traffic.
inline void hold(led_mem_dev* record, const std::vector<uint8_t>& image) {
    led_mem_dev_free(record);
    record->image.reset(new uint8_t[k_led_image_size]);
    std::copy(image.begin(), image.end(), record->image.get());
    record->image_size = k_led_image_size;
    record->entry_header_size = k_led_entry_header;
    record->color_row_count = k_led_color_rows;
    EXPECT_EQ(led_mem_dev_index(record), 0);
}

inline std::vector<uint8_t> held(const led_mem_dev& record) {
    return std::vector<uint8_t>(record.image.get(), record.image.get() + k_led_image_size);
}

}  // namespace led_image

}  // namespace zelko
