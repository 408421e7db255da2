// The standard block commands a host's storage stack sends on its own before any tool
// runs: TEST UNIT READY, READ CAPACITY(10)/(16), READ and WRITE (10)/(16) on the disk's
// media, MODE SENSE(6)/(10) with the caching page, REQUEST SENSE, START STOP UNIT,
// PREVENT ALLOW MEDIUM REMOVAL and SYNCHRONIZE CACHE. The bridge presents the disk
// behind it as 512-byte blocks; a bridge without a disk reports no medium (02/3A/00).
#include <algorithm>

#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"
#include "lab/model/memory.h"

using namespace zelko;

namespace {

constexpr uint32_t k_block_size = static_cast<uint32_t>(k_media_sector_size);

constexpr uint8_t k_op_read10 = 0x28;
constexpr uint8_t k_op_write10 = 0x2A;
constexpr uint8_t k_op_mode_sense6 = 0x1A;

constexpr uint32_t k_capacity10_len = 8;
constexpr uint32_t k_capacity16_len = 32;
constexpr uint32_t k_sense_len = 18;

// MODE SENSE fields: page control in bits 7:6 of byte 2, page code in bits 5:0.
constexpr uint8_t k_page_caching = 0x08;
constexpr uint8_t k_page_all = 0x3F;
constexpr uint8_t k_pc_changeable = 1;
constexpr uint8_t k_pc_saved = 3;
constexpr uint8_t k_caching_page_len = 20;
constexpr uint8_t k_caching_wce = 0x04;  // write cache enabled: SYNCHRONIZE CACHE flushes it
constexpr uint8_t k_request_sense_desc = 0x01;

bool has_medium(const bridge_record& record) {
    return record.disk.kind != k_disk_none && record.disk.capacity_sectors > 0;
}

// True when the disk is there; else the answer says no medium.
bool medium_ready(const bridge_record& record, block_answer& answer) {
    if (has_medium(record)) return true;
    answer_no_disk(answer);
    return false;
}

uint64_t block_count(const bridge_record& record) { return static_cast<uint64_t>(record.disk.capacity_sectors); }

struct media_range {
    uint64_t lba = 0;
    uint32_t blocks = 0;
};

// The logical block address and block count of a READ or WRITE, 10 or 16 bytes long.
media_range range_of(const block_request& request) {
    const uint8_t* cdb = request.cdb;
    if (cdb[0] == k_op_read10 || cdb[0] == k_op_write10) return {get_be32(cdb + 2), get_be16(cdb + 7)};
    return {get_be64(cdb + 2), get_be32(cdb + 10)};
}

// Checks a media transfer: the disk is there, the range lies on it (05/21/00 otherwise),
// and the data phase carries exactly its blocks in the block's direction (05/24/00).
bool media_transfer_ok(const bridge_record& record, const block_request& request, bool data_in, media_range* range,
                       block_answer& answer) {
    if (!medium_ready(record, answer)) return false;
    *range = range_of(request);
    const uint64_t count = block_count(record);
    if (range->lba >= count || range->blocks > count - range->lba) {
        answer_check(answer, 0x05, 0x21, 0x00);
        return false;
    }
    const uint64_t bytes = uint64_t{range->blocks} * k_block_size;
    if (bytes != request.length || (bytes != 0 && request.data_in != data_in)) {
        answer_invalid_field(answer);
        return false;
    }
    return true;
}

void trim_to(std::vector<uint8_t>& data, uint32_t allocation) {
    if (allocation < data.size()) data.resize(allocation);
}

// The caching mode page as the page control asks for it: changeable values are none.
std::vector<uint8_t> caching_page(uint8_t page_control) {
    std::vector<uint8_t> page(k_caching_page_len, 0);
    page[0] = k_page_caching;
    page[1] = k_caching_page_len - 2;
    if (page_control != k_pc_changeable) page[2] = k_caching_wce;
    return page;
}

}  // namespace

void handle_test_unit_ready(bridge_record& record, const block_request&, block_answer& answer) {
    medium_ready(record, answer);
}

void handle_read_capacity10(bridge_record& record, const block_request&, block_answer& answer) {
    if (!medium_ready(record, answer)) return;
    // A disk of more blocks than 32 bits count reports FFFFFFFFh: the host asks again
    // with READ CAPACITY(16).
    const uint64_t last = block_count(record) - 1;
    answer.data.assign(k_capacity10_len, 0);
    put_be32(&answer.data[0], static_cast<uint32_t>(std::min<uint64_t>(last, 0xFFFFFFFFu)));
    put_be32(&answer.data[4], k_block_size);
}

void handle_read_capacity16(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!medium_ready(record, answer)) return;
    answer.data.assign(k_capacity16_len, 0);
    put_be64(&answer.data[0], block_count(record) - 1);
    put_be32(&answer.data[8], k_block_size);
    trim_to(answer.data, get_be32(request.cdb + 10));
}

void handle_media_read(bridge_record& record, const block_request& request, block_answer& answer) {
    media_range range;
    if (!media_transfer_ok(record, request, true, &range, answer) || range.blocks == 0) return;
    answer_memory_read(record, lab_memory::media, range.lba * k_block_size, request.length, answer);
}

void handle_media_write(bridge_record& record, const block_request& request, block_answer& answer) {
    media_range range;
    if (!media_transfer_ok(record, request, false, &range, answer) || range.blocks == 0) return;
    answer_memory_write(record, lab_memory::media, range.lba * k_block_size, request.data_out, request.length, answer);
}

// MODE SENSE(6) and (10): a header without block descriptors, then the caching page
// (asked for by its code or as "all pages"). Saved values are not kept (05/39/00).
void handle_mode_sense(bridge_record&, const block_request& request, block_answer& answer) {
    const uint8_t* cdb = request.cdb;
    const bool six = cdb[0] == k_op_mode_sense6;
    const uint8_t page_code = cdb[2] & 0x3F;
    const uint8_t page_control = cdb[2] >> 6;
    const uint8_t subpage = cdb[3];
    if (page_control == k_pc_saved) {
        answer_check(answer, 0x05, 0x39, 0x00);
        return;
    }
    const bool all = page_code == k_page_all && (subpage == 0 || subpage == 0xFF);
    if (!all && (page_code != k_page_caching || subpage != 0)) {
        answer_invalid_field(answer);
        return;
    }
    const std::vector<uint8_t> page = caching_page(page_control);
    const size_t header_len = six ? 4 : 8;
    std::vector<uint8_t> data(header_len, 0);
    data.insert(data.end(), page.begin(), page.end());
    // The mode data length counts the bytes after itself; no block descriptors follow
    // the header (its last byte, or two, is their length: 0).
    if (six) {
        data[0] = static_cast<uint8_t>(data.size() - 1);
    } else {
        put_be16(&data[0], static_cast<uint16_t>(data.size() - 2));
    }
    trim_to(data, six ? cdb[4] : get_be16(cdb + 7));
    answer.data = std::move(data);
}

// REQUEST SENSE: fixed-format sense of the unit's present condition: no medium on a
// bridge without a disk, else no sense. (The sense of a command that failed travels with
// its own answer.) Descriptor-format sense is not served.
void handle_request_sense(bridge_record& record, const block_request& request, block_answer& answer) {
    if ((request.cdb[1] & k_request_sense_desc) != 0) {
        answer_invalid_field(answer);
        return;
    }
    std::vector<uint8_t> sense(k_sense_len, 0);
    sense[0] = 0x70;
    sense[7] = k_sense_len - 8;
    if (!has_medium(record)) {
        sense[2] = 0x02;
        sense[12] = 0x3A;
    }
    trim_to(sense, request.cdb[4]);
    answer.data = std::move(sense);
}

// START STOP UNIT and PREVENT ALLOW MEDIUM REMOVAL: the disk behind a bridge neither
// spins down nor ejects on the host's word; both are accepted.
void handle_accept(bridge_record&, const block_request&, block_answer&) {}

void handle_synchronize_cache(bridge_record& record, const block_request&, block_answer& answer) {
    medium_ready(record, answer);
}
