// Commands that ask the bridge about itself and change its own behaviour: versions,
// UUID, customer page, restart, disk speed, read/write mode, USB speed, IPS threshold
// and disk hot-plug.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_get_api_ver(command_context& ctx);
void cmd_get_uuid(command_context& ctx);
void cmd_set_cust_page(command_context& ctx);
void cmd_get_cust_page(command_context& ctx);
void cmd_fw_ver(command_context& ctx);
void cmd_fw_restart(command_context& ctx);
void cmd_set_disk_speed(command_context& ctx);
void cmd_get_disk_speed(command_context& ctx);
void cmd_set_bridge_rw_md(command_context& ctx);
void cmd_get_bridge_rw_md(command_context& ctx);
void cmd_get_usb_speed(command_context& ctx);
void cmd_get_ips_threshold(command_context& ctx);
void cmd_set_disk_hotplug_dis(command_context& ctx);

}  // namespace zelko
