#include "cli/commands/led.h"

#include <cstdint>
#include <cstdio>

#include "zelko/common/numbers.h"
#include "zelko/led/led_effects.h"
#include "zelko/led/led_mem.h"
#include "zelko/led/led_names.h"

namespace zelko {

namespace {

uint8_t atol8(const char* text) { return static_cast<uint8_t>(parse_atol(text)); }
uint16_t atol16(const char* text) { return static_cast<uint16_t>(parse_atol(text)); }
uint16_t hex16(const char* text) { return static_cast<uint16_t>(parse_strtoul(text, 16)); }

void print_fail(const command_context& ctx) { std::printf("%s fail\n", ctx.command()); }

// The state and LED index every per-state command takes first. States above 4 and LEDs
// beyond the image's count are refused by the accessors, before any name is looked up.
struct led_target {
    uint8_t state;
    uint8_t led;
};
led_target target_of(const command_context& ctx) { return {atol8(ctx.argv[3]), atol8(ctx.argv[4])}; }

// Prints `format` with the LED index, the state name and `value`.
void print_field(const char* format, const led_target& t, int value) {
    std::printf(format, t.led, k_led_state_names[t.state], value);
}

void set_field(command_context& ctx, led_field field, uint16_t value, const char* format) {
    const led_target t = target_of(ctx);
    if (led_set_field(ctx.dev(), ctx.led, t.state, t.led, field, value, true) != 0) return print_fail(ctx);
    print_field(format, t, value);
}

void get_field(command_context& ctx, led_field field, const char* format) {
    const led_target t = target_of(ctx);
    uint16_t value = 0;
    if (led_get_field(ctx.led, t.state, t.led, field, &value) != 0) return print_fail(ctx);
    print_field(format, t, value);
}

void print_color(const char* prefix, const led_target& t, uint8_t row, const uint8_t* values, int count) {
    std::printf("%sled[%d] [%s] state color [%d] =", prefix, t.led, k_led_state_names[t.state], row);
    for (int i = 0; i < count; ++i) std::printf(" %d", values[i]);
    std::printf("\r\n");
}

// A support query never fails: a refused query reads as "not supported".
void print_sync_support(command_context& ctx, uint8_t ecosystem, const char* format) {
    uint8_t support = 0;
    if (led_get_sync_support(ctx.dev(), ecosystem, &support) != 0) support = 0;
    std::printf(format, support);
}

// The arguments an effect takes after the device path.
enum class effect_args : uint8_t { colour, colour_cycle, cycle };

// Arguments and message of each effect, in the order of led_effect_kind.
struct effect_command {
    effect_args args;
    const char* format;
};
constexpr effect_command k_effect_commands[] = {
    {effect_args::colour, "set led effect ALWAYS ON=0x%x\n"},
    {effect_args::colour_cycle, "set led effect BLINK=0x%x with cycle=%d\n"},
    {effect_args::colour_cycle, "set led effect BREATHE=0x%x with cycle=%d\n"},
    {effect_args::cycle, "set led effect SPECTRUM with cycle=%d\n"},
    {effect_args::colour_cycle, "set led effect SCROLL=0x%x with cycle=%d\n"},
    {effect_args::cycle, "set led effect RAINBOW SCROLL with cycle=%d\n"},
    {effect_args::colour_cycle, "set led effect RUNNING WATER=0x%x with cycle=%d\n"},
    {effect_args::cycle, "set led effect SLIDING with cycle=%d\n"},
    {effect_args::cycle, "set led effect NEWTON CRADLE with cycle=%d\n"},
    {effect_args::colour_cycle, "set led effect METEOR=0x%x with cycle=%d\n"},
};

// The colour is parsed whole and printed whole; the effect keeps its low 24 bits. The
// cycle keeps the low 16 bits.
void set_effect(command_context& ctx, led_effect_kind kind) {
    const effect_args args = k_effect_commands[static_cast<int>(kind)].args;
    const char* format = k_effect_commands[static_cast<int>(kind)].format;
    uint32_t colour = 0;
    uint16_t cycle = 0;
    if (args == effect_args::cycle) {
        cycle = atol16(ctx.argv[3]);
    } else {
        colour = parse_strtoul(ctx.argv[3], 16);
        if (args == effect_args::colour_cycle) cycle = atol16(ctx.argv[4]);
    }
    if (led_set_effect(ctx.dev(), ctx.led, kind, colour, cycle) != 0) return print_fail(ctx);
    switch (args) {
        case effect_args::colour: std::printf(format, colour); break;
        case effect_args::colour_cycle: std::printf(format, colour, cycle); break;
        case effect_args::cycle: std::printf(format, cycle); break;
    }
}

}  // namespace

void cmd_led_set_mode(command_context& ctx) {
    set_field(ctx, led_field::mode, atol8(ctx.argv[5]), "set led[%d] [%s] state mode = %d\n");
}
void cmd_led_get_mode(command_context& ctx) { get_field(ctx, led_field::mode, "led[%d] [%s] state mode = %d\n"); }

void cmd_led_set_row(command_context& ctx) {
    set_field(ctx, led_field::row_number, atol8(ctx.argv[5]), "set led[%d] [%s] state row_num = %d\n");
}
void cmd_led_get_row(command_context& ctx) {
    get_field(ctx, led_field::row_number, "led[%d] [%s] state row_num = %d\n");
}

void cmd_led_set_ramp(command_context& ctx) {
    set_field(ctx, led_field::ramp_factor, hex16(ctx.argv[5]), "set led[%d] [%s] state ramp factor = %d\n");
}
void cmd_led_get_ramp(command_context& ctx) {
    get_field(ctx, led_field::ramp_factor, "led[%d] [%s] state effect ramp time = %dms\n");
}

void cmd_led_set_stable(command_context& ctx) {
    set_field(ctx, led_field::stable_factor, hex16(ctx.argv[5]), "set led[%d] [%s] state stable factor = %d\n");
}
void cmd_led_get_stable(command_context& ctx) {
    get_field(ctx, led_field::stable_factor, "led[%d] [%s] state effect stable time = %dms\n");
}

void cmd_led_set_cycle(command_context& ctx) {
    set_field(ctx, led_field::cycle_time, atol16(ctx.argv[5]), "set led[%d] [%s] state effect cycle time = %dms\n");
}
void cmd_led_get_cycle(command_context& ctx) {
    get_field(ctx, led_field::cycle_time, "led[%d] [%s] state effect cycle time = %dms\n");
}

void cmd_led_set_color(command_context& ctx) {
    const led_target t = target_of(ctx);
    const uint8_t row = atol8(ctx.argv[5]);
    uint8_t values[3] = {};
    const int count = parse_byte_list(ctx.argv[6], 10, values, 3);
    if (led_set_color(ctx.dev(), ctx.led, t.state, t.led, row, values, count, true) != 0) return print_fail(ctx);
    print_color("set ", t, row, values, count);
}

void cmd_led_get_color(command_context& ctx) {
    const led_target t = target_of(ctx);
    const uint8_t row = atol8(ctx.argv[5]);
    uint8_t rgb[3] = {};
    if (led_get_color(ctx.led, t.state, t.led, row, rgb) != 0) return print_fail(ctx);
    print_color("", t, row, rgb, 3);
}

void cmd_led_set_bright(command_context& ctx) {
    const uint16_t brightness = hex16(ctx.argv[3]);
    if (led_set_brightness(ctx.dev(), ctx.led, brightness, true) != 0) return print_fail(ctx);
    std::printf("set led brightness = 0x%x\n", brightness);
}

void cmd_led_get_bright(command_context& ctx) {
    uint16_t brightness = 0;
    if (led_get_brightness(ctx.led, &brightness) != 0) return print_fail(ctx);
    std::printf("led brightness = 0x%x\n", brightness);
}

void cmd_led_get_rgb_num(command_context& ctx) {
    int32_t count = 0;
    if (led_get_rgb_num(ctx.led, &count) != 0) return print_fail(ctx);
    std::printf("led rgb number = %d\n", count);
}

void cmd_led_get_sup_argb(command_context& ctx) {
    uint8_t support = 0;
    if (led_get_argb_support(ctx.dev(), &support) != 0) support = 0;
    std::printf("Support ARGB = %d\n", support);
}

void cmd_led_get_sup_aura(command_context& ctx) {
    print_sync_support(ctx, k_eco_aura, "Support Asus Aura Sync = %d\n");
}
void cmd_led_get_sup_mystic(command_context& ctx) {
    print_sync_support(ctx, k_eco_mystic, "Support Msi Mystic Light = %d\n");
}
void cmd_led_get_sup_gbt(command_context& ctx) {
    print_sync_support(ctx, k_eco_fusion, "Support Gigabyte Fusion Light = %d\n");
}

// At most 60 numbers (20 LEDs) are read; an incomplete last triple is not sent.
void cmd_led_set_rgb_direct(command_context& ctx) {
    if (ctx.led == nullptr) return print_fail(ctx);
    ctx.led->sync_method = atol8(ctx.argv[3]);
    uint8_t values[3 * k_led_max_leds] = {};
    const int count = parse_byte_list(ctx.argv[4], 10, values, 3 * k_led_max_leds) / 3;
    if (led_set_rgb_direct(ctx.dev(), ctx.led->sync_method, values, static_cast<uint8_t>(count)) != 0) {
        return print_fail(ctx);
    }
    std::printf("set led direct pass\n");
    std::printf("colors:\n");
    for (int i = 0; i < count; ++i) {
        std::printf("RGB[%d]: (%d, %d, %d)\n", i, values[3 * i], values[3 * i + 1], values[3 * i + 2]);
    }
}

void cmd_led_set_app_ctl(command_context& ctx) {
    const uint8_t enable = atol8(ctx.argv[3]);
    if (led_set_app_ctl(ctx.dev(), enable) != 0) return print_fail(ctx);
    std::printf("set led sync light en = %d\n", enable);
}

void cmd_led_get_app_ctl(command_context& ctx) {
    uint8_t enable = 0;
    if (led_get_app_ctl(ctx.dev(), &enable) != 0) return print_fail(ctx);
    std::printf("led sync light en = %d\n", enable);
}

void cmd_led_set_eff_always_on(command_context& ctx) { set_effect(ctx, led_effect_kind::always_on); }
void cmd_led_set_eff_blink(command_context& ctx) { set_effect(ctx, led_effect_kind::blink); }
void cmd_led_set_eff_breathe(command_context& ctx) { set_effect(ctx, led_effect_kind::breathe); }
void cmd_led_set_eff_spectrum(command_context& ctx) { set_effect(ctx, led_effect_kind::spectrum); }
void cmd_led_set_eff_scroll(command_context& ctx) { set_effect(ctx, led_effect_kind::scroll); }
void cmd_led_set_eff_rainbow_scroll(command_context& ctx) { set_effect(ctx, led_effect_kind::rainbow_scroll); }
void cmd_led_set_eff_running_water(command_context& ctx) { set_effect(ctx, led_effect_kind::running_water); }
void cmd_led_set_eff_sliding(command_context& ctx) { set_effect(ctx, led_effect_kind::sliding); }
void cmd_led_set_eff_newton_cradle(command_context& ctx) { set_effect(ctx, led_effect_kind::newton_cradle); }
void cmd_led_set_eff_meteor(command_context& ctx) { set_effect(ctx, led_effect_kind::meteor); }

}  // namespace zelko
