// The printed forms of PCIe dumps and of SATA SMART data. Both print to the stream the
// caller passes (the tool passes stdout), only while the report level is 0 or more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// SMART READ DATA: the version in bytes 0 and 1, then 30 attribute slots of 12 bytes.
constexpr size_t k_smart_version = 0;
constexpr size_t k_smart_first_slot = 2;
constexpr size_t k_smart_slot_size = 12;
constexpr size_t k_smart_slots = 30;
// Fields of a slot.
constexpr size_t k_smart_slot_id = 0;  // 0: an empty slot
constexpr size_t k_smart_slot_current = 3;
constexpr size_t k_smart_slot_worst = 4;
constexpr size_t k_smart_slot_raw = 5;         // 32 bits, little-endian
constexpr size_t k_smart_slot_threshold = 11;  // shown in the threshold column

// Bytes as hex pairs, sixteen to a line: a pair ends its line after every sixteenth byte
// and is followed by a space otherwise; one more line end after the last byte.
// Reads `length` bytes at `data`.
void print_hex_dump(std::FILE* out, const uint8_t* data, size_t length);

// The version line, the column header and one row per attribute slot in use. Slots
// beyond the end of `data` are not shown.
// Reads at most `length` bytes at `data` (a whole block is 512 bytes).
void smart_table_print(std::FILE* out, const uint8_t* data, size_t length);

}  // namespace zelko
ZELKO_API_END
