// `show NAME leds [--color auto|always|never] [--svg FILE]`: the bridge's LED memory
// decoded from its raw image, as colour blocks on a colour terminal (24-bit colour
// escapes) or as text (each cell's colour as #RRGGBB), and as an SVG of what the LEDs show
// over time: per state, the LEDs side by side and a row per time step down the effect.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "zelko/common/cursor.h"
#include "lab/host/lab_files.h"
#include "lab/model/led/led_memory.h"
#include "lab/verbs/verbs.h"
#include "zelko/led/led_effects.h"
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

std::string hex_colour(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", colour & 0xFFFFFF);
    return text;
}

// One cell of the picture: a colour block for a colour terminal, its #RRGGBB otherwise.
std::string cell(uint32_t colour, bool colour_terminal) {
    if (!colour_terminal) return hex_colour(colour);
    char text[40];
    std::snprintf(text, sizeof text, "\x1b[48;2;%u;%u;%um  \x1b[0m", colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
    return text;
}

// Cells side by side: blocks touch, text is spaced.
std::string cells(const std::vector<uint32_t>& colours, bool colour_terminal) {
    std::string out;
    for (const uint32_t colour : colours) {
        if (!colour_terminal && !out.empty()) out += ' ';
        out += cell(colour, colour_terminal);
    }
    return out;
}

void print_states(const std::string& name, const led_picture& p, bool colour_terminal) {
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
            std::printf("  %2d %-14s rows %2u cycle %5u ms ramp %u stable %u effect 0x%02X step %u  %s\n", k,
                        mode_name(led.mode), led.rows, led.cycle, led.ramp, led.stable, led.effect, led.step,
                        cells(led.colours, colour_terminal).c_str());
        }
    }
}

// The states, then what the bridge shows outside its LED memory.
void print_terminal(const std::string& name, const led_picture& p, const bridge_record& record, bool colour_terminal) {
    print_states(name, p, colour_terminal);
    std::printf("application control: %s\n", record.led.app_ctl != 0 ? "on" : "off");
    std::vector<uint32_t> frame;
    const std::vector<uint8_t>& direct = record.led.direct;
    for (size_t i = 0; i + 2 < direct.size(); i += 3) {
        frame.push_back(static_cast<uint32_t>(direct[i] << 16 | direct[i + 1] << 8 | direct[i + 2]));
    }
    std::printf("direct frame: %s\n", frame.empty() ? "none" : cells(frame, colour_terminal).c_str());
}

// What one LED shows over time. The modes that move step through their colour rows: over
// the cycle, shared out evenly, or (no cycle, a stable factor: the meteor) row 0 for the
// high stable time and row 1 for the low one, 100 ms a unit. Each LED starts its own
// sequence its index times its step time late, which makes a meteor travel.
constexpr uint8_t k_mode_blink = 3;
constexpr unsigned k_stable_unit_ms = 100;

bool moves(const led_settings& led) {
    return led.mode == k_led_mode_cycle || led.mode == k_mode_blink || led.mode == k_led_mode_breathe;
}
unsigned high_ms(const led_settings& led) { return (led.stable >> 8) * k_stable_unit_ms; }
unsigned low_ms(const led_settings& led) { return (led.stable & 0xFF) * k_stable_unit_ms; }

// The length of the LED's sequence in milliseconds; 0 when it holds one colour.
unsigned period_ms(const led_settings& led) {
    if (!moves(led)) return 0;
    if (led.cycle != 0 && led.rows != 0) return led.cycle;
    return high_ms(led) + low_ms(led);
}

// The shortest time one colour of the LED's sequence shows; 0 when it holds one colour.
unsigned shortest_ms(const led_settings& led) {
    if (period_ms(led) == 0) return 0;
    if (led.cycle != 0 && led.rows != 0) return std::max(1u, static_cast<unsigned>(led.cycle / led.rows));
    if (high_ms(led) == 0 || low_ms(led) == 0) return high_ms(led) + low_ms(led);
    return std::min(high_ms(led), low_ms(led));
}

uint32_t row_colour(const led_settings& led, size_t row) { return row < led.colours.size() ? led.colours[row] : 0; }

// The colour LED `index` shows at `time_ms` from the start of the effect.
uint32_t shown_at(const led_settings& led, int index, int64_t time_ms) {
    if (led.mode == k_led_mode_always) return row_colour(led, 0);
    if (!moves(led)) return 0;
    const int64_t period = period_ms(led);
    if (period == 0) return row_colour(led, 0);
    const int64_t t = ((time_ms - static_cast<int64_t>(index) * led.step) % period + period) % period;
    if (led.cycle != 0 && led.rows != 0) return row_colour(led, static_cast<size_t>(t * led.rows / led.cycle));
    return row_colour(led, t < static_cast<int64_t>(high_ms(led)) ? 0 : 1);
}

// The time grid of a state's panel: one row per step of the effect (its step time where
// LEDs are offset, else the shortest colour), over the longest sequence.
struct time_grid {
    unsigned step_ms = 0;
    int rows = 1;
};
constexpr int k_max_grid_rows = 64;

time_grid grid_of(const std::vector<led_settings>& leds) {
    unsigned step = 0, shortest = 0, period = 0;
    for (const led_settings& led : leds) {
        if (period_ms(led) == 0) continue;
        if (led.step != 0) step = step == 0 ? led.step : std::min<unsigned>(step, led.step);
        const unsigned s = shortest_ms(led);
        if (s != 0) shortest = shortest == 0 ? s : std::min(shortest, s);
        period = std::max(period, period_ms(led));
    }
    time_grid grid;
    grid.step_ms = step != 0 ? step : shortest;
    if (grid.step_ms != 0) grid.rows = std::clamp<int>(static_cast<int>(period / grid.step_ms), 1, k_max_grid_rows);
    return grid;
}

std::string attr(const char* name, int value) { return std::string(" ") + name + "=\"" + std::to_string(value) + "\""; }

// One panel per state, stacked: a title, then a column per LED and a row per time step,
// each row labelled with the time it shows. Cells are outlined, so that a colour equal to
// the background still shows as a cell.
std::string svg_of(const std::string& name, const led_picture& p) {
    constexpr int cell_w = 22, cell_h = 16, left = 80, title_h = 28, gap = 18;
    std::vector<time_grid> grids;
    int max_rows = 1;
    for (const auto& leds : p.states) {
        grids.push_back(grid_of(leds));
        max_rows = std::max(max_rows, grids.back().rows);
    }
    const int panel_h = title_h + max_rows * cell_h + gap;
    const int width = left + std::max(p.count, 1) * cell_w + 20;
    const int height = 30 + k_lab_led_states * panel_h;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"" + attr("width", width) + attr("height", height) +
                      " font-family=\"monospace\" font-size=\"11\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#202020\"/>\n";
    svg += "<text x=\"8\" y=\"18\" fill=\"#FFFFFF\">LED effects of " + name + ", " + std::to_string(p.count) +
           " LEDs</text>\n";
    for (int s = 0; s < k_lab_led_states; ++s) {
        const int top = 30 + s * panel_h;
        const time_grid& grid = grids[static_cast<size_t>(s)];
        std::string title = std::string(k_led_state_names[s]);
        if (!p.states[s].empty()) {
            const led_settings& first = p.states[s][0];
            title += ": " + std::string(mode_name(first.mode));
            if (period_ms(first) != 0) title += ", cycle " + std::to_string(period_ms(first)) + " ms";
            if (first.step != 0 && period_ms(first) != 0) {
                title += ", each LED " + std::to_string(first.step) + " ms after the one before";
            }
        }
        svg += "<text x=\"8\"" + attr("y", top + 16) + " fill=\"#E0E0E0\">" + title + "</text>\n";
        for (int row = 0; row < grid.rows; ++row) {
            const int64_t time = static_cast<int64_t>(row) * grid.step_ms;
            const int y = top + title_h + row * cell_h;
            for (int k = 0; k < p.count; ++k) {
                svg += "<rect" + attr("x", left + k * cell_w) + attr("y", y) + attr("width", cell_w - 2) +
                       attr("height", cell_h - 2) + " fill=\"" + hex_colour(shown_at(p.states[s][k], k, time)) +
                       "\" stroke=\"#808080\"/>\n";
            }
            svg += "<text x=\"8\"" + attr("y", y + 11) + " fill=\"#A0A0A0\">" + std::to_string(time) + " ms</text>\n";
        }
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace

int show_leds(const std::string& name, const bridge_record& record, const std::string* svg_path, colour_choice colour) {
    const led_picture picture = decode(lab_led_memory(record));
    if (svg_path == nullptr) {
        print_terminal(name, picture, record, colour_on_stdout(colour));
        return 0;
    }
    if (!picture.valid) return verb_fail("no valid LED image to draw");
    const std::string svg = svg_of(name, picture);
    std::string error;
    if (!lab_write_output_file(*svg_path, svg.data(), svg.size(), &error)) return verb_fail(error);
    std::printf("LED effects of %s drawn in %s\n", name.c_str(), svg_path->c_str());
    return 0;
}
