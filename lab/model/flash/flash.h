// The bridge flash as its write commands and `show NAME pg` see it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lab/record/state.h"

// One entry of the PG record: its offset in the record, its tag and its data bytes.
struct pg_entry {
    size_t offset = 0;
    uint8_t tag = 0;
    std::vector<uint8_t> data;
};

// The PG record walked as the device walks it, up to its end tag. A walk that meets an
// entry running past the record, or a tag above 54 without its zero byte, stops there:
// `broken` is set and `end` is that entry's offset, `broken_tag` its tag.
struct pg_walk {
    bool readable = true;
    std::vector<pg_entry> entries;
    size_t end = 0;
    bool broken = false;
    uint8_t broken_tag = 0;
};
pg_walk walk_pg_record(bridge_record& record);

// The data of the first entry with `tag` in a walk, or null.
const std::vector<uint8_t>* pg_entry_data(const pg_walk& walk, uint8_t tag);

// The PG record in the PG sector as the device walks it: one line per entry (offset in
// the record, tag, its name, its data bytes, descriptor and SCSI texts in quotes), then
// the offset where it ends.
std::string pg_record_text(bridge_record& record);
