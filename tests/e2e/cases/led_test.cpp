// The LED commands on emulated bridges: what they print, what travels, and what the
// bridge's LED memory holds afterwards.
#include <map>
#include <regex>
#include "lab_fixture.h"
#include "vendor_block_lines.h"

namespace {

class led_e2e : public bridge_lab_test {
protected:
    // The LED blocks (sub-commands CC and 4C) and READ(10)s of the trace.
    lines led_blocks() {
        lines picked;
        for (const std::string& line : trace_lines("CMD PhysicalDrive1 ")) {
            const std::string cdb = line.substr(19);
            if (cdb.compare(0, 2, "28") == 0 || cdb.compare(12, 2, "CC") == 0 || cdb.compare(12, 2, "4C") == 0) {
                picked.push_back(line.substr(0, line.find(" data=")));
            }
        }
        return picked;
    }
};

// Every LED command with arguments that work on the default bridge (8 LEDs).
const std::vector<std::vector<std::string>> k_every_led_command = {
    {"led_set_mode", "0", "0", "1"},
    {"led_get_mode", "0", "0"},
    {"led_set_row", "0", "0", "1"},
    {"led_get_row", "0", "0"},
    {"led_set_color", "0", "0", "0", "1 2 3"},
    {"led_get_color", "0", "0", "0"},
    {"led_set_ramp", "0", "0", "1"},
    {"led_get_ramp", "0", "0"},
    {"led_set_stable", "0", "0", "1"},
    {"led_get_stable", "0", "0"},
    {"led_set_cycle", "0", "0", "1"},
    {"led_get_cycle", "0", "0"},
    {"led_set_bright", "1"},
    {"led_get_bright"},
    {"led_get_rgb_num"},
    {"led_get_sup_argb"},
    {"led_get_sup_aura"},
    {"led_get_sup_mystic"},
    {"led_get_sup_gbt"},
    {"led_set_rgb_direct", "0", "1 2 3"},
    {"led_set_app_ctl", "1"},
    {"led_get_app_ctl"},
    {"led_set_eff_always_on", "ff"},
    {"led_set_eff_blink", "ff", "1"},
    {"led_set_eff_breathe", "ff", "1"},
    {"led_set_eff_spectrum", "1"},
    {"led_set_eff_scroll", "ff", "1"},
    {"led_set_eff_rainbow_scroll", "1"},
    {"led_set_eff_running_water", "ff", "1"},
    {"led_set_eff_sliding", "1"},
    {"led_set_eff_newton_cradle", "1"},
    {"led_set_eff_meteor", "ff", "1"},
};

std::string run_words(const std::vector<std::string>& command, std::vector<std::string>* words) {
    *words = {command[0], drive_path(1)};
    words->insert(words->end(), command.begin() + 1, command.end());
    return command[0];
}

TEST_F(led_e2e, setters_then_getters) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"led_set_mode", "1", "2", "3"}, "set led[2] [Read/Write] state mode = 3\n"},
        {{"led_get_mode", "1", "2"}, "led[2] [Read/Write] state mode = 3\n"},
        {{"led_set_row", "4", "7", "9"}, "set led[7] [No Disk] state row_num = 9\n"},
        {{"led_get_row", "4", "7"}, "led[7] [No Disk] state row_num = 9\n"},
        {{"led_set_ramp", "0", "0", "0x1414"}, "set led[0] [Idle] state ramp factor = 5140\n"},
        {{"led_get_ramp", "0", "0"}, "led[0] [Idle] state effect ramp time = 5140ms\n"},
        {{"led_set_stable", "2", "1", "ff"}, "set led[1] [IPS] state stable factor = 255\n"},
        {{"led_get_stable", "2", "1"}, "led[1] [IPS] state effect stable time = 255ms\n"},
        {{"led_set_cycle", "3", "5", "70000"}, "set led[5] [Sleep] state effect cycle time = 4464ms\n"},
        {{"led_get_cycle", "3", "5"}, "led[5] [Sleep] state effect cycle time = 4464ms\n"},
        {{"led_set_color", "0", "0", "4", "10 20"}, "set led[0] [Idle] state color [4] = 10 20\r\n"},
        {{"led_get_color", "0", "0", "4"}, "led[0] [Idle] state color [4] = 10 20 0\r\n"},
        {{"led_set_color", "0", "0", "0", "1 2 3 4"}, "set led[0] [Idle] state color [0] = 1 2 3\r\n"},
        {{"led_get_color", "0", "0", "0"}, "led[0] [Idle] state color [0] = 1 2 3\r\n"},
        {{"led_set_bright", "0x1080"}, "set led brightness = 0x1080\n"},
        {{"led_get_bright"}, "led brightness = 0x1080\n"},
        {{"led_get_rgb_num"}, "led rgb number = 8\n"},
        {{"led_set_app_ctl", "256"}, "set led sync light en = 0\n"},
        {{"led_get_app_ctl"}, "led sync light en = 0\n"},
        {{"led_set_app_ctl", "1"}, "set led sync light en = 1\n"},
        {{"led_get_app_ctl"}, "led sync light en = 1\n"},
        {{"led_get_sup_argb"}, "Support ARGB = 1\n"},
        {{"led_get_sup_aura"}, "Support Asus Aura Sync = 1\n"},
        {{"led_get_sup_mystic"}, "Support Msi Mystic Light = 1\n"},
        {{"led_get_sup_gbt"}, "Support Gigabyte Fusion Light = 1\n"},
    };
    for (const auto& [command, output] : cases) {
        std::vector<std::string> words;
        SCOPED_TRACE(run_words(command, &words));
        EXPECT_EQ(run(words), output);
    }
    // The cycle is stored little-endian, the ramp factor big-endian, in the raw memory.
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "led", "0x40", "8"}),
              "00000040  04 02 B8 0B 14 14 00 05                           |........|\n00000048\n");
}

TEST_F(led_e2e, image_written_back_in_16_chunks_then_settled) {
    clear_trace();
    EXPECT_EQ(run1("led_set_cycle", {"0", "0", "100"}), "set led[0] [Idle] state effect cycle time = 100ms\n");
    const lines blocks = led_blocks();
    ASSERT_EQ(blocks.size(), 35u);
    EXPECT_EQ(blocks[0], "CMD PhysicalDrive1 E2 00 00 00 CC 05 00 00 00 00 00 00 01 00 00 00 in 1 status=0 err=0");
    for (int i = 0; i < 16; ++i) {
        char chunk[40];
        std::snprintf(chunk, sizeof chunk, "00 %02X 00 00 00 04 00 00", 4 * i);
        EXPECT_EQ(blocks[1 + i],
                  "CMD PhysicalDrive1 E2 00 00 00 CC 02 00 00 " + std::string(chunk) + " in 1024 status=0 err=0");
        EXPECT_EQ(blocks[18 + i],
                  "CMD PhysicalDrive1 E3 00 00 00 4C 02 00 00 " + std::string(chunk) + " out 1024 status=0 err=0");
    }
    const std::string settle =
        "CMD PhysicalDrive1 28 00 00 01 00 00 00 00 01 00 00 00 00 00 00 00 in 512 status=0 err=0";
    EXPECT_EQ(blocks[17], settle);
    EXPECT_EQ(blocks[34], settle);
    // A getter loads and writes nothing back.
    clear_trace();
    run1("led_get_cycle", {"0", "0"});
    EXPECT_EQ(led_blocks().size(), 18u);
}

TEST_F(led_e2e, bridges_without_argb_or_with_a_bad_image_refuse_every_led_command) {
    const std::pair<const char*, const char*> settings[] = {
        {"led_argb", "0"},         {"led_magic", "0x4C454454"}, {"led_version", "3"},
        {"led_count_field", "21"}, {"led_count_field", "-1"},
    };
    int drive = 2;
    for (const auto& [key, value] : settings) {
        const std::string name = "PhysicalDrive" + std::to_string(drive);
        lab_ok({"create", name});
        lab_ok({"set", name, key, value});
        for (const std::vector<std::string>& command : k_every_led_command) {
            std::vector<std::string> words = command;
            words.insert(words.begin() + 1, drive_path(drive));
            EXPECT_EQ(run(words), "init led dev fail\n") << key << " " << command[0];
        }
        ++drive;
    }
}

TEST_F(led_e2e, direct_rgb) {
    EXPECT_EQ(run1("led_set_rgb_direct", {"1", "1 2 3 4 5 6 7"}),
              "set led direct pass\ncolors:\nRGB[0]: (1, 2, 3)\nRGB[1]: (4, 5, 6)\n");
    EXPECT_EQ(vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4C"}).back(),
              "CMD PhysicalDrive1 E3 00 00 00 4C 03 01 00 02 00 00 00 06 00 00 00 out 6 status=0 err=0 "
              "data=01 02 03 04 05 06");
    std::string list;
    std::string expected = "set led direct pass\ncolors:\n";
    for (int i = 1; i <= 61; ++i) list += std::to_string(i % 256) + " ";
    for (int i = 0; i < 20; ++i) {
        expected += "RGB[" + std::to_string(i) + "]: (" + std::to_string(3 * i + 1) + ", " + std::to_string(3 * i + 2) +
                    ", " + std::to_string(3 * i + 3) + ")\n";
    }
    EXPECT_EQ(run1("led_set_rgb_direct", {"0", list}), expected);
    EXPECT_EQ(shown("PhysicalDrive1", "state", "led_direct").substr(0, 35), "20 LEDs: 01 02 03 04 05 06 07 08 09");
}

// A write refused after 8 chunks: "fail", and the bridge holds the first 8 new chunks.
TEST_F(led_e2e, commit_failing_half_way) {
    lab_ok({"set", "PhysicalDrive1", "led_count", "20"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 4C 02", "--status", "2", "--after", "8"});
    EXPECT_EQ(run1("led_set_eff_always_on", {"0x123456"}), "led_set_eff_always_on fail\n");
    EXPECT_EQ(vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4C"}).size(), 9u);
    // State 0 lies in the first 8 chunks: it reached the bridge although the command failed.
    EXPECT_EQ(run1("led_get_color", {"0", "0", "0"}), "led[0] [Idle] state color [0] = 18 52 86\r\n");
    EXPECT_EQ(run1("led_get_mode", {"0", "19"}), "led[19] [Idle] state mode = 1\n");
    // LED 19 of state 4 lies in the last chunk: its new cycle never arrived.
    EXPECT_EQ(run1("led_set_cycle", {"4", "19", "1234"}), "led_set_cycle fail\n");
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    EXPECT_EQ(run1("led_get_cycle", {"4", "19"}), "led[19] [No Disk] state effect cycle time = 0ms\n");
}

TEST_F(led_e2e, effects) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"led_set_eff_always_on", "0x12FFFF00"}, "set led effect ALWAYS ON=0x12ffff00\n"},
        {{"led_get_color", "0", "7", "0"}, "led[7] [Idle] state color [0] = 255 255 0\r\n"},
        {{"led_set_eff_blink", "ff", "70000"}, "set led effect BLINK=0xff with cycle=4464\n"},
        {{"led_get_cycle", "0", "3"}, "led[3] [Idle] state effect cycle time = 4464ms\n"},
        {{"led_set_eff_breathe", "0xff00", "1500"}, "set led effect BREATHE=0xff00 with cycle=1500\n"},
        {{"led_set_eff_spectrum", "600"}, "set led effect SPECTRUM with cycle=600\n"},
        {{"led_get_color", "0", "2", "1"}, "led[2] [Idle] state color [1] = 255 80 0\r\n"},
        {{"led_set_eff_scroll", "0xFF", "800"}, "set led effect SCROLL=0xff with cycle=800\n"},
        {{"led_get_row", "0", "0"}, "led[0] [Idle] state row_num = 14\n"},
        {{"led_set_eff_rainbow_scroll", "800"}, "set led effect RAINBOW SCROLL with cycle=800\n"},
        {{"led_set_eff_running_water", "0x0000FF", "800"}, "set led effect RUNNING WATER=0xff with cycle=800\n"},
        {{"led_set_eff_sliding", "800"}, "set led effect SLIDING with cycle=800\n"},
        {{"led_set_eff_newton_cradle", "2000"}, "set led effect NEWTON CRADLE with cycle=2000\n"},
        {{"led_get_color", "0", "3", "4"}, "led[3] [Idle] state color [4] = 255 128 0\r\n"},
        {{"led_set_eff_meteor", "0xFF0000", "1000"}, "set led effect METEOR=0xff0000 with cycle=1000\n"},
        {{"led_get_stable", "0", "0"}, "led[0] [Idle] state effect stable time = 1285ms\n"},
        {{"led_get_cycle", "0", "0"}, "led[0] [Idle] state effect cycle time = 0ms\n"},
        // Other states keep their settings.
        {{"led_get_mode", "4", "0"}, "led[0] [No Disk] state mode = 1\n"},
    };
    for (const auto& [command, output] : cases) {
        std::vector<std::string> words;
        SCOPED_TRACE(run_words(command, &words));
        EXPECT_EQ(run(words), output);
    }
}

// No LEDs: every effect fails without writing; fewer than 4: Newton's cradle does.
TEST_F(led_e2e, effects_refused_for_too_few_leds) {
    lab_ok({"set", "PhysicalDrive1", "led_count", "0"});
    EXPECT_EQ(run1("led_get_rgb_num"), "led rgb number = 0\n");
    EXPECT_EQ(run1("led_get_mode", {"0", "0"}), "led_get_mode fail\n");
    for (const std::vector<std::string>& command : k_every_led_command) {
        if (command[0].find("led_set_eff_") != 0) continue;
        std::vector<std::string> words = command;
        words.insert(words.begin() + 1, drive_path(1));
        clear_trace();
        EXPECT_EQ(run(words), command[0] + " fail\n");
        EXPECT_TRUE(vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4C"}).empty()) << command[0];
    }
    lab_ok({"set", "PhysicalDrive1", "led_count", "3"});
    clear_trace();
    EXPECT_EQ(run1("led_set_eff_newton_cradle", {"100"}), "led_set_eff_newton_cradle fail\n");
    EXPECT_TRUE(vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4C"}).empty());
    EXPECT_EQ(run1("led_set_eff_sliding", {"100"}), "set led effect SLIDING with cycle=100\n");
}

TEST_F(led_e2e, out_of_range_arguments_fail) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"5", "0", "1"}, {"0", "8", "1"}, {"0", "0", "43", "1 2 3"}}) {
        const std::string command = args.size() == 4 ? "led_set_color" : "led_set_mode";
        clear_trace();
        EXPECT_EQ(run1(command, args), command + " fail\n");
        EXPECT_TRUE(vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4C"}).empty());
    }
}

TEST_F(led_e2e, sync_support_per_ecosystem) {
    lab_ok({"set", "PhysicalDrive1", "led_sync", "4"});
    EXPECT_EQ(run1("led_get_sup_aura"), "Support Asus Aura Sync = 0\n");
    EXPECT_EQ(run1("led_get_sup_mystic"), "Support Msi Mystic Light = 0\n");
    EXPECT_EQ(run1("led_get_sup_gbt"), "Support Gigabyte Fusion Light = 1\n");
    // A refused query reads as 0.
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. CC 04", "--status", "2"});
    EXPECT_EQ(run1("led_get_sup_gbt"), "Support Gigabyte Fusion Light = 0\n");
}

}  // namespace

namespace {

// The picture is decoded from the raw memory: what an effect wrote shows as colour blocks
// on a colour terminal and as #RRGGBB text everywhere else, and the SVG draws what each
// LED shows at each time step.
TEST_F(led_e2e, picture_of_the_leds) {
    lab_ok({"set", "PhysicalDrive1", "led_count", "2"});
    EXPECT_EQ(run1("led_set_eff_blink", {"0x00FF80", "1000"}), "set led effect BLINK=0xff80 with cycle=1000\n");
    const auto idle_part = [](const std::string& picture) { return picture.substr(0, picture.find("Read/Write:")); };
    const auto idle = [](const std::string& cells) {
        return "LED memory of PhysicalDrive1: 2 LEDs, brightness high 255 low 32\n"
               "Idle:\n"
               "   0 Color_Cycle    rows  2 cycle  1000 ms ramp 0 stable 0 effect 0x01 step 0  " +
               cells +
               "\n"
               "   1 Color_Cycle    rows  2 cycle  1000 ms ramp 0 stable 0 effect 0x01 step 0  " +
               cells + "\n";
    };
    const std::string text = "#00FF80 #000000";
    const std::string blocks = "\x1b[48;2;0;255;128m  \x1b[0m\x1b[48;2;0;0;0m  \x1b[0m";
    // Standard output is a pipe here: text, whether auto is said or not.
    const std::string picture = lab_ok({"show", "PhysicalDrive1", "leds"});
    EXPECT_EQ(idle_part(picture), idle(text));
    EXPECT_EQ(picture.find('\x1b'), std::string::npos);
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "leds", "--color", "auto"}), picture);
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "leds", "--color", "never"}), picture);
    EXPECT_TRUE(picture.ends_with("application control: off\ndirect frame: none\n")) << picture;
    // Asked for, the escapes go even into a pipe, NO_COLOR or not; NO_COLOR keeps auto text.
    const std::string coloured = lab_ok({"show", "PhysicalDrive1", "leds", "--color", "always"});
    EXPECT_EQ(idle_part(coloured), idle(blocks));
    setenv("NO_COLOR", "1", 1);
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "leds", "--color", "always"}), coloured);
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "leds"}), picture);
    unsetenv("NO_COLOR");
    // The direct frame the same way.
    run1("led_set_rgb_direct", {"1", "1 2 3 4 5 6"});
    EXPECT_TRUE(lab_ok({"show", "PhysicalDrive1", "leds"}).ends_with("direct frame: #010203 #040506\n"));
    EXPECT_TRUE(lab_ok({"show", "PhysicalDrive1", "leds", "--color", "always"})
                    .ends_with("direct frame: \x1b[48;2;1;2;3m  \x1b[0m\x1b[48;2;4;5;6m  \x1b[0m\n"));
    const std::string usage = "usage: mvbridge-lab DIR show NAME leds [--color auto|always|never] [--svg FILE]\n";
    expect_lab_error({"show", "PhysicalDrive1", "leds", "--color", "sometimes"}, usage, 2);
    expect_lab_error({"show", "PhysicalDrive1", "leds", "--color"}, usage, 2);
    expect_lab_error({"show", "PhysicalDrive1", "leds", "--color", "never", "--color", "never"}, usage, 2);

    const std::string svg_path = dir_ + "/leds.svg";
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "leds", "--color", "never", "--svg", svg_path}),
              "LED effects of PhysicalDrive1 drawn in " + svg_path + "\n");
    const std::string svg = read_lab_file("leds.svg");
    EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
    EXPECT_NE(svg.find("Idle: Color_Cycle, cycle 1000 ms</text>"), std::string::npos);
    // Row 0 at 0 ms lit, row 1 at 500 ms dark; every cell outlined.
    EXPECT_NE(svg.find("<rect x=\"102\" y=\"58\" width=\"20\" height=\"14\" fill=\"#00FF80\" stroke=\"#808080\"/>"),
              std::string::npos);
    EXPECT_NE(svg.find("<rect x=\"102\" y=\"74\" width=\"20\" height=\"14\" fill=\"#000000\" stroke=\"#808080\"/>"),
              std::string::npos);
    EXPECT_NE(svg.find(">0 ms</text>"), std::string::npos);
    EXPECT_NE(svg.find(">500 ms</text>"), std::string::npos);

    // A damaged image is named, not drawn.
    lab_ok({"set", "PhysicalDrive1", "led_version", "3"});
    expect_lab_error({"show", "PhysicalDrive1", "leds", "--svg", svg_path},
                     "mvbridge-lab: no valid LED image to draw\n");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "leds"}),
              "LED memory of PhysicalDrive1: no valid image (magic 0x4C454453, version 3, LED count 2)\n"
              "application control: off\ndirect frame: #010203 #040506\n");
}

// A meteor: every LED breathes its colour for half the cycle and is dark for the other
// half, each starting one step time (half the cycle / LEDs) after the one before. The SVG
// has a row per step time, and each LED's rows are LED 0's shifted down by its index.
TEST_F(led_e2e, the_svg_of_a_meteor_travels_along_the_strip) {
    EXPECT_EQ(run1("led_set_eff_meteor", {"0xFFFFFF", "1000"}), "set led effect METEOR=0xffffff with cycle=1000\n");
    const std::string svg_path = dir_ + "/meteor.svg";
    lab_ok({"show", "PhysicalDrive1", "leds", "--svg", svg_path});
    const std::string svg = read_lab_file("meteor.svg");
    EXPECT_NE(svg.find("Idle: Color_Breathe, cycle 1000 ms, each LED 62 ms after the one before</text>"),
              std::string::npos);
    EXPECT_EQ(svg.find("cycle 0 ms"), std::string::npos);
    // The cells of the Idle panel: x = 80 + 22 LED, y = 58 + 16 row.
    std::map<std::pair<int, int>, std::string> cells;
    const std::regex rect("<rect x=\"([0-9]+)\" y=\"([0-9]+)\" width=\"20\" height=\"14\" fill=\"(#[0-9A-F]{6})\"");
    for (std::sregex_iterator it(svg.begin(), svg.end(), rect), end; it != end; ++it) {
        const int led = (std::stoi((*it)[1]) - 80) / 22;
        const int row = (std::stoi((*it)[2]) - 58) / 16;
        if (row < 16) cells[std::make_pair(led, row)] = (*it)[3];
    }
    const auto idle = [&](int led, int row) { return cells[std::make_pair(led, row)]; };
    // 1000 / 62 = 16 rows of 62 ms, labelled with the time they show.
    for (int row = 0; row < 16; ++row) {
        EXPECT_NE(svg.find(">" + std::to_string(row * 62) + " ms</text>"), std::string::npos) << row;
    }
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(idle(0, row), row * 62 < 500 ? "#FFFFFF" : "#000000") << row;
        for (int led = 1; led < 8; ++led) {
            if (row >= led) {
                EXPECT_EQ(idle(led, row), idle(0, row - led)) << led << " " << row;
            }
        }
    }
    // Before its start an LED shows the end of its previous round: dark.
    EXPECT_EQ(idle(7, 0), "#000000");
    EXPECT_EQ(idle(7, 7), "#FFFFFF");
}
}  // namespace
