// The table of command blocks the emulated devices handle (block_table.cpp).
#pragma once

#include <cstdint>
#include <span>

#include "lab/model/block.h"

// A device behaviour: reads the request, may change the record (then it sets
// record.dirty so that the change is saved), and fills the answer: data-in bytes, or a
// SCSI status with sense, or an OS error. It never sees a block of another row.
using block_handler = void (*)(bridge_record& record, const block_request& request, block_answer& answer);

constexpr int16_t k_any_sub = -1;

// Data phase a row accepts; another direction is answered with 05/24/00.
enum class data_dir : uint8_t { in, out, none, any };

// Which devices serve a row.
constexpr uint8_t k_serves_bridge = 1;
constexpr uint8_t k_serves_foreign = 2;

struct handled_block {
    uint8_t opcode;  // byte 0
    int16_t sub;     // byte 4 (the vendor sub-command), or k_any_sub
    data_dir dir;
    const char* name;
    block_handler handler;
    int8_t also_byte = -1;  // a further byte that must hold `also_value`, or -1
    uint8_t also_value = 0;
    uint8_t serves = k_serves_bridge;
};

std::span<const handled_block> handled_blocks();

// The row that handles this command block on a device of `kind`, or null.
const handled_block* find_handled_block(const uint8_t* cdb, uint32_t kind);

// Runs a command block on the device: the transfer-length limit, the row's direction,
// then its handler; a block no row handles gets 05/20/00.
void serve_block(bridge_record& record, const block_request& request, block_answer& answer);
