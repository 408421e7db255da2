// The layout of the bridge's LED memory image (kept raw in the lab storage's `led`
// memory), and the image a new bridge is created with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct bridge_record;

constexpr int k_lab_led_default_count = 8;
constexpr int k_lab_led_max_count = 20;

// Header fields of the image as the bridge firmware lays it out.
constexpr uint32_t k_lab_led_magic = 0x4C454453;  // "SDEL"
constexpr uint32_t k_lab_led_version = 2;
constexpr uint32_t k_lab_led_table = 0x40;  // where a fresh image keeps its entry table
constexpr size_t k_lab_led_off_magic = 0;
constexpr size_t k_lab_led_off_version = 4;
constexpr size_t k_lab_led_off_table = 12;
constexpr size_t k_lab_led_off_count = 24;
constexpr size_t k_lab_led_off_brightness = 28;
constexpr size_t k_lab_led_entry_size = 161;  // 32 settings bytes, 43 rows of 3
constexpr int k_lab_led_states = 5;
constexpr int k_lab_led_rows = 43;

// A fresh, valid image for `leds` LEDs (0 to 20): each state lit its own way.
std::vector<uint8_t> lab_default_led_image(int leds);

// Writes a fresh image for `leds` LEDs into the bridge's LED memory.
bool lab_write_default_led_image(bridge_record& record, int leds);

// The whole LED memory as the bridge holds it (erased bytes where nothing was written).
std::vector<uint8_t> lab_led_memory(const bridge_record& record);
