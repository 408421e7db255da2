// `mkimage FILE main|rescue CHIP SIZE [options]` and `mkled FILE [options]`: image files
// the lab's bridges accept, for tests, demos and benchmarks. A firmware image is a
// 4096-byte front part (the header, then a half the PG record takes when it is written)
// for the PG sector and a rear part of SIZE - 4096 bytes for its firmware area; its CRC
// covers the rear part. An LED image is a 64-byte header and the LED memory image it loads.
#include <cstdio>
#include <vector>

#include "zelko/common/bytes.h"
#include "lab/host/lab_files.h"
#include "lab/model/led/led_memory.h"
#include "lab/model/flash/firmware.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

using namespace zelko;

namespace {

constexpr uint64_t k_image_size_max = 16u << 20;
constexpr uint32_t k_pg_sector_address = k_flash_write_base + static_cast<uint32_t>(k_flash_pg_sector);
// The LED image area of a bridge with the default flash size.
constexpr uint32_t k_default_led_address = k_flash_write_base + k_flash_size_default - k_flash_led_image_area_size;

int write_output(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    return lab_write_output_file(path, bytes.data(), bytes.size(), &error) ? 0 : verb_fail(error);
}

bool parse_version(const std::string& text, uint32_t words[3]) {
    unsigned a = 0, b = 0, c = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u%c", &a, &b, &c, &end) != 3) return false;
    words[0] = a;
    words[1] = b;
    words[2] = c;
    return true;
}

// Options of the form --NAME VALUE (numbers) and --FLAG; false for anything else.
struct image_options {
    uint32_t version[3] = {0, 0, 0};
    bool version_given = false;
    uint32_t date = 20250301;
    uint32_t at = 0;
    bool at_given = false;
    bool bad = false;  // --bad-crc or --bad-length
    uint32_t leds = k_lab_led_default_count;
    uint32_t bright = 0xFF20;
};

bool parse_options(const verb_args& args, size_t from, bool led, image_options* o, std::string* error) {
    const char* bad_flag = led ? "--bad-length" : "--bad-crc";
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == bad_flag) {
            o->bad = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = "unknown option or missing value: " + word;
            return false;
        }
        const std::string& value = args[++i];
        bool ok = false;
        if (word == "--version" && !led) {
            ok = o->version_given = parse_version(value, o->version);
        } else if (word == "--date" && !led) {
            ok = parse_u32(value, &o->date);
        } else if (word == "--at") {
            ok = o->at_given = parse_u32(value, &o->at) && o->at % 4096 == 0;
        } else if (word == "--leds" && led) {
            ok = parse_u32(value, &o->leds) && o->leds <= static_cast<uint32_t>(k_lab_led_max_count);
        } else if (word == "--bright" && led) {
            ok = parse_u32(value, &o->bright) && o->bright <= 0xFFFF;
        }
        if (!ok) {
            *error = "bad option " + word + " " + value;
            return false;
        }
    }
    return true;
}

// Body bytes that differ between images of another kind or version.
void fill_body(std::vector<uint8_t>& image, uint32_t seed) {
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = k_fw_header_size; i < image.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = static_cast<uint8_t>(x >> 24);
    }
}

}  // namespace

int verb_mkimage(const std::string&, const verb_args& args) {
    if (args.size() < 4) return verb_usage_of("mkimage");
    const bool rescue = args[1] == "rescue";
    if (!rescue && args[1] != "main") return verb_usage_of("mkimage");
    uint32_t chip = 0;
    uint64_t size = 0;
    if (!parse_u32(args[2], &chip) || chip > 0xFF)
        return verb_fail("CHIP is a chip code up to 255, not '" + args[2] + "'");
    if (!parse_u64(args[3], &size) || size < k_fw_front_size || size > k_image_size_max || size % 4096 != 0) {
        return verb_fail("SIZE is a multiple of 4096 from 4096 to 16 MiB, not '" + args[3] + "'");
    }
    image_options o;
    if (!rescue) o.version[0] = 1, o.version[1] = 5;
    std::string error;
    if (!parse_options(args, 4, false, &o, &error)) return verb_fail(error);
    const uint32_t rear =
        o.at_given ? o.at
                   : k_flash_write_base + static_cast<uint32_t>(rescue ? k_flash_rescue_area : k_flash_main_area);
    std::vector<uint8_t> image(static_cast<size_t>(size), 0);
    fill_body(image, (rescue ? 0x100u : 0u) ^ (o.version[0] << 16) ^ (o.version[1] << 8) ^ o.version[2]);
    std::fill(image.begin(), image.begin() + k_fw_header_size, 0);
    uint8_t* h = image.data();
    // The first chip family (codes 2 and 3) marks its rescue images with a magic of their own.
    const bool own_rescue_magic = chip == 2 || chip == 3;
    put_le32(h, rescue && own_rescue_magic ? k_fw_magic_rescue : k_fw_magic_main);
    h[k_fw_off_mark] = rescue && !own_rescue_magic ? k_fw_rescue_mark : 0;
    h[k_fw_off_chip_code] = static_cast<uint8_t>(chip);
    const uint32_t checked = static_cast<uint32_t>(size - k_fw_front_size);
    const uint32_t crc = lab_crc32(h + k_fw_front_size, checked);
    put_le32(h + k_fw_off_crc, o.bad ? crc ^ 1u : crc);
    put_le32(h + k_fw_off_checked, k_fw_front_size);
    put_le32(h + k_fw_off_checked + 4, checked);
    put_le32(h + k_fw_off_rear, k_fw_front_size);
    put_le32(h + k_fw_off_rear + 4, rear);
    put_le32(h + k_fw_off_front, 0);
    put_le32(h + k_fw_off_front + 4, k_pg_sector_address);
    put_le32(h + k_fw_off_front + 8, k_fw_front_size);
    const uint32_t words[5] = {o.version[0], o.version[1], o.version[2], 0, o.date};
    for (size_t i = 0; i < 5; ++i) put_le32(h + k_fw_off_version + 4 * i, words[i]);
    return write_output(args[0], image);
}

int verb_mkled(const std::string&, const verb_args& args) {
    if (args.empty()) return verb_usage_of("mkled");
    image_options o;
    std::string error;
    if (!parse_options(args, 1, true, &o, &error)) return verb_fail(error);
    std::vector<uint8_t> memory = lab_default_led_image(static_cast<int>(o.leds));
    put_le16(memory.data() + k_lab_led_off_brightness, static_cast<uint16_t>(o.bright));
    std::vector<uint8_t> image(k_led_image_header, 0);
    put_le32(image.data(), k_led_image_magic);
    put_le32(image.data() + 0x08, o.at_given ? o.at : k_default_led_address);
    put_le32(image.data() + 0x0C, static_cast<uint32_t>(k_led_image_header));
    put_le32(image.data() + 0x14, static_cast<uint32_t>(memory.size()) + (o.bad ? 1u : 0u));
    image.insert(image.end(), memory.begin(), memory.end());
    return write_output(args[0], image);
}
