// The flash write path (E3 0x10, E3 0x11) and the device's own view of its PG record.
//
// 0x10 takes the write address: bytes 8 to 11 of the block and its 4 data bytes carry the
// same bridge address, 0x8C000000 + a sector-aligned flash offset inside the flash.
// 0x11 writes a nonzero multiple of 4096 bytes there; the address then moves past them,
// so consecutive writes fill consecutive sectors. A data block without an address since
// the last restart is refused with 05/2C/00 (command sequence error); an address or a
// write beyond the flash with 05/21/00 (logical block address out of range); a block
// whose fields disagree with 05/24/00.
#include "lab/model/flash/flash.h"

#include <cstdio>

#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"
#include "lab/model/memory.h"
#include "lab/record/storage.h"

using namespace zelko;

namespace {

constexpr uint32_t k_flash_unit = 4096;
// The PG record: the upper half of the PG sector.
constexpr uint64_t k_pg_record_offset = k_flash_pg_sector + k_flash_sector_size / 2;
constexpr size_t k_pg_record_size = k_flash_sector_size / 2;

void answer_out_of_range(block_answer& answer) { answer_check(answer, 0x05, 0x21, 0x00); }

// Device-side names of the tags a PG record of this bridge holds, for `show NAME pg`.
struct tag_name {
    uint8_t tag;
    const char* name;
};
// clang-format off
constexpr tag_name k_tag_names[] = {
    {3, "VID"},           {4, "PID"},           {5, "PRODUCT"},         {6, "MANUFACTURE"},
    {7, "SERIAL"},        {8, "DISK_HOTPLUG"},  {9, "LED"},             {12, "SCSI_VENDOR"},
    {13, "SCSI_PRODUCT"}, {14, "USB_SELF_PWR"}, {19, "ASPMDIS"},        {21, "DISK_IPS_THRES"},
    {25, "CUSTOMIZED_LED"}, {26, "SUSPEND_LED_OFF"}, {27, "USB_SPEED"}, {35, "UART_DBG_PIN"},
    {41, "HW_LED_CFG"},   {43, "SUPPORT_HID"},  {46, "SD_MMC_TYPE"},    {51, "CUSTOMIZED_FEATURE"},
};
// clang-format on

// Data bytes after each tag 0 to 53 as the firmware reads them: a fixed size, or a
// count (1: 2-byte items, 2: 3-byte items) or descriptor length in the next byte.
enum : uint8_t { k_counted2 = 0xF2, k_counted3 = 0xF3, k_descriptor = 0xFD };
// clang-format off
constexpr uint8_t k_tag_sizes[54] = {
    0, k_counted2, k_counted3, 2, 2, k_descriptor, k_descriptor, k_descriptor, 1, 1, 4, 4, 8, 16, 1, 1, 0, 0,
    1, 1, 1, 1, 1, 1, 4, 15, 1, 1, 1, 1, 4, 4, 4, 1, 1, 1, 1, 1, 1, 4, 1, 4, 15, 4, 1, 1, 4, 1, 2, 1, 1, 8, 1, 4,
};
// clang-format on

const char* name_of(uint8_t tag) {
    for (const tag_name& row : k_tag_names) {
        if (row.tag == tag) return row.name;
    }
    return "";
}

}  // namespace

void handle_flash_address(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t address = vendor_address_field(request);
    if (!vendor_length_is(request, 4) || get_le32(request.data_out) != address) {
        answer_invalid_field(answer);
        return;
    }
    const uint64_t flash_size = memory_size(record, lab_memory::flash);
    if (address < k_flash_write_base || address - k_flash_write_base >= flash_size ||
        (address - k_flash_write_base) % k_flash_unit != 0) {
        answer_out_of_range(answer);
        return;
    }
    record.flash.address = address;
    record.dirty = true;
}

void handle_flash_data(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t length = request.length;
    if (length == 0 || length % k_flash_unit != 0 || vendor_length_field(request) != length ||
        vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    if (record.flash.address == 0) {
        answer_check(answer, 0x05, 0x2C, 0x00);
        return;
    }
    const uint64_t offset = record.flash.address - k_flash_write_base;
    if (!memory_range_ok(record, lab_memory::flash, offset, length)) {
        answer_out_of_range(answer);
        return;
    }
    answer_memory_write(record, lab_memory::flash, offset, request.data_out, length, answer);
    if (answer.status != 0) return;
    const uint64_t next = offset + length;
    record.flash.address =
        next < memory_size(record, lab_memory::flash) ? k_flash_write_base + static_cast<uint32_t>(next) : 0;
    record.dirty = true;
}

pg_walk walk_pg_record(bridge_record& record) {
    pg_walk walk;
    uint8_t pg[k_pg_record_size] = {};
    if (!memory_read(record, lab_memory::flash, k_pg_record_offset, pg, sizeof pg)) {
        walk.readable = false;
        return walk;
    }
    size_t p = 0;
    while (p < sizeof pg && pg[p] != 0) {
        const uint8_t tag = pg[p];
        const uint8_t next = p + 1 < sizeof pg ? pg[p + 1] : 0;
        size_t size = 0;
        if (tag > 54) {
            size = static_cast<size_t>(next) + 1;
        } else if (tag < 54) {
            const uint8_t rule = k_tag_sizes[tag];
            size = rule == k_counted2     ? next * 2u + 1
                   : rule == k_counted3   ? next * 3u + 1
                   : rule == k_descriptor ? next
                                          : rule;
        }
        if (p + 1 + size > sizeof pg || (tag > 54 && next != 0)) {
            walk.broken = true;
            walk.broken_tag = tag;
            break;
        }
        walk.entries.push_back({p, tag, std::vector<uint8_t>(pg + p + 1, pg + p + 1 + size)});
        p += 1 + size;
    }
    walk.end = p;
    return walk;
}

const std::vector<uint8_t>* pg_entry_data(const pg_walk& walk, uint8_t tag) {
    for (const pg_entry& entry : walk.entries) {
        if (entry.tag == tag) return &entry.data;
    }
    return nullptr;
}

std::string pg_record_text(bridge_record& record) {
    const pg_walk walk = walk_pg_record(record);
    if (!walk.readable) return "  unreadable\n";
    std::string out;
    char line[64];
    for (const pg_entry& entry : walk.entries) {
        const std::vector<uint8_t>& data = entry.data;
        std::snprintf(line, sizeof line, "  %04zX tag %3u %-18s", entry.offset, entry.tag, name_of(entry.tag));
        out += line;
        for (const uint8_t byte : data) {
            std::snprintf(line, sizeof line, " %02X", byte);
            out += line;
        }
        if (entry.tag < 54 && k_tag_sizes[entry.tag] == k_descriptor) {
            out += "  \"";
            for (size_t i = 2; i < data.size(); i += 2) {
                const uint8_t c = data[i];
                out += c >= ' ' && c <= '~' ? static_cast<char>(c) : '.';
            }
            out += "\"";
        } else if (entry.tag == 12 || entry.tag == 13) {
            out += "  \"" + std::string(data.begin(), data.end()) + "\"";
        }
        out += "\n";
    }
    if (walk.broken) {
        std::snprintf(line, sizeof line, "  %04zX tag %3u %-18s", walk.end, walk.broken_tag, name_of(walk.broken_tag));
        return out + line + " runs past the record or breaks it\n";
    }
    std::snprintf(line, sizeof line, "  %04zX end\n", walk.end);
    return out + line;
}
