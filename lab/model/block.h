// What a device behaviour sees of one command block, and the answer it fills.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lab/record/state.h"

struct block_request {
    const uint8_t* cdb = nullptr;       // the 16-byte command block
    bool data_in = false;               // direction of the data phase
    uint32_t length = 0;                // data phase length
    const uint8_t* data_out = nullptr;  // `length` bytes from the host when !data_in
    bool cdrom_view = false;            // reached through the bridge's CD-ROM volume name
    int64_t now_ms = 0;                 // lab time
    int64_t host = 0;                   // the requesting process's id; 0 when unknown
};

struct block_answer {
    std::vector<uint8_t> data;  // data-in bytes; at most `length` reach the host
    uint8_t status = 0;         // SCSI status; 2 with the sense below
    uint8_t sense_key = 0;
    uint8_t sense_asc = 0;
    uint8_t sense_ascq = 0;
    int os_error = 0;  // nonzero: the request fails with this OS error
    std::string note;  // an event of the device worth a trace line ("# NOTE"), or empty
};

// CHECK CONDITION with fixed-format sense; no data reaches the host.
void answer_check(block_answer& answer, uint8_t key, uint8_t asc, uint8_t ascq);
// ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE (05/20/00).
void answer_invalid_opcode(block_answer& answer);
// ILLEGAL REQUEST, INVALID FIELD IN CDB (05/24/00).
void answer_invalid_field(block_answer& answer);
// NOT READY, MEDIUM NOT PRESENT (02/3A/00): no disk behind the bridge.
void answer_no_disk(block_answer& answer);

// The data-length field of a vendor command block (bytes 12 to 15) and its address or
// parameter field (bytes 8 to 11).
uint32_t vendor_length_field(const block_request& request);
uint32_t vendor_address_field(const block_request& request);
// True when a vendor block's data-length field equals its data phase and that is
// `expected` bytes.
bool vendor_length_is(const block_request& request, uint32_t expected);
