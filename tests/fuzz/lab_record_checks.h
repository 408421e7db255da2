// Checks the lab fuzz targets share: what every record handed to the device models must
// keep, the save-and-load round trip, and serving the blocks the tool sends.
#pragma once

#include "lab/record/state.h"

// The properties every record the device models may be handed keeps.
void require_sound(const bridge_record& record);

// Saves the record and loads the file again: it loads, and saves to the same file.
void require_round_trip(bridge_record& record);

// Serves the command blocks the tool sends (identification, disk, bridge information,
// pins, a restart last) on the record, with its fault rules.
void serve_tool_blocks(bridge_record& record);
