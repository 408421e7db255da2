// The bridge's LED function blocks (0xCC reads, 0x4C writes, byte 5 the function):
// application control (01), the LED memory (02), direct RGB frames (03), sync-ecosystem
// support (04) and ARGB support (05). The plain READ(10) the host sends after moving the
// LED memory is a read of the disk's media (scsi_disk.cpp).
//
// A bridge without an ARGB string answers its support query with 0 and refuses every
// other LED block with 05/24/00. Blocks whose length field differs from their data phase,
// that reach outside the LED memory, or that carry an unknown parameter are refused with
// 05/24/00.
#include "zelko/common/bytes.h"
#include "lab/model/led/led_memory.h"
#include "lab/record/storage.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr int k_byte_param = 6;  // enable, sync method or ecosystem
constexpr int k_byte_count = 8;  // LEDs of a direct frame
constexpr uint8_t k_ecosystems = 1 | 2 | 4;

// READ(10): logical block address in bytes 2-5 (big-endian), block count in bytes 7-8.

void answer_byte(block_answer& answer, uint32_t value) { answer.data.assign(1, static_cast<uint8_t>(value)); }

bool argb_refused(const bridge_record& record, block_answer& answer) {
    if (record.led.argb != 0) return false;
    answer_invalid_field(answer);
    return true;
}

// A one-byte block with no address.
bool single_byte(const block_request& request) {
    return vendor_length_is(request, 1) && vendor_address_field(request) == 0;
}

}  // namespace

void handle_led_app_ctl_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (argb_refused(record, answer)) return;
    if (!single_byte(request)) return answer_invalid_field(answer);
    answer_byte(answer, record.led.app_ctl);
}

void handle_led_app_ctl_write(bridge_record& record, const block_request& request, block_answer& answer) {
    if (argb_refused(record, answer)) return;
    const uint8_t enable = request.cdb[k_byte_param];
    if (!single_byte(request) || enable > 1) return answer_invalid_field(answer);
    record.led.app_ctl = enable;
    record.dirty = true;
}

void handle_led_memory_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (argb_refused(record, answer)) return;
    const uint32_t offset = vendor_address_field(request);
    answer.data.resize(request.length);
    if (request.length == 0 || !vendor_length_is(request, request.length) ||
        !memory_read(record, lab_memory::led, offset, answer.data.data(), request.length)) {
        answer.data.clear();
        return answer_invalid_field(answer);
    }
}

void handle_led_memory_write(bridge_record& record, const block_request& request, block_answer& answer) {
    if (argb_refused(record, answer)) return;
    const uint32_t offset = vendor_address_field(request);
    if (request.length == 0 || !vendor_length_is(request, request.length) ||
        !memory_write(record, lab_memory::led, offset, request.data_out, request.length)) {
        return answer_invalid_field(answer);
    }
}

// The frame shows on the string at once; the bridge keeps the last one (and its sync
// method) until the next.
void handle_led_direct(bridge_record& record, const block_request& request, block_answer& answer) {
    if (argb_refused(record, answer)) return;
    const uint32_t count = get_le32(request.cdb + k_byte_count);
    if (count > k_lab_led_max_count || !vendor_length_is(request, 3 * count)) return answer_invalid_field(answer);
    record.led.direct.assign(request.data_out, request.data_out + request.length);
    record.led.direct_sync = request.cdb[k_byte_param];
    record.dirty = true;
}

void handle_led_sync_support(bridge_record& record, const block_request& request, block_answer& answer) {
    if (argb_refused(record, answer)) return;
    const uint8_t ecosystem = request.cdb[k_byte_param];
    if (!single_byte(request) || (ecosystem != 1 && ecosystem != 2 && ecosystem != 4)) {
        return answer_invalid_field(answer);
    }
    answer_byte(answer, (record.led.sync & k_ecosystems & ecosystem) != 0 ? 1 : 0);
}

void handle_led_argb_support(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!single_byte(request)) return answer_invalid_field(answer);
    answer_byte(answer, record.led.argb != 0 ? 1 : 0);
}
