// Commands of the bridge's serial port and of the RAID mode.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_uart_init(command_context& ctx);
void cmd_uart_tx(command_context& ctx);
void cmd_uart_rx(command_context& ctx);
void cmd_uart_rx_cnt(command_context& ctx);
void cmd_uart_clear_buf(command_context& ctx);
void cmd_raid_set_mode(command_context& ctx);
void cmd_raid_get_mode(command_context& ctx);

}  // namespace zelko
