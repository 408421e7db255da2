// The bridge's 16 KiB LED memory, kept raw as the bridge holds it, and the image a new
// bridge starts with. Reads and writes go through the three functions below, which have
// the shape of the lab's memory storage so that the LED memory can move there unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct bridge_record;

constexpr uint32_t k_lab_led_memory_size = 16384;
constexpr int k_lab_led_default_count = 8;
constexpr int k_lab_led_max_count = 20;

// Header fields of the image as the bridge firmware lays it out.
constexpr uint32_t k_lab_led_magic = 0x4C454453;   // "SDEL"
constexpr uint32_t k_lab_led_version = 2;
constexpr uint32_t k_lab_led_table = 0x40;          // where a fresh image keeps its entry table
constexpr size_t k_lab_led_off_magic = 0;
constexpr size_t k_lab_led_off_version = 4;
constexpr size_t k_lab_led_off_table = 12;
constexpr size_t k_lab_led_off_count = 24;
constexpr size_t k_lab_led_off_brightness = 28;
constexpr size_t k_lab_led_entry_size = 161;        // 32 settings bytes, 43 rows of 3
constexpr int k_lab_led_states = 5;
constexpr int k_lab_led_rows = 43;

// A fresh, valid image for `leds` LEDs (0 to 20): each state lit its own way.
std::vector<uint8_t> lab_default_led_image(int leds);

bool led_memory_read(bridge_record& record, uint64_t offset, void* out, size_t length);
bool led_memory_write(bridge_record& record, uint64_t offset, const void* data, size_t length);
uint64_t led_memory_size(const bridge_record& record);
