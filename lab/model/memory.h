// The bridge's address space as its memory and register commands see it.
#pragma once

#include <cstdint>

#include "lab/record/state.h"

#include "lab/model/block.h"
#include "lab/record/storage.h"

// Serve a read or write of `length` bytes at `offset` of one of the bridge's memories:
// a range outside the memory is refused with 05/24/00, a read the lab cannot make with
// 03/11/00 (unrecovered read error), a write with 03/0C/00 (write error).
void answer_memory_read(bridge_record& record, lab_memory which, uint64_t offset, uint32_t length,
                        block_answer& answer);
void answer_memory_write(bridge_record& record, lab_memory which, uint64_t offset, const uint8_t* data, uint32_t length,
                         block_answer& answer);

// The value a register of the bridge's register block reads now (`offset` from the
// block's base): chip identity and version from the bridge's identity, values written
// since the last restart, else the register's power-on value.
uint32_t bridge_register_value(const bridge_record& record, uint32_t offset);
