// The LED commands: per-state settings of the LED memory image, brightness, support
// queries, application control, direct RGB, and the ten ready-made effects. Each runs on
// the image the dispatcher loaded (command_context::led).
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_led_set_mode(command_context& ctx);
void cmd_led_get_mode(command_context& ctx);
void cmd_led_set_row(command_context& ctx);
void cmd_led_get_row(command_context& ctx);
void cmd_led_set_color(command_context& ctx);
void cmd_led_get_color(command_context& ctx);
void cmd_led_set_ramp(command_context& ctx);
void cmd_led_get_ramp(command_context& ctx);
void cmd_led_set_stable(command_context& ctx);
void cmd_led_get_stable(command_context& ctx);
void cmd_led_set_cycle(command_context& ctx);
void cmd_led_get_cycle(command_context& ctx);
void cmd_led_set_bright(command_context& ctx);
void cmd_led_get_bright(command_context& ctx);
void cmd_led_get_rgb_num(command_context& ctx);
void cmd_led_get_sup_argb(command_context& ctx);
void cmd_led_get_sup_aura(command_context& ctx);
void cmd_led_get_sup_mystic(command_context& ctx);
void cmd_led_get_sup_gbt(command_context& ctx);
void cmd_led_set_rgb_direct(command_context& ctx);
void cmd_led_set_app_ctl(command_context& ctx);
void cmd_led_get_app_ctl(command_context& ctx);
void cmd_led_set_eff_always_on(command_context& ctx);
void cmd_led_set_eff_blink(command_context& ctx);
void cmd_led_set_eff_breathe(command_context& ctx);
void cmd_led_set_eff_spectrum(command_context& ctx);
void cmd_led_set_eff_scroll(command_context& ctx);
void cmd_led_set_eff_rainbow_scroll(command_context& ctx);
void cmd_led_set_eff_running_water(command_context& ctx);
void cmd_led_set_eff_sliding(command_context& ctx);
void cmd_led_set_eff_newton_cradle(command_context& ctx);
void cmd_led_set_eff_meteor(command_context& ctx);

}  // namespace zelko
