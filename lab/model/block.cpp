#include "lab/model/block.h"

#include "zelko/common/bytes.h"

using namespace zelko;

void answer_check(block_answer& answer, uint8_t key, uint8_t asc, uint8_t ascq) {
    answer.data.clear();
    answer.status = 2;
    answer.sense_key = key;
    answer.sense_asc = asc;
    answer.sense_ascq = ascq;
}

void answer_invalid_opcode(block_answer& answer) { answer_check(answer, 0x05, 0x20, 0x00); }

void answer_invalid_field(block_answer& answer) { answer_check(answer, 0x05, 0x24, 0x00); }

void answer_no_disk(block_answer& answer) { answer_check(answer, 0x02, 0x3A, 0x00); }

uint32_t vendor_length_field(const block_request& request) { return get_le32(request.cdb + 12); }

uint32_t vendor_address_field(const block_request& request) { return get_le32(request.cdb + 8); }

bool vendor_length_is(const block_request& request, uint32_t expected) {
    return request.length == expected && vendor_length_field(request) == expected;
}
