// The firmware state query (E2 A6, 1 byte: 1 main, 2 rescue, 0 no known firmware) and
// what a restart boots (firmware.h).
#include "lab/model/flash/firmware.h"

#include <algorithm>
#include <vector>

#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"
#include "lab/model/memory.h"

using namespace zelko;

namespace {

constexpr uint32_t k_fw_state_len = 1;
constexpr uint8_t k_answer_of_running[] = {1, 1, 2, 0};  // by k_fw_*

bool all_erased(const uint8_t* bytes, size_t length) {
    return std::all_of(bytes, bytes + length, [](uint8_t b) { return b == 0xFF; });
}

// Loads the LED memory from the LED image area when it holds a valid LED image.
void load_led_image(bridge_record& record) {
    uint8_t header[k_led_image_header] = {};
    const uint64_t area = led_image_area(record);
    if (!memory_read(record, lab_memory::flash, area, header, sizeof header)) return;
    const uint64_t total = uint64_t{get_le32(header + 0x0C)} + get_le32(header + 0x14);
    if (get_le32(header) != k_led_image_magic || total <= k_led_image_header || total > k_flash_led_image_area_size) {
        return;
    }
    const size_t length = static_cast<size_t>(std::min<uint64_t>(total - k_led_image_header, k_led_memory_size));
    std::vector<uint8_t> image(length);
    if (memory_read(record, lab_memory::flash, area + k_led_image_header, image.data(), length)) {
        memory_write(record, lab_memory::led, 0, image.data(), length);
    }
}

// Where file offset `offset` of the image whose header is `h` lies in flash (an offset
// from the flash's start); false for an offset neither part holds.
bool flash_offset_of(const uint8_t* h, uint64_t offset, uint64_t* flash) {
    const uint64_t front_length = get_le32(h + k_fw_off_front + 8);
    const uint64_t rear_offset = get_le32(h + k_fw_off_rear);
    const uint64_t rear_address = get_le32(h + k_fw_off_rear + 4);
    const uint64_t front_address = get_le32(h + k_fw_off_front + 4);
    const uint64_t base = k_flash_write_base;
    if (offset >= rear_offset && rear_offset >= front_length && rear_address >= base) {
        *flash = rear_address - base + (offset - rear_offset);
        return true;
    }
    if (offset < front_length && front_address >= base) {
        *flash = front_address - base + offset;
        return true;
    }
    return false;
}

// True when the image the boot header `h` describes lies whole in flash with the CRC its
// header gives over its checked range, read from where its parts were written.
bool image_intact(const bridge_record& record, const uint8_t* h) {
    const uint64_t checked_offset = get_le32(h + k_fw_off_checked);
    const uint64_t checked_length = get_le32(h + k_fw_off_checked + 4);
    std::vector<uint8_t> chunk(0x10000);
    uint32_t crc = 0;
    for (uint64_t done = 0; done < checked_length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), checked_length - done));
        uint64_t first = 0, last = 0;
        // Both ends of a chunk must map into the same part, contiguously.
        if (!flash_offset_of(h, checked_offset + done, &first) ||
            !flash_offset_of(h, checked_offset + done + n - 1, &last) || last - first != n - 1 ||
            !memory_read(record, lab_memory::flash, first, chunk.data(), n)) {
            return false;
        }
        crc = lab_crc32_update(crc, chunk.data(), n);
        done += n;
    }
    return crc == get_le32(h + k_fw_off_crc);
}

}  // namespace

const char* const k_fw_running_names[] = {"factory", "main", "rescue", "unknown", nullptr};

uint64_t led_image_area(const bridge_record& record) {
    return memory_size(record, lab_memory::flash) - k_flash_led_image_area_size;
}

bool first_chip_family(uint32_t chip) { return chip >= 0xA0010001 && chip <= 0xA0010003; }

uint32_t classify_boot_header(const uint8_t* header, uint32_t chip) {
    const uint32_t magic = get_le32(header);
    const bool marked = header[k_fw_off_mark] == k_fw_rescue_mark;
    if (magic == k_fw_magic_main && !marked) return k_fw_main;
    if (first_chip_family(chip) ? magic == k_fw_magic_rescue : magic == k_fw_magic_main && marked) return k_fw_rescue;
    return k_fw_unknown;
}

void firmware_boot(bridge_record& record) {
    uint8_t header[k_fw_header_size] = {};
    if (memory_read(record, lab_memory::flash, k_flash_pg_sector, header, sizeof header) &&
        !(record.flash.running == k_fw_factory && all_erased(header, sizeof header))) {
        uint32_t running = classify_boot_header(header, record.params.chip_id);
        // A damaged image does not start: the boot loader falls back to the rescue
        // firmware for a main image, and a damaged rescue image leaves nothing known.
        if (running != k_fw_unknown && !image_intact(record, header)) {
            running = running == k_fw_main ? k_fw_rescue : k_fw_unknown;
            record.flash.running = running;
            load_led_image(record);
            record.dirty = true;
            return;
        }
        record.flash.running = running;
        if (running != k_fw_unknown) {
            bridge_params& p = record.params;
            uint32_t* words[] = {&p.fw_major, &p.fw_minor, &p.fw_patch, &p.fw_reserved, &p.fw_build_date};
            for (size_t i = 0; i < 5; ++i) *words[i] = get_le32(header + k_fw_off_version + 4 * i);
        }
    }
    load_led_image(record);
    record.dirty = true;
}

uint32_t lab_crc32(const uint8_t* data, size_t length) { return lab_crc32_update(0, data, length); }

uint32_t lab_crc32_update(uint32_t crc, const uint8_t* data, size_t length) {
    uint32_t c = ~crc;
    for (size_t i = 0; i < length; ++i) {
        c ^= data[i];
        for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void handle_fw_state(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, k_fw_state_len) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(1, k_answer_of_running[std::min<uint32_t>(record.flash.running, k_fw_unknown)]);
}
