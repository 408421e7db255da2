// The commands that find and describe bridges: scan, dev_scan and query.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_scan(command_context& ctx);
void cmd_dev_scan(command_context& ctx);
void cmd_query(command_context& ctx);

}  // namespace zelko
