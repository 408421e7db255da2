// Writing the bridge's flash and the PG record: the two-step flash write, the commit of
// a record with read-back check, and the edits of one value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/pg/pg_record.h"

ZELKO_API_BEGIN
namespace zelko {

// Sub-commands of the flash write (E3).
constexpr uint8_t k_sub_flash_address = 0x10;
constexpr uint8_t k_sub_flash_data = 0x11;
constexpr size_t k_flash_write_unit = 4096;
// Writes of one commit: the first and three retries after a read-back mismatch.
constexpr int k_commit_attempts = 4;
// Longest serial number: its descriptor must fit the tag's 62 character bytes.
constexpr size_t k_serial_max_chars = 30;
constexpr size_t k_serial_descriptor_capacity = 62;

// Command block builders (no I/O).
cdb16 flash_address_cdb(uint32_t address);
cdb16 flash_data_cdb(uint32_t length);

// Sets the flash address, then writes `length` bytes (a nonzero multiple of 4096; -1
// with nothing sent otherwise). The data block is sent only when the address was taken.
cmd_status flash_write(bridge_dev* dev, uint32_t address, const uint8_t* data, size_t length);

// Writes `record` (2048 bytes) into the PG sector, keeping the sector's boot header half
// as read, and reads it back; a mismatch is written again up to three times, then -1.
cmd_status commit_pg_record(bridge_dev* dev, const uint8_t* record, size_t length);

// Reads the record, replaces `tag`'s entry by one at the end of the record, commits.
cmd_status set_pg_value(bridge_dev* dev, uint8_t tag, const void* value, size_t size);

// Writes the serial number (at most 30 characters; -1 with nothing sent otherwise).
cmd_status set_pg_serial(bridge_dev* dev, const char* text, size_t length);

}  // namespace zelko
ZELKO_API_END
