// Commands of the PCIe function behind the bridge and of a SATA disk's ATA commands.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_pcie_read_conf(command_context& ctx);
void cmd_pcie_write_conf(command_context& ctx);
void cmd_pcie_read_mem(command_context& ctx);
void cmd_pcie_write_mem(command_context& ctx);
void cmd_pcie_get_link_status(command_context& ctx);
void cmd_pcie_get_link_cap(command_context& ctx);
void cmd_ata_get_smart_log(command_context& ctx);
void cmd_ata_set_feature(command_context& ctx);

}  // namespace zelko
