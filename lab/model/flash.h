// The bridge flash as its write commands and `show NAME pg` see it.
#pragma once

#include <string>

#include "lab/state.h"

// The PG record in the PG sector as the device walks it: one line per entry (offset in
// the record, tag, its name, its data bytes, descriptor and SCSI texts in quotes), then
// the offset where it ends.
std::string pg_record_text(bridge_record& record);
