#include "lab/usb/bulk_only.h"

#include <cstring>

#include "zelko/common/bytes.h"
#include "zelko/common/cursor.h"
#include "lab/usb/usb_device.h"

using namespace zelko;

namespace {

constexpr uint8_t k_cbw_flag_in = 0x80;
constexpr uint8_t k_op_request_sense = 0x03;
constexpr size_t k_fixed_sense_len = 18;

std::vector<uint8_t> status_wrapper(uint32_t tag, uint32_t residue, uint8_t status) {
    std::vector<uint8_t> csw(k_csw_len, 0);
    put_le32(&csw[0], k_csw_signature);
    put_le32(&csw[4], tag);
    put_le32(&csw[8], residue);
    csw[12] = status;
    return csw;
}

// The sense a failed command left, in fixed format, as the answer of REQUEST SENSE.
void hand_over_sense(bulk_only_state& state, const block_request& request, block_answer& answer) {
    std::vector<uint8_t> sense(k_fixed_sense_len, 0);
    sense[0] = 0x70;
    sense[2] = state.sense_key;
    sense[7] = k_fixed_sense_len - 8;
    sense[12] = state.sense_asc;
    sense[13] = state.sense_ascq;
    const size_t allocation = request.cdb[4];
    if (allocation < sense.size()) sense.resize(allocation);
    answer.data = std::move(sense);
}

void run_command(bulk_only_state& state, bool data_in, const bot_executor& execute) {
    block_request request;
    request.cdb = state.cdb;
    request.data_in = data_in;
    request.length = state.expected;
    request.data_out = !data_in && state.expected != 0 ? state.received.data() : nullptr;
    block_answer answer;
    execute(request, answer);

    const bool good = answer.os_error == 0 && answer.status == 0;
    if (good && state.cdb[0] == k_op_request_sense && state.sense_pending) hand_over_sense(state, request, answer);
    state.sense_pending = answer.os_error == 0 && answer.status != 0;
    if (state.sense_pending) {
        state.sense_key = answer.sense_key;
        state.sense_asc = answer.sense_asc;
        state.sense_ascq = answer.sense_ascq;
    }

    // A command that failed moves no data: a data-in phase ends with bulk IN halted, and
    // the host then clears the halt and reads the status. A request the lab could not
    // deliver at all (an OS error) is a phase error: the host resets the device.
    const uint8_t status = answer.os_error != 0 ? k_csw_phase_error : good ? k_csw_passed : k_csw_failed;
    uint32_t residue = state.expected;
    if (good && data_in) {
        if (answer.data.size() > state.expected) answer.data.resize(state.expected);
        residue = state.expected - static_cast<uint32_t>(answer.data.size());
        if (state.expected != 0) state.in_items.push_back(std::move(answer.data));
    } else if (good) {
        residue = 0;
    } else if (data_in && state.expected != 0) {
        state.in_halted = true;
    }
    state.in_items.push_back(status_wrapper(state.tag, residue, status));
    state.received.clear();
    state.receiving = false;
}

}  // namespace

bool bot_take_out(bulk_only_state& state, const uint8_t* data, size_t length, const bot_executor& execute) {
    if (state.out_halted) return false;
    if (state.receiving) {
        const size_t wanted = state.expected - state.received.size();
        const size_t taken = length < wanted ? length : wanted;
        state.received.insert(state.received.end(), data, data + taken);
        if (state.received.size() == state.expected) run_command(state, false, execute);
        return true;
    }
    // A wrapper: 31 bytes, its signature, LUN 0, a command block of 1 to 16 bytes.
    read_cursor cbw(data, length);
    const uint32_t signature = cbw.le32();
    const uint32_t tag = cbw.le32();
    const uint32_t expected = cbw.le32();
    const uint8_t flags = cbw.u8();
    const uint8_t lun = cbw.u8();
    const uint8_t cdb_length = cbw.u8();
    const bool valid = length == k_cbw_len && cbw.ok() && signature == k_cbw_signature && lun == 0 && cdb_length >= 1 &&
                       cdb_length <= sizeof state.cdb;
    if (!valid || !state.in_items.empty()) {
        state.in_halted = true;
        state.out_halted = true;
        return false;
    }
    state.tag = tag;
    state.expected = expected;
    std::memset(state.cdb, 0, sizeof state.cdb);
    for (uint8_t i = 0; i < cdb_length; ++i) state.cdb[i] = cbw.u8();
    const bool data_in = (flags & k_cbw_flag_in) != 0;
    if (!data_in && state.expected != 0) {
        state.receiving = true;
        state.received.clear();
        state.received.reserve(state.expected);
        return true;
    }
    run_command(state, data_in, execute);
    return true;
}

bot_in_reply bot_next_in(bulk_only_state& state, uint32_t max_length, std::vector<uint8_t>* data) {
    if (state.in_halted) return bot_in_reply::stall;
    if (state.in_items.empty()) return bot_in_reply::wait;
    std::vector<uint8_t>& item = state.in_items.front();
    if (item.size() <= max_length) {
        *data = std::move(item);
        state.in_items.pop_front();
    } else {
        data->assign(item.begin(), item.begin() + max_length);
        item.erase(item.begin(), item.begin() + max_length);
    }
    return bot_in_reply::data;
}

void bot_reset(bulk_only_state& state) {
    state.receiving = false;
    state.received.clear();
    state.in_items.clear();
}

void bot_clear_halt(bulk_only_state& state, uint8_t endpoint) {
    if (endpoint == k_usb_ep_bulk_in) state.in_halted = false;
    if (endpoint == k_usb_ep_bulk_out) state.out_halted = false;
}
