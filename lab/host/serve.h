// One request served on a loaded device record: its fault rules first, then the
// device model's table of handled blocks.
#pragma once

#include <string>

#include "lab/model/block.h"

void serve_request(bridge_record& record, const block_request& request, block_answer& answer);

// The trace line of one request attempt on the device named `name`: its command block,
// direction and length, the SCSI status and OS error it ended with and, for data out, the
// first bytes it carried.
std::string trace_cmd_line(const std::string& name, const uint8_t* cdb, bool data_in, uint32_t length, int scsi_status,
                           int os_error, const uint8_t* data_out);
