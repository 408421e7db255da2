// The bridge's LED blocks on an in-memory record: the raw LED memory, support queries,
// application control, direct frames, and what it refuses.
#include "lab/model/led/led_memory.h"
#include "lab/host/terminal_colour.h"
#include "model_fixture.h"

namespace {

TEST(led_model, fresh_image_header_and_first_entry) {
    const std::vector<uint8_t> image = lab_default_led_image(8);
    ASSERT_EQ(image.size(), 16384u);
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 8),
              (std::vector<uint8_t>{0x53, 0x44, 0x45, 0x4C, 2, 0, 0, 0}));
    EXPECT_EQ(image[24], 8);
    // Idle entry of LED 0: breathe, 2 rows, cycle 3000 little-endian, ramp 10 and stable 5 big-endian.
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 0x40, image.begin() + 0x48),
              (std::vector<uint8_t>{4, 2, 0xB8, 0x0B, 0, 10, 0, 5}));
    // The entry table of 5 x 20 LEDs still fits.
    EXPECT_EQ(lab_default_led_image(20).size(), 16384u);
}

TEST(led_model, memory_reads_and_writes_in_place) {
    bridge_record bridge = make_bridge();
    std::vector<uint8_t> chunk(1024, 0x5A);
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4C 02 00 00 00 3C 00 00 00 04", chunk).sense(), "");
    const served back = serve_in(bridge, "E2 00 00 00 CC 02 00 00 00 3C 00 00 00 04", 1024);
    EXPECT_EQ(back.answer.data, chunk);
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CC 02 00 00 00 00 00 00 04", 4).answer.data,
              (std::vector<uint8_t>{0x53, 0x44, 0x45, 0x4C}));
}

TEST(led_model, answers_and_refusals) {
    bridge_record bridge = make_bridge();
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CC 05 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{1});
    bridge.led.sync = 2;
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CC 04 01 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{0});
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CC 04 02 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{1});
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4C 01 01 00 00 00 00 00 01", {0}).sense(), "");
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CC 01 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{1});
    EXPECT_EQ(serve_out(bridge, "E3 00 00 00 4C 03 01 00 02 00 00 00 06", {1, 2, 3, 4, 5, 6}).sense(), "");
    EXPECT_EQ(bridge.led.direct, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(bridge.led.direct_sync, 1u);

    expect_senses(bridge, {
                              // Past the end of the LED memory, length field not the data phase.
                              {"E2 00 00 00 CC 02 00 00 01 3C 00 00 00 04", true, 1024, "05/24/00"},
                              {"E3 00 00 00 4C 02 00 00 00 40 00 00 01", false, 1, "05/24/00"},
                              {"E2 00 00 00 CC 02 00 00 00 00 00 00 00 04", true, 512, "05/24/00"},
                              // Unknown ecosystem, enable above 1, 21 LEDs, an unknown function.
                              {"E2 00 00 00 CC 04 03 00 00 00 00 00 01", true, 1, "05/24/00"},
                              {"E3 00 00 00 4C 01 02 00 00 00 00 00 01", false, 1, "05/24/00"},
                              {"E3 00 00 00 4C 03 00 00 15 00 00 00 3F", false, 63, "05/24/00"},
                              {"E2 00 00 00 CC 06 00 00 00 00 00 00 01", true, 1, "05/20/00"},
                              // READ(10): length must match the blocks; beyond the disk is out of range.
                              {"28 00 00 01 00 00 00 00 01", true, 512, ""},
                              {"28 00 00 01 00 00 00 00 01", true, 4, "05/24/00"},
                              {"28 00 FF FF FF FF 00 00 01", true, 512, "05/21/00"},
                          });

    // Without an ARGB string only the support query answers, with 0.
    bridge.led.argb = 0;
    EXPECT_EQ(serve_in(bridge, "E2 00 00 00 CC 05 00 00 00 00 00 00 01", 1).answer.data, std::vector<uint8_t>{0});
    expect_senses(bridge, {
                              {"E2 00 00 00 CC 02 00 00 00 00 00 00 00 04", true, 1024, "05/24/00"},
                              {"E2 00 00 00 CC 01 00 00 00 00 00 00 01", true, 1, "05/24/00"},
                              {"E2 00 00 00 CC 04 01 00 00 00 00 00 01", true, 1, "05/24/00"},
                          });
}

}  // namespace

namespace {

// `show NAME leds` draws colour blocks only on a colour terminal that NO_COLOR (set, not
// empty) does not switch off, unless --color always or never says otherwise.
TEST(led_model, colour_only_on_a_colour_terminal_unless_asked) {
    const struct {
        const char* word;
        bool terminal;
        const char* no_color;
        const char* term;
        bool colour;
    } cases[] = {
        {"auto", true, nullptr, "xterm-256color", true},
        {"auto", false, nullptr, "xterm-256color", false},  // a pipe or a file
        {"auto", true, "1", "xterm-256color", false},
        {"auto", true, "", "xterm-256color", true},  // NO_COLOR empty counts as unset
        {"auto", true, nullptr, "dumb", false},
        {"auto", true, nullptr, nullptr, false},
        {"always", false, "1", "dumb", true},
        {"never", true, nullptr, "xterm-256color", false},
    };
    for (const auto& c : cases) {
        colour_choice choice = colour_choice::never;
        ASSERT_TRUE(parse_colour_choice(c.word, &choice)) << c.word;
        EXPECT_EQ(colour_wanted(choice, c.terminal, c.no_color, c.term), c.colour)
            << c.word << " " << c.terminal << " " << (c.no_color ? c.no_color : "-") << " " << (c.term ? c.term : "-");
    }
    colour_choice choice = colour_choice::always;
    for (const char* bad : {"", "yes", "Auto", "--color"}) EXPECT_FALSE(parse_colour_choice(bad, &choice)) << bad;
    EXPECT_EQ(choice, colour_choice::always);
}

}  // namespace
