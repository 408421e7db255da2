#include "lab/model/led/led_memory.h"

#include "zelko/common/cursor.h"
#include "lab/record/state.h"
#include "lab/record/storage.h"

using namespace zelko;

namespace {

// How a fresh image lights each state: mode, rows, cycle, ramp and stable factors, and the
// colour of row 0 (row 1, where used, stays black).
struct state_look {
    uint8_t mode;
    uint8_t rows;
    uint16_t cycle;
    uint16_t ramp;
    uint16_t stable;
    uint32_t colour;
};
constexpr state_look k_looks[k_lab_led_states] = {
    {4, 2, 3000, 10, 5, 0x0040FF},   // idle: breathing blue
    {3, 2, 200, 0, 1, 0x00FF00},     // reading or writing: blinking green
    {1, 1, 0, 0, 0, 0xFF8000},       // IPS: orange
    {4, 2, 6000, 20, 10, 0x202020},  // sleep: slow dim white
    {1, 1, 0, 0, 0, 0xFF0000},       // no disk: red
};

}  // namespace

std::vector<uint8_t> lab_default_led_image(int leds) {
    std::vector<uint8_t> image(k_led_memory_size, 0);
    write_cursor out(image.data(), image.size());
    out.le32_at(k_lab_led_off_magic, k_lab_led_magic);
    out.le32_at(k_lab_led_off_version, k_lab_led_version);
    out.le32_at(k_lab_led_off_table, k_lab_led_table);
    out.le32_at(k_lab_led_off_count, static_cast<uint32_t>(leds));
    out.le16_at(k_lab_led_off_brightness, 0xFF20);
    for (int s = 0; s < k_lab_led_states; ++s) {
        const state_look& look = k_looks[s];
        for (int k = 0; k < leds; ++k) {
            const size_t at = k_lab_led_table + k_lab_led_entry_size * (s * leds + k);
            out.u8_at(at, look.mode);
            out.u8_at(at + 1, look.rows);
            out.le16_at(at + 2, look.cycle);
            out.be16_at(at + 4, look.ramp);
            out.be16_at(at + 6, look.stable);
            const uint8_t rgb[3] = {static_cast<uint8_t>(look.colour >> 16), static_cast<uint8_t>(look.colour >> 8),
                                    static_cast<uint8_t>(look.colour)};
            out.bytes_at(at + 32, rgb, 3);
        }
    }
    return image;
}

bool lab_write_default_led_image(bridge_record& record, int leds) {
    const std::vector<uint8_t> image = lab_default_led_image(leds);
    return memory_write(record, lab_memory::led, 0, image.data(), image.size());
}

// Reading changes nothing in the record; the storage takes it non-const only because
// its writes and reads share one signature shape.
std::vector<uint8_t> lab_led_memory(const bridge_record& record) {
    std::vector<uint8_t> image(k_led_memory_size, 0xFF);
    if (!memory_read(const_cast<bridge_record&>(record), lab_memory::led, 0, image.data(), image.size())) {
        image.assign(k_led_memory_size, 0xFF);
    }
    return image;
}
