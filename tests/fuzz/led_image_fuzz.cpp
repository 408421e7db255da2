// The LED memory image comes from the bridge: any 16 KiB must either be refused or give
// state rows that stay inside the image, and every accessor and effect on it must stay
// inside too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "zelko/led/led_effects.h"
#include "zelko/led/led_mem.h"

using namespace zelko;

namespace {

constexpr led_field k_fields[] = {led_field::mode, led_field::row_number, led_field::cycle_time, led_field::ramp_factor,
                                  led_field::stable_factor};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    led_mem_dev record;
    record.image.reset(new uint8_t[k_led_image_size]());
    std::memcpy(record.image.get(), data, size < k_led_image_size ? size : k_led_image_size);
    record.image_size = k_led_image_size;
    if (led_mem_dev_index(&record) != 0) {
        uint16_t value = 0;
        require(led_get_field(&record, 0, 0, led_field::mode, &value) == -1);
        return 0;
    }
    const uint8_t* begin = record.image.get();
    const int32_t n = led_count(&record);
    require(n >= 0 && n <= k_led_max_leds);
    for (uint8_t s = 0; s <= k_led_states; ++s) {
        for (uint8_t k = 0; k <= k_led_max_leds; ++k) {
            uint8_t* entry = led_entry(&record, s, k);
            require((entry != nullptr) == (s < k_led_states && k < n));
            if (entry == nullptr) continue;
            require(entry >= begin && entry + k_led_entry_size <= begin + k_led_image_size);
            for (const led_field field : k_fields) {
                uint16_t value = 0;
                require(led_get_field(&record, s, k, field, &value) == 0);
                require(led_set_field(nullptr, &record, s, k, field, value, false) == 0);
            }
            uint8_t rgb[3] = {};
            require(led_get_color(&record, s, k, 42, rgb) == 0);
            require(led_set_color(nullptr, &record, s, k, 42, rgb, 3, false) == 0);
            require(led_get_color(&record, s, k, 43, rgb) == -1);
        }
    }
    uint16_t brightness = 0;
    require(led_get_brightness(&record, &brightness) == 0);
    if (n > 0) {
        auto effect = std::make_unique<led_effect>();
        for (int kind = 0; kind <= static_cast<int>(led_effect_kind::meteor); ++kind) {
            if (!build_led_effect(static_cast<led_effect_kind>(kind), n, 0x123456, 1000, effect.get())) continue;
            require(led_apply_effect(nullptr, &record, effect->header, effect->rows, 0, 0xFFFFFFFF, false) == 0);
        }
    }
    return 0;
}
