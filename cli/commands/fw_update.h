// The fwupdate command: checks the bridge's UUID, hands the bridge over to the update
// and shows its progress on a second thread.
#pragma once

#include "cli/command.h"

namespace zelko {

void cmd_fwupdate(command_context& ctx);

}  // namespace zelko
