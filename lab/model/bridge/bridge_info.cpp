// The bridge's information and control blocks: the UUID (0xC3, and 0x96 at a flash
// offset), the customer page (0x44 write, 0xC4 read), the firmware version (0xA5), the
// restart (0x30), the disk link speed (0x4D, 0xCD), the read/write mode it reports to
// the host (0x4F, 0xCF) and the 128-byte status block (0xB5).
//
// A block whose length field differs from its data phase, or that carries a parameter
// the bridge does not know, is refused with 05/24/00; a restart whose data is not the
// four zero bytes it expects with 05/26/00 (invalid field in parameter list).

#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"
#include "lab/model/bridge/identity.h"
#include "lab/model/memory.h"
#include "lab/model/flash/restart.h"

using namespace zelko;

namespace {

constexpr uint32_t k_uuid_len = 4;
constexpr uint32_t k_fw_version_len = 20;
constexpr uint32_t k_restart_len = 4;
constexpr uint32_t k_disk_speed_len = 2;
constexpr uint32_t k_rw_mode_len = 1;
constexpr uint32_t k_status_block_len = 128;

// The UUID area the by-offset read reaches: 2048 bytes of flash (lab/record/storage.h), whose
// word at the generation's offset always holds the bridge's UUID.
constexpr uint32_t k_uuid_area_offset[2] = {0xFC, 0x7FC};

// Restart types the firmware knows; each one restarts the bridge.
constexpr uint8_t k_max_restart_type = 2;

// Disk link speeds: 0 lets the link train as fast as it can, 1 to 3 cap it at that
// link generation.
constexpr uint8_t k_max_disk_speed = 3;

// Read/write modes the bridge can report: normal, write protection, format.
constexpr uint8_t k_max_rw_mode = 2;

// Words of the status block.
constexpr uint32_t k_status_usb_speed = 20;
constexpr uint32_t k_status_ips_threshold = 64;

// Byte 5 of the restart block and byte 6 of the disk speed and read/write mode blocks.
constexpr int k_byte_restart_type = 5;
constexpr int k_byte_setting = 6;

int generation_of(const bridge_record& record) {
    return lab_generation_of_revision(record.params.revision) == 0 ? 0 : 1;
}

// A block whose data phase and length field are both `length` bytes, with no address
// or parameter.
bool plain_block(const block_request& request, uint32_t length) {
    return vendor_length_is(request, length) && vendor_address_field(request) == 0;
}

// A setting block with no data phase and nothing in the address or length fields.
bool plain_setting(const block_request& request) {
    return request.length == 0 && vendor_length_field(request) == 0 && vendor_address_field(request) == 0;
}

}  // namespace

void handle_uuid(bridge_record& record, const block_request& request, block_answer& answer) {
    if (record.params.uuid_cmd == 0) {
        answer_invalid_opcode(answer);
        return;
    }
    if (!plain_block(request, k_uuid_len)) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.resize(k_uuid_len);
    put_le32(answer.data.data(), record.params.uuid);
}

void handle_uuid_by_offset(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t offset = vendor_address_field(request);
    const uint32_t length = request.length;
    if (length == 0 || vendor_length_field(request) != length || length > k_uuid_area_size ||
        offset > k_uuid_area_size - length) {
        answer_invalid_field(answer);
        return;
    }
    answer_memory_read(record, lab_memory::flash, k_flash_uuid_area, k_uuid_area_size, answer);
    if (answer.status != 0) return;
    put_le32(answer.data.data() + k_uuid_area_offset[generation_of(record)], record.params.uuid);
    answer.data.erase(answer.data.begin(), answer.data.begin() + offset);
    answer.data.resize(length);
}

void handle_cust_page_write(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_cust_page_size)) {
        answer_invalid_field(answer);
        return;
    }
    answer_memory_write(record, lab_memory::flash, k_flash_cust_page, request.data_out, k_cust_page_size, answer);
}

void handle_cust_page_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_cust_page_size)) {
        answer_invalid_field(answer);
        return;
    }
    answer_memory_read(record, lab_memory::flash, k_flash_cust_page, k_cust_page_size, answer);
}

void handle_fw_version(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_fw_version_len)) {
        answer_invalid_field(answer);
        return;
    }
    const bridge_params& p = record.params;
    answer.data.resize(k_fw_version_len);
    const uint32_t words[] = {p.fw_major, p.fw_minor, p.fw_patch, p.fw_reserved, p.fw_build_date};
    for (size_t i = 0; i < 5; ++i) put_le32(&answer.data[4 * i], words[i]);
}

void handle_restart(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_restart_len) || request.cdb[k_byte_restart_type] > k_max_restart_type) {
        answer_invalid_field(answer);
        return;
    }
    for (uint32_t i = 0; i < k_restart_len; ++i) {
        if (request.data_out[i] != 0) {
            answer_check(answer, 0x05, 0x26, 0x00);
            return;
        }
    }
    bridge_restart(record, request.now_ms);
}

// A speed above what the link can train to is refused: the bridge cannot do it.
void handle_disk_speed_write(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t speed = request.cdb[k_byte_setting];
    if (!plain_setting(request) || speed > k_max_disk_speed || speed > record.params.disk_speed_max) {
        answer_invalid_field(answer);
        return;
    }
    record.state.disk_speed = speed;
    record.dirty = true;
}

// Byte 0: the link generation the disk runs at now (0 without a disk); byte 1: the
// fastest it can train to.
void handle_disk_speed_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_disk_speed_len)) {
        answer_invalid_field(answer);
        return;
    }
    const uint32_t fastest = record.params.disk_speed_max;
    uint32_t now = record.state.disk_speed == 0 ? fastest : record.state.disk_speed;
    if (record.disk.kind == k_disk_none) now = 0;
    answer.data = {static_cast<uint8_t>(now), static_cast<uint8_t>(fastest)};
}

void handle_rw_mode_write(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t mode = request.cdb[k_byte_setting];
    if (!plain_setting(request) || mode > k_max_rw_mode) {
        answer_invalid_field(answer);
        return;
    }
    record.state.rw_mode = mode;
    record.dirty = true;
}

void handle_rw_mode_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_rw_mode_len)) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(1, static_cast<uint8_t>(record.state.rw_mode));
}

void handle_status_block(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!plain_block(request, k_status_block_len)) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(k_status_block_len, 0);
    put_le32(&answer.data[k_status_usb_speed], record.params.usb_speed);
    put_le32(&answer.data[k_status_ips_threshold], record.params.ips_threshold);
}
