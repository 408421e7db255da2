// Reading the PG record from the bridge: the whole record, one fixed-size value, the
// serial number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/pg/pg_record.h"

ZELKO_API_BEGIN
namespace zelko {

// The block that reads the PG sector through its flash read window.
cdb16 pg_sector_read_cdb();

// Reads the PG sector and hands back up to `length` bytes of its record (2048 at most).
cmd_status read_pg_record(bridge_dev* dev, uint8_t* out, size_t length);

// Reads the record and copies the data of `tag`'s first entry into `out` (`width` bytes,
// zeroed first; an absent tag leaves them zero). -1 for an invalid record or data wider
// than `width`.
cmd_status get_pg_value(bridge_dev* dev, uint8_t tag, void* out, size_t width);

// Reads the serial number (tag 7) as ASCII: the low byte of each character. `out` holds
// capacity + 1 bytes and always ends with a zero; a serial of more than `capacity`
// characters keeps the first `capacity` and gives -2. A failed read leaves `out` as it was.
cmd_status get_pg_serial(bridge_dev* dev, char* out, size_t capacity);

}  // namespace zelko
ZELKO_API_END
