// The bridge's GPIO block: pin mux (0x41), direction (0x46), output value (0x45) and
// pin read (0xC5). Byte 5 is the GPIO number, byte 6 the setting; every block moves one
// byte (settings carry a byte the bridge ignores, a read returns the pin's level).
//
// Like the GPIO block of most controllers, direction and output latch are registers of
// their own: they take a value whatever the pin's function, and the latch takes a value
// while the pin is an input. The pin shows them only as a GPIO output. A read returns
// the latch for a GPIO output and otherwise the level on the pad, which is what is
// driven onto it from outside (`gpio_in`).
#include "lab/model/handlers.h"

namespace {

constexpr int k_pin_byte = 5;
constexpr int k_setting_byte = 6;
constexpr uint32_t k_one_byte = 1;

// The common checks of a GPIO block; the pin it names, or null after a refusal.
gpio_pin* addressed_pin(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t pin = request.cdb[k_pin_byte];
    if (!vendor_length_is(request, k_one_byte) || vendor_address_field(request) != 0 || pin >= k_gpio_pin_count) {
        answer_invalid_field(answer);
        return nullptr;
    }
    return &record.pins.gpio[pin];
}

// The pin's setting byte, when it is at most `max`.
bool setting_at_most(const block_request& request, uint8_t max, block_answer& answer) {
    if (request.cdb[k_setting_byte] > max) {
        answer_invalid_field(answer);
        return false;
    }
    return true;
}

}  // namespace

void handle_gpio_mux(bridge_record& record, const block_request& request, block_answer& answer) {
    gpio_pin* pin = addressed_pin(record, request, answer);
    if (pin == nullptr || !setting_at_most(request, k_pin_function_max, answer)) return;
    pin->function = request.cdb[k_setting_byte];
    record.dirty = true;
}

void handle_gpio_dir(bridge_record& record, const block_request& request, block_answer& answer) {
    gpio_pin* pin = addressed_pin(record, request, answer);
    if (pin == nullptr || !setting_at_most(request, 1, answer)) return;
    pin->output = request.cdb[k_setting_byte];
    record.dirty = true;
}

void handle_gpio_set(bridge_record& record, const block_request& request, block_answer& answer) {
    gpio_pin* pin = addressed_pin(record, request, answer);
    if (pin == nullptr || !setting_at_most(request, 1, answer)) return;
    pin->latch = request.cdb[k_setting_byte];
    record.dirty = true;
}

void handle_gpio_get(bridge_record& record, const block_request& request, block_answer& answer) {
    const gpio_pin* pin = addressed_pin(record, request, answer);
    if (pin == nullptr) return;
    const uint8_t number = request.cdb[k_pin_byte];
    const bool drives = pin->function == k_pin_function_gpio && pin->output != 0;
    const uint8_t pad = static_cast<uint8_t>((record.pins.gpio_input_high >> number) & 1u);
    answer.data.assign(1, drives ? pin->latch : pad);
}
