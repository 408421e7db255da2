// `show NAME leds [--svg FILE]`: the bridge's LED memory decoded from its raw image, as
// colour blocks in the terminal (24-bit colour escapes), and as an SVG of what the bridge
// animates: per state, the LEDs side by side and the colour rows down the cycle.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "zelko/common/cursor.h"
#include "lab/lab_files.h"
#include "lab/led_memory.h"
#include "lab/verbs/verbs.h"
#include "zelko/led/led_names.h"

using namespace zelko;

namespace {

struct led_settings {
    uint8_t mode = 0;
    uint8_t rows = 0;  // colour rows in use, at most 43
    uint16_t cycle = 0;
    uint16_t ramp = 0;
    uint16_t stable = 0;
    uint8_t effect = 0;
    uint16_t step = 0;
    std::vector<uint32_t> colours;
};

struct led_picture {
    bool valid = false;
    uint32_t magic = 0;
    uint32_t version = 0;
    int32_t count = 0;
    uint16_t brightness = 0;
    std::vector<std::vector<led_settings>> states;  // [state][led]
};

led_picture decode(const std::vector<uint8_t>& image) {
    led_picture p;
    read_cursor in(image.data(), image.size());
    p.magic = in.le32_at(k_lab_led_off_magic);
    p.version = in.le32_at(k_lab_led_off_version);
    p.count = static_cast<int32_t>(in.le32_at(k_lab_led_off_count));
    p.brightness = in.le16_at(k_lab_led_off_brightness);
    const uint32_t table = in.le32_at(k_lab_led_off_table);
    const uint64_t entries = static_cast<uint64_t>(k_lab_led_entry_size) * k_lab_led_states *
                             static_cast<uint64_t>(p.count < 0 ? 0 : p.count);
    p.valid = in.ok() && p.magic == k_lab_led_magic && p.version == k_lab_led_version && p.count >= 0 &&
              p.count <= k_lab_led_max_count && in.has(table, entries);
    if (!p.valid) return p;
    for (int s = 0; s < k_lab_led_states; ++s) {
        std::vector<led_settings> leds;
        for (int k = 0; k < p.count; ++k) {
            const size_t at = table + k_lab_led_entry_size * (static_cast<size_t>(s) * p.count + k);
            led_settings led;
            led.mode = in.u8_at(at);
            led.rows = in.u8_at(at + 1);
            led.cycle = in.le16_at(at + 2);
            led.ramp = in.be16_at(at + 4);
            led.stable = in.be16_at(at + 6);
            led.effect = in.u8_at(at + 8);
            led.step = in.le16_at(at + 9);
            const int shown = led.rows < k_lab_led_rows ? led.rows : k_lab_led_rows;
            for (int j = 0; j < shown; ++j) {
                const size_t c = at + 32 + 3u * j;
                led.colours.push_back(
                    static_cast<uint32_t>(in.u8_at(c) << 16 | in.u8_at(c + 1) << 8 | in.u8_at(c + 2)));
            }
            leds.push_back(led);
        }
        p.states.push_back(leds);
    }
    return p;
}

const char* mode_name(uint8_t mode) { return mode < k_led_mode_count ? k_led_mode_names[mode] : "unknown"; }

std::string block(uint32_t colour) {
    char text[40];
    std::snprintf(text, sizeof text, "\x1b[48;2;%u;%u;%um  \x1b[0m", colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
    return text;
}

std::string hex_colour(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", colour & 0xFFFFFF);
    return text;
}

// Milliseconds at which colour row `row` shows: the cycle shared out over the rows, or
// the step time where the effect counts in steps.
unsigned row_time(const led_settings& led, int row) {
    if (led.cycle != 0 && led.rows != 0) return static_cast<unsigned>(row) * led.cycle / led.rows;
    return static_cast<unsigned>(row) * led.step;
}

void print_states(const std::string& name, const led_picture& p) {
    if (!p.valid) {
        std::printf("LED memory of %s: no valid image (magic 0x%08X, version %u, LED count %d)\n", name.c_str(),
                    p.magic, p.version, p.count);
        return;
    }
    std::printf("LED memory of %s: %d LEDs, brightness high %u low %u\n", name.c_str(), p.count, p.brightness >> 8,
                p.brightness & 0xFF);
    for (int s = 0; s < k_lab_led_states; ++s) {
        std::printf("%s:\n", k_led_state_names[s]);
        for (int k = 0; k < p.count; ++k) {
            const led_settings& led = p.states[s][k];
            std::string blocks;
            for (const uint32_t colour : led.colours) blocks += block(colour);
            std::printf("  %2d %-14s rows %2u cycle %5u ms ramp %u stable %u effect 0x%02X step %u  %s\n", k,
                        mode_name(led.mode), led.rows, led.cycle, led.ramp, led.stable, led.effect, led.step,
                        blocks.c_str());
        }
    }
}

// The states, then what the bridge shows outside its LED memory.
void print_terminal(const std::string& name, const led_picture& p, const bridge_record& record) {
    print_states(name, p);
    std::printf("application control: %s\n", record.state.led_app_ctl != 0 ? "on" : "off");
    std::string frame;
    const std::vector<uint8_t>& direct = record.state.led_direct;
    for (size_t i = 0; i + 2 < direct.size(); i += 3) {
        frame += block(static_cast<uint32_t>(direct[i] << 16 | direct[i + 1] << 8 | direct[i + 2]));
    }
    std::printf("direct frame: %s\n", frame.empty() ? "none" : frame.c_str());
}

// One panel per state, stacked: a title, then a column per LED and a row per colour row,
// with the time each row shows at the left.
std::string svg_of(const std::string& name, const led_picture& p) {
    constexpr int cell_w = 22, cell_h = 16, left = 80, title_h = 28, gap = 18;
    int max_rows = 1;
    for (const auto& leds : p.states) {
        for (const led_settings& led : leds) max_rows = std::max<int>(max_rows, static_cast<int>(led.colours.size()));
    }
    const int panel_h = title_h + max_rows * cell_h + gap;
    const int width = left + std::max(p.count, 1) * cell_w + 20;
    const int height = 30 + k_lab_led_states * panel_h;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                      std::to_string(height) + "\" font-family=\"monospace\" font-size=\"11\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#202020\"/>\n";
    svg += "<text x=\"8\" y=\"18\" fill=\"#FFFFFF\">LED effects of " + name + ", " + std::to_string(p.count) +
           " LEDs</text>\n";
    for (int s = 0; s < k_lab_led_states; ++s) {
        const int top = 30 + s * panel_h;
        const led_settings* first = p.states[s].empty() ? nullptr : &p.states[s][0];
        std::string title = std::string(k_led_state_names[s]);
        if (first != nullptr) {
            title += ": " + std::string(mode_name(first->mode)) + ", cycle " + std::to_string(first->cycle) + " ms";
        }
        svg += "<text x=\"8\" y=\"" + std::to_string(top + 16) + "\" fill=\"#E0E0E0\">" + title + "</text>\n";
        for (int k = 0; k < p.count; ++k) {
            const led_settings& led = p.states[s][k];
            for (size_t j = 0; j < led.colours.size(); ++j) {
                svg += "<rect x=\"" + std::to_string(left + k * cell_w) + "\" y=\"" +
                       std::to_string(top + title_h + static_cast<int>(j) * cell_h) + "\" width=\"" +
                       std::to_string(cell_w - 2) + "\" height=\"" + std::to_string(cell_h - 2) + "\" fill=\"" +
                       hex_colour(led.colours[j]) + "\"/>\n";
            }
        }
        if (first != nullptr) {
            for (size_t j = 0; j < first->colours.size(); ++j) {
                svg += "<text x=\"8\" y=\"" + std::to_string(top + title_h + static_cast<int>(j) * cell_h + 11) +
                       "\" fill=\"#A0A0A0\">" + std::to_string(row_time(*first, static_cast<int>(j))) + " ms</text>\n";
            }
        }
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace

int show_leds(const std::string& name, const bridge_record& record, const std::string* svg_path) {
    const led_picture picture = decode(lab_led_memory(record));
    if (svg_path == nullptr) {
        print_terminal(name, picture, record);
        return 0;
    }
    if (!picture.valid) return verb_fail("no valid LED image to draw");
    const std::string svg = svg_of(name, picture);
    std::string error;
    if (!lab_write_output_file(*svg_path, svg.data(), svg.size(), &error)) return verb_fail(error);
    std::printf("LED effects of %s drawn in %s\n", name.c_str(), svg_path->c_str());
    return 0;
}
