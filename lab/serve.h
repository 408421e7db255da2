// One request served on a loaded device record: its fault rules first, then the
// device model's table of handled blocks.
#pragma once

#include "lab/model/block.h"

void serve_request(bridge_record& record, const block_request& request, block_answer& answer);
