// The bridge's serial port: receiver setup (0x4E), transmit (0x38), receive count
// (0xBA), receive (0xB8) and clearing the receive buffer (0x3A).
//
// Baud rates from 300 to 3000000 are taken; any other rate, 0 among them, is refused
// with 05/24/00. A transmit names its pin in byte 5 with bit 7 set; without bit 7 the
// byte must be 0 and the bridge's own transmit pin is used. What a transmission puts
// on the line is kept for `show` (pin_state.h); an empty one puts nothing there.
//
// The receive buffer holds what arrived on the receive pin (fed from the lab with
// `set NAME uart_rx`). One receive returns at most 1024 bytes: the oldest waiting
// ones, which leave the buffer. Asking for more than waits returns what waits, a short
// transfer; the rest of the host's buffer is not written.
#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr int k_pin_byte = 5;
constexpr uint8_t k_pin_given = 0x80;
constexpr uint32_t k_min_baud = 300;
constexpr uint32_t k_max_baud = 3000000;
constexpr uint32_t k_init_length = 1;
constexpr uint32_t k_count_length = 4;
constexpr uint32_t k_max_receive = 1024;

bool baud_valid(uint32_t baud) { return baud >= k_min_baud && baud <= k_max_baud; }

}  // namespace

void handle_uart_init(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t baud = vendor_address_field(request);
    if (!vendor_length_is(request, k_init_length) || !baud_valid(baud) || request.data_out[0] >= k_gpio_pin_count) {
        answer_invalid_field(answer);
        return;
    }
    bridge_pins& pins = record.pins;
    pins.uart_ready = true;
    pins.uart_rx_pin = request.data_out[0];
    pins.uart_baud = baud;
    record.dirty = true;
}

void handle_uart_transmit(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t pin_byte = request.cdb[k_pin_byte];
    const bool pin_given = (pin_byte & k_pin_given) != 0;
    const uint8_t pin = static_cast<uint8_t>(pin_byte & ~k_pin_given);
    const uint32_t baud = vendor_address_field(request);
    if (vendor_length_field(request) != request.length || !baud_valid(baud) ||
        (pin_given ? pin >= k_gpio_pin_count : pin != 0)) {
        answer_invalid_field(answer);
        return;
    }
    if (request.length == 0) return;
    uart_transmission sent;
    sent.pin = pin_given ? pin : -1;
    sent.baud = baud;
    sent.text.assign(reinterpret_cast<const char*>(request.data_out), request.length);
    uart_log_transmission(record.pins, std::move(sent));
    record.dirty = true;
}

void handle_uart_count(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, k_count_length) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(k_count_length, 0);
    put_le32(answer.data.data(), static_cast<uint32_t>(record.pins.uart_received.size()));
}

void handle_uart_receive(bridge_record& record, const block_request& request, block_answer& answer) {
    if (vendor_length_field(request) != request.length || request.length > k_max_receive ||
        vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    std::vector<uint8_t>& waiting = record.pins.uart_received;
    const size_t count = request.length < waiting.size() ? request.length : waiting.size();
    answer.data.assign(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(count));
    waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(count));
    if (count != 0) record.dirty = true;
}

void handle_uart_clear(bridge_record& record, const block_request& request, block_answer& answer) {
    if (vendor_length_field(request) != 0 || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    record.pins.uart_received.clear();
    record.dirty = true;
}
