// The RAID mode of a bridge that joins two disks: 0xD2 reads the mode in force, 0x52
// stores a new one (byte 5, with 'R' 'A' 'I' 'D' in bytes 8 to 11) that the next restart
// puts in force (restart.cpp). A single-disk bridge's firmware has no RAID commands and
// answers both with 05/20/00, as for any block it does not know.
#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr uint32_t k_raid_mode_len = 1;
constexpr uint32_t k_raid_key = 0x44494152u;  // 'R' 'A' 'I' 'D', little-endian
constexpr uint8_t k_max_raid_mode = 2;        // JBOD 0, RAID0 1, RAID1 2
constexpr int k_byte_mode = 5;

bool joins_two_disks(const bridge_record& record) { return record.params.disks >= 2; }

}  // namespace

void handle_raid_get(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!joins_two_disks(record)) {
        answer_invalid_opcode(answer);
        return;
    }
    if (!vendor_length_is(request, k_raid_mode_len) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(1, static_cast<uint8_t>(record.state.raid_mode));
}

void handle_raid_set(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!joins_two_disks(record)) {
        answer_invalid_opcode(answer);
        return;
    }
    const uint8_t mode = request.cdb[k_byte_mode];
    if (request.length != 0 || vendor_length_field(request) != 0 || vendor_address_field(request) != k_raid_key ||
        mode > k_max_raid_mode) {
        answer_invalid_field(answer);
        return;
    }
    record.state.raid_pending = mode;
    record.dirty = true;
}
