// The transfer flag (0xCB read, 0x4B write) and the transfer-length limit (0xCA).
#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

// The limit read names its value with parameter 2 in bytes 8 to 11.
constexpr uint32_t k_max_xfer_selector = 2;

}  // namespace

void handle_xfer_flag_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, 1) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(1, static_cast<uint8_t>(record.state.xfer_flag));
}

void handle_xfer_flag_write(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, 1) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    record.state.xfer_flag = request.data_out[0];
    record.dirty = true;
}

void handle_max_xfer(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, 4) || vendor_address_field(request) != k_max_xfer_selector) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.resize(4);
    put_le32(answer.data.data(), record.params.max_xfer);
}
