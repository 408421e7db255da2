#include "lab/model/led/led_fields.h"

#include "zelko/common/bytes.h"
#include "zelko/common/cursor.h"
#include "lab/model/led/led_memory.h"
#include "lab/record/storage.h"
#include "lab/record/text.h"

using namespace zelko;

namespace {

std::vector<std::string> nothing_to_encode(const bridge_record&) { return {}; }

bool kept_in_the_image(bridge_record&, const std::string&, std::string* error) {
    *error = "LED header values are kept in the LED memory";
    return false;
}

uint32_t header_word(const bridge_record& record, size_t offset) {
    const std::vector<uint8_t> image = lab_led_memory(record);
    return read_cursor(image.data(), image.size()).le32_at(offset);
}

bool put_header_word(bridge_record& record, size_t offset, uint32_t value) {
    uint8_t raw[4];
    put_le32(raw, value);
    return memory_write(record, lab_memory::led, offset, raw, sizeof raw);
}

template <size_t Offset>
bool set_word(bridge_record& record, const std::string& value, std::string* error) {
    uint32_t number = 0;
    if (!parse_u32(value, &number)) {
        *error = "needs a 32-bit number, not '" + value + "'";
        return false;
    }
    return put_header_word(record, Offset, number);
}

std::string show_count(const bridge_record& record) {
    return std::to_string(static_cast<int32_t>(header_word(record, k_lab_led_off_count)));
}
std::string show_magic(const bridge_record& record) { return hex_number(header_word(record, k_lab_led_off_magic), 8); }
std::string show_version(const bridge_record& record) {
    return std::to_string(header_word(record, k_lab_led_off_version));
}

bool set_count(bridge_record& record, const std::string& value, std::string* error) {
    uint32_t count = 0;
    if (!parse_u32(value, &count) || count > k_lab_led_max_count) {
        *error =
            "led_count is from 0 to " + std::to_string(k_lab_led_max_count) + " (led_count_field sets the field alone)";
        return false;
    }
    if (!lab_write_default_led_image(record, static_cast<int>(count))) {
        *error = "cannot write the LED memory";
        return false;
    }
    return true;
}

bool set_count_field(bridge_record& record, const std::string& value, std::string* error) {
    int64_t count = 0;
    if (!parse_i64(value, &count) || count < INT32_MIN || count > INT32_MAX) {
        *error = "led_count_field is a 32-bit signed number";
        return false;
    }
    return put_header_word(record, k_lab_led_off_count, static_cast<uint32_t>(count));
}

std::vector<std::string> encode_direct(const bridge_record& record) {
    const std::vector<uint8_t>& frame = record.led.direct;
    if (frame.empty()) return {};
    return {hex_bytes(frame.data(), frame.size())};
}

bool decode_direct(bridge_record& record, const std::string& value, std::string* error) {
    std::vector<uint8_t> frame;
    if (!parse_hex_pairs(value, &frame)) {
        *error = "bad byte in led_direct";
        return false;
    }
    if (frame.size() % 3 != 0 || frame.size() > 3u * k_lab_led_max_count) {
        *error = "led_direct holds 3 bytes for each of at most 20 LEDs";
        return false;
    }
    record.led.direct = frame;
    return true;
}

std::string show_direct(const bridge_record& record) {
    const std::vector<uint8_t>& frame = record.led.direct;
    if (frame.empty()) return "none";
    return std::to_string(frame.size() / 3) + " LEDs: " + hex_bytes(frame.data(), frame.size());
}

}  // namespace

constinit const custom_field k_led_direct_field = {encode_direct, decode_direct, show_direct, nullptr};
constinit const custom_field k_led_count_field = {nothing_to_encode, kept_in_the_image, show_count, set_count};
constinit const custom_field k_led_count_raw_field = {nothing_to_encode, kept_in_the_image, show_count,
                                                      set_count_field};
constinit const custom_field k_led_magic_field = {nothing_to_encode, kept_in_the_image, show_magic,
                                                  set_word<k_lab_led_off_magic>};
constinit const custom_field k_led_version_field = {nothing_to_encode, kept_in_the_image, show_version,
                                                    set_word<k_lab_led_off_version>};

namespace {

template <auto Member>
constexpr auto* led = &field_of<&bridge_record::led, Member>;

}  // namespace

std::span<const persisted_field> led_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"led_argb",            "settings", true,  u32_field{led<&led_state::argb>, false, 1}},
        {"led_sync",            "settings", true,  u32_field{led<&led_state::sync>, false, 7}},
        {"led_app_ctl",         "state",    true,  u32_field{led<&led_state::app_ctl>, false, 1}},
        {"led_direct_sync",     "state",    false, u32_field{led<&led_state::direct_sync>, false, k_u8}},
        {"led_direct",          "state",    false, k_led_direct_field},
        {"led_count",           "memory",   true,  k_led_count_field},
        {"led_count_field",     "memory",   true,  k_led_count_raw_field},
        {"led_magic",           "memory",   true,  k_led_magic_field},
        {"led_version",         "memory",   true,  k_led_version_field},
    };
    // clang-format on
    return rows;
}
