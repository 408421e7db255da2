// Commands of the PG record: read and report it, write it from a configuration file,
// get and set the USB speed, serial number, VID and PID.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_pg_read(command_context& ctx);
void cmd_pg_write(command_context& ctx);
void cmd_pg_set_usb_speed(command_context& ctx);
void cmd_pg_get_usb_speed(command_context& ctx);
void cmd_pg_set_sn(command_context& ctx);
void cmd_pg_get_sn(command_context& ctx);
void cmd_pg_set_vid(command_context& ctx);
void cmd_pg_get_vid(command_context& ctx);
void cmd_pg_set_pid(command_context& ctx);
void cmd_pg_get_pid(command_context& ctx);

}  // namespace zelko
