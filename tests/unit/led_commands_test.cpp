// The LED command handlers on a loaded image: what they print and send.
#include <gtest/gtest.h>

#include "cli/commands/led.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/led_image.h"

using namespace zelko;

namespace {

class led_command_test : public bridge_command_test {
protected:
    void SetUp() override {
        bridge_command_test::SetUp();
        led_image::hold(&record, led_image::make(4));
        led_record = &record;
    }
    void TearDown() override {
        led_mem_dev_free(&record);
        bridge_command_test::TearDown();
    }
    std::vector<fake::answer> commit() { return std::vector<fake::answer>(17, ok()); }

    led_mem_dev record;
};

TEST_F(led_command_test, setters_print_and_commit) {
    struct setter {
        command_handler handler;
        const char* command;
        std::vector<std::string> args;
        std::string output;
    };
    const setter cases[] = {
        {cmd_led_set_mode, "led_set_mode", {"1", "2", "260"}, "set led[2] [Read/Write] state mode = 4\n"},
        {cmd_led_set_row, "led_set_row", {"4", "3", "6"}, "set led[3] [No Disk] state row_num = 6\n"},
        {cmd_led_set_ramp, "led_set_ramp", {"0", "0", "0x1414"}, "set led[0] [Idle] state ramp factor = 5140\n"},
        {cmd_led_set_stable, "led_set_stable", {"2", "1", "12345"}, "set led[1] [IPS] state stable factor = 9029\n"},
        {cmd_led_set_cycle,
         "led_set_cycle",
         {"3", "0", "70000"},
         "set led[0] [Sleep] state effect cycle time = 4464ms\n"},
        {cmd_led_set_color, "led_set_color", {"0", "0", "4", "10 20"}, "set led[0] [Idle] state color [4] = 10 20\r\n"},
        {cmd_led_set_color,
         "led_set_color",
         {"0", "1", "0", "  1  2 3 4"},
         "set led[1] [Idle] state color [0] = 1 2 3\r\n"},
        {cmd_led_set_bright, "led_set_bright", {"0x1ABCD"}, "set led brightness = 0xabcd\n"},
        {cmd_led_set_eff_always_on, "led_set_eff_always_on", {"0x12FFFF00"}, "set led effect ALWAYS ON=0x12ffff00\n"},
        {cmd_led_set_eff_blink, "led_set_eff_blink", {"ff", "70000"}, "set led effect BLINK=0xff with cycle=4464\n"},
        {cmd_led_set_eff_spectrum, "led_set_eff_spectrum", {"900"}, "set led effect SPECTRUM with cycle=900\n"},
        {cmd_led_set_eff_newton_cradle,
         "led_set_eff_newton_cradle",
         {"900"},
         "set led effect NEWTON CRADLE with cycle=900\n"},
        {cmd_led_set_eff_meteor,
         "led_set_eff_meteor",
         {"0xFF", "1000"},
         "set led effect METEOR=0xff with cycle=1000\n"},
    };
    for (const setter& c : cases) {
        SCOPED_TRACE(c.command);
        next_case();
        led_image::hold(&record, led_image::make(4));
        for (const fake::answer& a : commit()) fake::script(a);
        EXPECT_EQ(run(c.handler, c.command, c.args), c.output);
        EXPECT_EQ(sent_blocks().size(), 17u);
    }
}

// Reading the values the layout test put in place.
TEST_F(led_command_test, getters_print_the_image) {
    uint8_t* entry = led_entry(&record, 1, 3);
    const uint8_t head[8] = {5, 43, 0x70, 0x11, 0x14, 0x14, 0x00, 0x07};
    std::copy(head, head + 8, entry);
    entry[32 + 3 * 42] = 255;
    struct getter {
        command_handler handler;
        const char* command;
        std::vector<std::string> args;
        std::string output;
    };
    const getter cases[] = {
        {cmd_led_get_mode, "led_get_mode", {"1", "3"}, "led[3] [Read/Write] state mode = 5\n"},
        {cmd_led_get_row, "led_get_row", {"1", "3"}, "led[3] [Read/Write] state row_num = 43\n"},
        {cmd_led_get_cycle, "led_get_cycle", {"1", "3"}, "led[3] [Read/Write] state effect cycle time = 4464ms\n"},
        {cmd_led_get_ramp, "led_get_ramp", {"1", "3"}, "led[3] [Read/Write] state effect ramp time = 5140ms\n"},
        {cmd_led_get_stable, "led_get_stable", {"1", "3"}, "led[3] [Read/Write] state effect stable time = 7ms\n"},
        {cmd_led_get_color,
         "led_get_color",
         {"1", "3", "42"},
         "led[3] [Read/Write] state color [42] = 255 161 161\r\n"},
        {cmd_led_get_bright, "led_get_bright", {}, "led brightness = 0xff20\n"},
        {cmd_led_get_rgb_num, "led_get_rgb_num", {}, "led rgb number = 4\n"},
    };
    for (const getter& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(run(c.handler, c.command, c.args), c.output);
    }
    EXPECT_TRUE(sent_blocks().empty());
}

// A state above 4, an LED not below the count, a row above 42: "fail", nothing sent.
TEST_F(led_command_test, out_of_range_arguments_fail_without_sending) {
    const std::pair<command_handler, std::vector<std::string>> cases[] = {
        {cmd_led_set_mode, {"5", "0", "1"}},   {cmd_led_set_mode, {"0", "4", "1"}},
        {cmd_led_get_mode, {"-1", "0"}},       {cmd_led_set_color, {"0", "0", "43", "1 2 3"}},
        {cmd_led_get_color, {"0", "0", "43"}}, {cmd_led_get_cycle, {"0", "255"}},
    };
    for (const auto& [handler, args] : cases) EXPECT_EQ(run(handler, "led_x", args), "led_x fail\n");
    EXPECT_TRUE(sent_blocks().empty());
}

TEST_F(led_command_test, failed_commit_prints_fail) {
    run_cases(cmd_led_set_cycle, "led_set_cycle",
              {{{"0", "0", "100"}, {ok(), ok(), check_condition()}, "led_set_cycle fail\n"}});
}

TEST_F(led_command_test, direct_commands) {
    const std::string argb = "E2 00 00 00 CC 05 00 00 00 00 00 00 01 00 00 00 in 1";
    run_cases(cmd_led_get_sup_argb, "led_get_sup_argb",
              {{{}, {ok({1})}, "Support ARGB = 1\n", {argb}}, {{}, {check_condition()}, "Support ARGB = 0\n"}});
    run_cases(cmd_led_get_sup_aura, "led_get_sup_aura",
              {{{},
                {check_condition()},
                "Support Asus Aura Sync = 0\n",
                {"E2 00 00 00 CC 04 01 00 00 00 00 00 01 00 00 00 in 1"}}});
    run_cases(
        cmd_led_get_sup_mystic, "led_get_sup_mystic",
        {{{}, {ok({1})}, "Support Msi Mystic Light = 1\n", {"E2 00 00 00 CC 04 02 00 00 00 00 00 01 00 00 00 in 1"}}});
    run_cases(cmd_led_get_sup_gbt, "led_get_sup_gbt",
              {{{},
                {ok({0})},
                "Support Gigabyte Fusion Light = 0\n",
                {"E2 00 00 00 CC 04 04 00 00 00 00 00 01 00 00 00 in 1"}}});
    run_cases(cmd_led_set_app_ctl, "led_set_app_ctl",
              {{{"256"},
                {ok()},
                "set led sync light en = 0\n",
                {"E3 00 00 00 4C 01 00 00 00 00 00 00 01 00 00 00 out 1 data=00"}},
               {{"3"},
                {ok()},
                "set led sync light en = 3\n",
                {"E3 00 00 00 4C 01 01 00 00 00 00 00 01 00 00 00 out 1 data=00"}},
               {{"1"}, {check_condition()}, "led_set_app_ctl fail\n"}});
    run_cases(cmd_led_get_app_ctl, "led_get_app_ctl",
              {{{}, {ok({1})}, "led sync light en = 1\n", {"E2 00 00 00 CC 01 00 00 00 00 00 00 01 00 00 00 in 1"}},
               {{}, {check_condition()}, "led_get_app_ctl fail\n"}});
    run_cases(cmd_led_set_rgb_direct, "led_set_rgb_direct",
              {{{"1", "1 2 3 4 5 6 7"},
                {ok()},
                "set led direct pass\ncolors:\nRGB[0]: (1, 2, 3)\nRGB[1]: (4, 5, 6)\n",
                {"E3 00 00 00 4C 03 01 00 02 00 00 00 06 00 00 00 out 6 data=01 02 03 04 05 06"}},
               {{"257", "300 2 3"}, {check_condition()}, "led_set_rgb_direct fail\n"}});
}

// 61 numbers: 60 are read, 20 LEDs sent.
TEST_F(led_command_test, direct_rgb_caps_at_20_leds) {
    std::string list;
    for (int i = 1; i <= 61; ++i) list += std::to_string(i) + " ";
    fake::script_ok();
    const std::string out = run(cmd_led_set_rgb_direct, "led_set_rgb_direct", {"0", list});
    EXPECT_TRUE(out.ends_with("RGB[18]: (55, 56, 57)\nRGB[19]: (58, 59, 60)\n")) << out;
    EXPECT_EQ(fake::hex(fake::requests()[0].cdb), "E3 00 00 00 4C 03 00 00 14 00 00 00 3C 00 00 00");
    EXPECT_EQ(data_out(0).size(), 60u);
    EXPECT_EQ(data_out(0).back(), 60);
}

}  // namespace
