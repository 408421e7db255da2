// Saving a record after a request or verb, and what follows a bridge's restart in the lab
// directory: its name moves to the name it comes back under.
#pragma once

#include <cstdint>
#include <string>

#include "lab/record/state.h"

// Saves `record` (when dirty) after a request or verb that found it with `old_name` and
// boot `old_boot`; the caller holds the record's lock. When the bridge came back under a
// new name, that name is made to lead to it and the old name no longer does; a new name
// already taken by another device is refused and the bridge keeps its old name.
//
// The move survives a process killed at any point: the new name's file is written first
// (it leads nowhere while the record still answers to the old name), then the record is
// saved in one atomic step, which is the moment the bridge changes names, and only then
// is the old name's file removed (a name whose record answers to another name leads
// nowhere). Either the old name or the new one reaches the bridge at every moment.
//
// `note` receives the trace comment telling what a restart did ("" when there was none).
bool lab_commit_record(const std::string& dir, bridge_record& record, const std::string& old_name, uint32_t old_boot,
                       std::string* note, std::string* error);
