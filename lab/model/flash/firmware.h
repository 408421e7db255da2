// The bridge's firmware as the lab models it: which firmware a restart boots, decided by
// the boot header at the start of the PG sector; the firmware state query (E2 A6); the
// LED memory loaded at boot from the LED image in flash; and the layout of the image
// files `mkimage` and `mkled` build for it.
//
// A boot header is classified by its magic: 0x97463136 without the rescue mark 0xFE at
// byte 0x04 is a main firmware; a rescue firmware is 0x79817981 on the first chip
// family (chip identities 0xA0010001 to 0xA0010003) and 0x97463136 with the mark on the
// others; anything else boots no known firmware ("unknown", which answers the state
// query with 0). A boot header still erased on a bridge that has only ever run its
// factory firmware keeps that firmware: the flash holds what the bridge was made with.
// A main or rescue firmware reports the version words its header carries at 0x40. An
// image starts only when the CRC its header gives matches its checked range as the flash
// holds it (read where the header's parts put it): a damaged main image falls back to
// the rescue firmware, a damaged rescue image to no known firmware.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lab/record/state.h"

// Where `mkimage` puts the rear parts unless told otherwise (in a flash of the default
// size: a main image of up to 1 MiB + 4 KiB, a rescue image of up to 900 KiB), and the
// LED image area: the last 64 KiB of the flash, whatever its size.
constexpr uint64_t k_flash_main_area = 0x10000;
constexpr uint64_t k_flash_rescue_area = 0x110000;
constexpr uint64_t k_flash_led_image_area_size = 0x10000;
uint64_t led_image_area(const bridge_record& record);

// Image header fields (offsets in the file and in the boot header).
constexpr uint32_t k_fw_magic_main = 0x97463136;
constexpr uint32_t k_fw_magic_rescue = 0x79817981;
constexpr uint8_t k_fw_rescue_mark = 0xFE;
constexpr size_t k_fw_header_size = 2048;
constexpr size_t k_fw_front_size = 4096;  // header and PG record halves
constexpr size_t k_fw_off_mark = 0x04;
constexpr size_t k_fw_off_chip_code = 0x08;
constexpr size_t k_fw_off_crc = 0x10;
constexpr size_t k_fw_off_checked = 0x14;  // offset, then length
constexpr size_t k_fw_off_rear = 0x1C;     // file offset, then flash address
constexpr size_t k_fw_off_front = 0x28;    // file offset, flash address, length
constexpr size_t k_fw_off_version = 0x40;  // major, minor, patch, reserved, build date

// LED image: a 64-byte header, then the LED memory image it loads.
constexpr uint32_t k_led_image_magic = 0x4C454453;
constexpr size_t k_led_image_header = 64;

// What runs on the bridge: its factory firmware (as its settings describe it), or what
// the last restart booted.
enum : uint32_t { k_fw_factory = 0, k_fw_main = 1, k_fw_rescue = 2, k_fw_unknown = 3 };
extern const char* const k_fw_running_names[];

// k_fw_main, k_fw_rescue or k_fw_unknown for a boot header, on a bridge with chip
// identity `chip`.
uint32_t classify_boot_header(const uint8_t* header, uint32_t chip);

// True for the chip identities whose rescue images carry their own magic.
bool first_chip_family(uint32_t chip);

// What a restart boots: the firmware of the boot header and its version words, and the
// LED memory from a valid LED image in the LED image area.
void firmware_boot(bridge_record& record);

// CRC-32 of IEEE 802.3 as the bridge's boot loader checks it (bitwise).
uint32_t lab_crc32(const uint8_t* data, size_t length);
// The same CRC continued: `crc` is the value of the bytes before, starting from 0.
uint32_t lab_crc32_update(uint32_t crc, const uint8_t* data, size_t length);
