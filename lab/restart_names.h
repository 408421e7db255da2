// What follows a bridge's restart in the lab directory: its name moves to the name it
// comes back under.
#pragma once

#include <string>

#include "lab/state.h"

// Call after a request or verb restarted `record` (its boot count went up) and the
// record was saved. When the bridge comes back under a new name, that name is made to
// lead to it and the old name no longer does; a new name already taken by another
// device is refused and the bridge keeps its old name (the record is saved again).
// Returns the trace comment that tells what happened.
std::string lab_settle_restart(const std::string& dir, bridge_record& record, const std::string& old_name);
