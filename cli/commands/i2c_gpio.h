// Commands that drive the bridge's pins as an I2C master or as GPIOs.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_i2c_init(command_context& ctx);
void cmd_i2c_write(command_context& ctx);
void cmd_i2c_read(command_context& ctx);
void cmd_i2c_read_wf(command_context& ctx);
void cmd_gpio_init(command_context& ctx);
void cmd_gpio_set(command_context& ctx);
void cmd_gpio_get(command_context& ctx);

}  // namespace zelko
