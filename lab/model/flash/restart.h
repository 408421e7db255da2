// The bridge's restart, for the restart command's handler and the `restart` verb.
//
// bridge_restart takes the bridge away as a restart does: its handles go stale (they
// belong to the previous boot), volatile settings return to their power-on values
// (transfer flag 1, registers written since boot forgotten, disk speed 0, read/write
// mode 0, the pins' settings as pins_power_on leaves them), a RAID mode set since the
// last boot comes in force, and opens fail for `restart_delay_ms` of lab time. Then it
// answers again, under `restart_name` when that is set, else under its own name. With
// `restart_never` set it never comes back (until `set NAME offline_until_ms 0`). The lab
// port notices the new boot after the request: it writes a "#" line to the trace and
// moves the bridge's name.
#pragma once

#include <cstdint>

#include "lab/record/state.h"

void bridge_restart(bridge_record& record, int64_t now_ms);

// True when the bridge answers at lab time `now_ms`.
bool bridge_online(const bridge_record& record, int64_t now_ms);
