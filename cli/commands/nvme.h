// Commands that reach the NVMe disk behind the bridge: the bridge's NVMe-side settings,
// Identify, health logs, temperature threshold, power states and the write/read-back test.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_nvme_cmd_timeout(command_context& ctx);
void cmd_nvme_get_id(command_context& ctx);
void cmd_nvme_get_smart_log(command_context& ctx);
void cmd_nvme_get_log(command_context& ctx);
void cmd_nvme_get_temp_thres(command_context& ctx);
void cmd_nvme_rw_test(command_context& ctx);
void cmd_nvme_aspm_dis(command_context& ctx);
void cmd_nvme_pws(command_context& ctx);
void cmd_nvme_lowpw_dis(command_context& ctx);

// Maintenance (maintenance_cli.cpp): firmware download and commit, format, sanitize.
void cmd_nvme_fw_download(command_context& ctx);
void cmd_nvme_fw_activate(command_context& ctx);
void cmd_nvme_format(command_context& ctx);
void cmd_nvme_sanitize(command_context& ctx);

}  // namespace zelko
