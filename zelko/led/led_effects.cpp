#include "zelko/led/led_effects.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "zelko/common/cursor.h"

namespace zelko {

namespace {

constexpr uint32_t k_red = 0xFF0000;
constexpr uint32_t k_green = 0x00FF00;
constexpr uint32_t k_blue = 0x0000FF;
constexpr uint32_t k_orange = 0xFF8000;
constexpr uint32_t k_black = 0x000000;

constexpr uint32_t k_spectrum[6] = {0xFF0000, 0xFF5000, 0xFF8000, 0x00FF00, 0x0000FF, 0x8000FF};

// Sliding never uses more rows than an entry holds.
constexpr int k_sliding_max_rows = 43;

// Mode and effect code of each effect, in the order of led_effect_kind.
struct effect_row {
    uint8_t mode;
    uint8_t code;
};
constexpr effect_row k_effects[] = {
    {k_led_mode_always, 0x00},   // always on
    {k_led_mode_cycle, 0x01},    // blink
    {k_led_mode_breathe, 0x02},  // breathe
    {k_led_mode_breathe, 0x03},  // spectrum
    {k_led_mode_cycle, 0x04},    // scroll
    {k_led_mode_cycle, 0x85},    // rainbow scroll
    {k_led_mode_cycle, 0x05},    // running water
    {k_led_mode_breathe, 0x83},  // sliding
    {k_led_mode_cycle, 0x84},    // Newton's cradle
    {k_led_mode_breathe, 0x06},  // meteor
};

// Rows per LED of each effect for n LEDs, before it is kept as a byte.
int rows_for(led_effect_kind kind, int n) {
    switch (kind) {
        case led_effect_kind::always_on: return 1;
        case led_effect_kind::blink:
        case led_effect_kind::breathe:
        case led_effect_kind::meteor: return 2;
        case led_effect_kind::spectrum: return 6;
        case led_effect_kind::scroll:
        case led_effect_kind::rainbow_scroll: return 2 * n - 2;
        case led_effect_kind::running_water: return 2 * n;
        case led_effect_kind::sliding: return std::min(std::max(n, 1), k_sliding_max_rows);
        case led_effect_kind::newton_cradle: return 2 * n - 6;
    }
    return 0;
}

class row_table {
public:
    row_table(uint8_t* rows, int rows_per_led) : out_(rows, k_led_row_table_size), rows_(rows_per_led) {}
    void set(int led, int row, uint32_t colour) {
        const uint8_t rgb[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                                static_cast<uint8_t>(colour)};
        out_.bytes_at((static_cast<size_t>(led) * rows_ + row) * 3, rgb, 3);
    }

private:
    write_cursor out_;
    int rows_;
};

// Colour of LED d in row j of Newton's cradle with n LEDs and R rows.
uint32_t cradle_colour(int n, int rows, int d, int j) {
    const int h = n / 2;
    if (d >= h - 1 && d <= h + 1) {
        const bool inner = j >= h - 1 && j <= rows - h;
        if (d == h - 1) return inner ? k_orange : k_red;
        if (d == h) return inner ? k_red : k_green;
        return inner ? k_green : k_blue;
    }
    if (d < h) return (j == d || d + j == rows - 1) ? k_orange : k_black;
    return (d - j == 3 || d + j == rows + 2) ? k_blue : k_black;
}

void fill_rows(led_effect_kind kind, int n, int rows, uint32_t colour, row_table& table) {
    const int count = static_cast<int>(std::fmax(n, 1));
    for (int i = 0; i < n; ++i) {
        switch (kind) {
            case led_effect_kind::always_on:
            case led_effect_kind::blink:
            case led_effect_kind::breathe:
            case led_effect_kind::meteor: table.set(i, 0, colour); break;
            case led_effect_kind::spectrum:
                for (int j = 0; j < 6; ++j) table.set(i, j, k_spectrum[j]);
                break;
            case led_effect_kind::scroll:
            case led_effect_kind::rainbow_scroll: {
                const uint32_t c = kind == led_effect_kind::scroll ? colour : led_hue_entry(count, i);
                if (i < rows) table.set(i, i, c);
                if (i != 0 && rows - i >= 0 && rows - i < rows) table.set(i, rows - i, c);
                break;
            }
            case led_effect_kind::running_water:
                for (int j = i; j < n; ++j) table.set(i, j, colour);
                break;
            case led_effect_kind::sliding:
                for (int j = 0; j < rows; ++j) table.set(i, j, led_hue_entry(count, (i + j) % rows));
                break;
            case led_effect_kind::newton_cradle:
                for (int j = 0; j < rows; ++j) table.set(i, j, cradle_colour(n, rows, i, j));
                break;
        }
    }
}

void put_header(uint8_t* entry, const led_effect_header& h) {
    write_cursor out(entry, k_led_effect_header_size);
    out.u8(h.mode);
    out.u8(h.row_number);
    out.le16(h.cycle_time);
    out.be16(h.ramp_factor);
    out.u8(h.stable_high);
    out.u8(h.stable_low);
    out.u8(h.effect_code);
    out.le16(h.step_time);
}

}  // namespace

uint32_t hsv_to_rgb(float hue, float saturation, float value) {
    const float c = saturation * value;
    const float x = static_cast<float>(c * (1.0 - std::fabs(std::fmod(hue / 60.0, 2.0) - 1.0)));
    const float m = value - c;
    float r = 0;
    float g = 0;
    float b = 0;
    if (hue < 60) {
        r = c, g = x;
    } else if (hue < 120) {
        r = x, g = c;
    } else if (hue < 180) {
        g = c, b = x;
    } else if (hue < 240) {
        g = x, b = c;
    } else if (hue < 300) {
        r = x, b = c;
    } else if (hue < 360) {
        r = c, b = x;
    } else {
        return 0;
    }
    const auto component = [m](float part) {
        const float scaled = (m + part) * 255.0f;
        return static_cast<uint32_t>(static_cast<int>(std::round(scaled))) & 0xFF;
    };
    return component(r) << 16 | component(g) << 8 | component(b);
}

uint32_t led_hue_entry(int count, int i) {
    const double step = 360.0 / count;
    return hsv_to_rgb(static_cast<float>(i * step), 1.0f, 1.0f);
}

bool build_led_effect(led_effect_kind kind, int leds, uint32_t colour, uint16_t cycle, led_effect* out) {
    const int rows = rows_for(kind, leds);
    if (leds <= 0 || leds > k_led_max_leds || rows < 0 || rows > k_led_color_rows) return false;
    if (kind == led_effect_kind::newton_cradle && leds < 4) return false;

    *out = led_effect{};
    const effect_row& row = k_effects[static_cast<int>(kind)];
    led_effect_header& h = out->header;
    h.mode = row.mode;
    h.row_number = static_cast<uint8_t>(rows);
    h.effect_code = row.code;
    if (kind == led_effect_kind::meteor) {
        const uint16_t half = cycle / 2;
        h.stable_high = h.stable_low = static_cast<uint8_t>(half / 100);
        h.step_time = static_cast<uint16_t>(half / leds);
    } else if (kind != led_effect_kind::always_on) {
        h.cycle_time = cycle;
    }
    row_table table(out->rows, rows);
    fill_rows(kind, leds, rows, colour & 0xFFFFFF, table);
    return true;
}

cmd_status led_apply_effect(bridge_dev* dev, led_mem_dev* record, const led_effect_header& header, const uint8_t* rows,
                            uint8_t state, uint32_t mask, bool commit) {
    if (!led_mem_valid(record) || state >= k_led_states || header.row_number > k_led_color_rows) return -1;
    const int n = led_count(record);
    const size_t block = static_cast<size_t>(header.row_number) * 3;
    if (block * n > k_led_row_table_size) return -1;
    for (int k = 0; k < n; ++k) {
        if ((mask & (1u << (k % 32))) == 0) continue;
        uint8_t* entry = led_entry(record, state, static_cast<uint8_t>(k));
        if (entry == nullptr) return -1;
        put_header(entry, header);
        write_cursor(entry, k_led_entry_size).bytes_at(k_entry_colors, rows + block * k, block);
    }
    if (commit && led_mem_commit(dev, record) != 0) return -1;
    return 0;
}

cmd_status led_set_effect(bridge_dev* dev, led_mem_dev* record, led_effect_kind kind, uint32_t colour, uint16_t cycle) {
    if (!led_mem_valid(record)) return -1;
    const int n = led_count(record);
    auto effect = std::make_unique<led_effect>();
    if (!build_led_effect(kind, n, colour, cycle, effect.get())) return -1;
    const uint32_t mask = n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1;
    return led_apply_effect(dev, record, effect->header, effect->rows, 0, mask, true);
}

}  // namespace zelko
