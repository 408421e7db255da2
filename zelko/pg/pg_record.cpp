#include "zelko/pg/pg_record.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "zelko/common/cursor.h"

namespace zelko {

namespace {

constexpr pg_tag_format fixed(uint8_t size) { return {pg_format::fixed, size}; }

// Tags 0 to 53.
// clang-format off
constexpr pg_tag_format k_tag_table[k_tag_last_known] = {
    fixed(0),                           // 0: end marker
    {pg_format::count2, 2},             // 1
    {pg_format::count3, 3},             // 2
    fixed(2), fixed(2),                 // 3 VID, 4 PID
    {pg_format::descriptor, 62},        // 5 PRODUCT
    {pg_format::descriptor, 30},        // 6 MANUFACTURE
    {pg_format::descriptor, 62},        // 7 SERIAL
    fixed(1), fixed(1),                 // 8, 9
    fixed(4), fixed(4),                 // 10, 11
    {pg_format::padded_text, 8},        // 12 SCSI_VENDOR
    {pg_format::padded_text, 16},       // 13 SCSI_PRODUCT
    fixed(1), fixed(1),                 // 14, 15
    {pg_format::none, 0},               // 16
    {pg_format::none, 0},               // 17
    fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1),  // 18 to 23
    fixed(4),                           // 24
    {pg_format::block, 15},             // 25 CUSTOMIZED_LED
    fixed(1), fixed(1), fixed(1), fixed(1),                      // 26 to 29
    fixed(4), fixed(4), fixed(4),       // 30 to 32
    fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1),  // 33 to 38
    fixed(4),                           // 39
    fixed(1),                           // 40
    fixed(4),                           // 41
    {pg_format::block, 15},             // 42
    fixed(4),                           // 43
    fixed(1), fixed(1),                 // 44, 45
    fixed(4),                           // 46
    fixed(1),                           // 47
    fixed(2),                           // 48
    fixed(1), fixed(1),                 // 49, 50
    fixed(8),                           // 51
    fixed(1),                           // 52
    fixed(4),                           // 53
};
// clang-format on

// The byte after a tag, 0 when it lies past the record.
uint8_t byte_after(const uint8_t* record, size_t length, size_t position) {
    read_cursor in(record, length);
    return position + 1 < length ? in.u8_at(position + 1) : 0;
}

// Formats whose data starts with a length or count byte: a tag in the record's last byte
// reads that byte as 0 and so is an entry without data.
bool has_count_byte(uint8_t tag) {
    if (tag > k_tag_last_known) return true;
    if (tag == k_tag_last_known) return false;
    const pg_format format = k_tag_table[tag].format;
    return format == pg_format::count2 || format == pg_format::count3;
}

void set_number(PgInfo* info, uint8_t tag, uint64_t v) {
    switch (tag) {
        case 3: info->VID = static_cast<uint16_t>(v); break;
        case 4: info->PID = static_cast<uint16_t>(v); break;
        case 19: info->ASPMDIS = static_cast<uint8_t>(v); break;
        case 21: info->DISK_IPS_THRES = static_cast<uint8_t>(v); break;
        case 9: info->LED = static_cast<uint8_t>(v); break;
        case 41: info->HW_LED_CFG = static_cast<uint32_t>(v); break;
        case 26: info->SUSPEND_LED_OFF = static_cast<uint8_t>(v); break;
        case 35: info->UART_DBG_PIN = static_cast<uint8_t>(v); break;
        case 8: info->DISK_HOTPLUG = static_cast<uint8_t>(v); break;
        case 46: info->SD_MMC_TYPE = static_cast<uint32_t>(v); break;
        case 51: info->CUSTOMIZED_FEATURE = v; break;
        case 43: info->SUPPORT_HID = static_cast<uint32_t>(v); break;
        case 14: info->USB_SELF_PWR = static_cast<uint8_t>(v); break;
        default: break;
    }
}

// The text field of a descriptor or padded-text tag, with its size.
char* text_field(PgInfo* info, uint8_t tag, size_t* size) {
    switch (tag) {
        case 5: *size = sizeof info->PRODUCT; return info->PRODUCT;
        case 6: *size = sizeof info->MANUFACTURE; return info->MANUFACTURE;
        case 7: *size = sizeof info->SERIAL; return info->SERIAL;
        case 12: *size = sizeof info->SCSI_VENDOR; return info->SCSI_VENDOR;
        case 13: *size = sizeof info->SCSI_PRODUCT; return info->SCSI_PRODUCT;
        default: *size = 0; return nullptr;
    }
}

}  // namespace

const pg_key pg_keys[k_pg_key_count] = {
    {"VID", 3, pg_key_kind::number},
    {"PID", 4, pg_key_kind::number},
    {"PRODUCT", 5, pg_key_kind::quoted_text},
    {"MANUFACTURE", 6, pg_key_kind::quoted_text},
    {"SERIAL", 7, pg_key_kind::quoted_text},
    {"SCSI_VENDOR", 12, pg_key_kind::quoted_text},
    {"SCSI_PRODUCT", 13, pg_key_kind::quoted_text},
    {"ASPMDIS", 19, pg_key_kind::number},
    {"DISK_IPS_THRES", 21, pg_key_kind::number},
    {"LED", 9, pg_key_kind::number},
    {"HW_LED_CFG", 41, pg_key_kind::number},
    {"CUSTOMIZED_LED", 25, pg_key_kind::hex_list},
    {"SUSPEND_LED_OFF", 26, pg_key_kind::number},
    {"UART_DBG_PIN", 35, pg_key_kind::number},
    {"DISK_HOTPLUG", 8, pg_key_kind::number},
    {"SD_MMC_TYPE", 46, pg_key_kind::number},
    {"CUSTOMIZED_FEATURE", 51, pg_key_kind::number},
    {"SUPPORT_HID", 43, pg_key_kind::number},
    {"USB_SELF_PWR", 14, pg_key_kind::number},
};

const pg_key* find_pg_key_by_tag(uint8_t tag) {
    for (const pg_key& key : pg_keys) {
        if (key.tag == tag) return &key;
    }
    return nullptr;
}

const pg_key* find_pg_key(const char* name) {
    for (const pg_key& key : pg_keys) {
        if (std::strcmp(key.name, name) == 0) return &key;
    }
    return nullptr;
}

pg_tag_format pg_tag_info(uint8_t tag) {
    if (tag < k_tag_last_known) return k_tag_table[tag];
    return {pg_format::none, 0};
}

size_t pg_entry_size(uint8_t tag, uint8_t next) {
    if (tag > k_tag_last_known) return static_cast<size_t>(next) + 1;
    const pg_tag_format info = pg_tag_info(tag);
    switch (info.format) {
        case pg_format::fixed:
        case pg_format::padded_text:
        case pg_format::block: return info.size;
        case pg_format::count2:
        case pg_format::count3: return static_cast<size_t>(next) * static_cast<size_t>(info.format) + 1;
        case pg_format::descriptor: return next;
        case pg_format::none: return 0;
    }
    return 0;
}

int64_t pg_entry_data_size(const uint8_t* record, size_t length, size_t position) {
    read_cursor in(record, length);
    if (!in.has(position, 1)) return -1;
    const uint8_t tag = in.u8_at(position);
    const size_t size = pg_entry_size(tag, byte_after(record, length, position));
    if (in.has(position + 1, size)) return static_cast<int64_t>(size);
    if (position + 1 == length && has_count_byte(tag)) return 0;
    return -1;
}

pg_walk find_pg_entry(const uint8_t* record, size_t length, uint8_t tag) {
    read_cursor in(record, length);
    size_t p = 0;
    while (p < length) {
        const uint8_t t = in.u8_at(p);
        if (t == k_tag_end) return {0, false, p};
        if (t > k_tag_last_known && byte_after(record, length, p) != 0) return {-1, false, p};
        if (t == tag) return {0, true, p};
        const int64_t size = pg_entry_data_size(record, length, p);
        if (size < 0) return {-1, false, p};
        p += 1 + static_cast<size_t>(size);
    }
    return {0, false, p};
}

cmd_status decode_pg_record(const uint8_t* record, size_t length, PgInfo* info) {
    std::memset(info, 0, sizeof *info);
    read_cursor in(record, length);
    size_t p = 0;
    while (p < length) {
        const uint8_t tag = in.u8_at(p++);
        if (find_pg_key_by_tag(tag) == nullptr) return 0;
        const pg_tag_format format = pg_tag_info(tag);
        size_t field_size = 0;
        char* text = text_field(info, tag, &field_size);
        if (format.format == pg_format::descriptor) {
            const uint8_t n = p < length ? in.u8_at(p) : 0;
            if (!in.has(p, n)) return -1;
            size_t chars = 0;
            for (size_t i = 2; i < n && chars + 1 < field_size; i += 2)
                text[chars++] = static_cast<char>(in.u8_at(p + i));
            p += n;
            continue;
        }
        if (!in.has(p, format.size)) return -1;
        if (format.format == pg_format::padded_text) {
            in.bytes_at(p, text, std::min<size_t>(format.size, field_size - 1));
        } else if (format.format == pg_format::block) {
            in.bytes_at(p, info->CUSTOMIZED_LED, sizeof info->CUSTOMIZED_LED);
        } else {
            uint64_t value = 0;
            for (size_t i = 0; i < format.size; ++i) value |= static_cast<uint64_t>(in.u8_at(p + i)) << (8 * i);
            set_number(info, tag, value);
        }
        p += format.size;
    }
    return 0;
}

cmd_status remove_pg_entry(uint8_t* record, size_t length, uint8_t tag) {
    const pg_walk walk = find_pg_entry(record, length, tag);
    if (walk.code != 0) return walk.code;
    if (!walk.found) return 0;
    const int64_t size = pg_entry_data_size(record, length, walk.position);
    if (size < 0) return -1;
    const size_t from = walk.position + 1 + static_cast<size_t>(size);
    const size_t moved = length - std::min(from, length);
    std::memmove(record + walk.position, record + from, moved);
    std::memset(record + walk.position + moved, 0, length - walk.position - moved);
    return 0;
}

cmd_status put_pg_entry(uint8_t* record, size_t length, uint8_t tag, const void* value, size_t size) {
    const pg_walk walk = find_pg_entry(record, length, tag);
    if (walk.code != 0) return walk.code;
    const size_t p = walk.position;
    if (walk.found && pg_entry_data_size(record, length, p) != static_cast<int64_t>(size)) return -1;
    write_cursor out(record, length);
    if (!out.has(p, 1 + size)) return -1;
    // A new entry takes the place of the end marker, which a descriptor of length 0 just
    // before it reads as its length byte: such a record would swallow the new entry, so
    // the walk must find it where it was written, else the record is left as it was.
    const std::vector<uint8_t> before(record + p, record + length);
    out.u8_at(p, tag);
    out.bytes_at(p + 1, value, size);
    if (walk.found) return 0;
    std::memset(record + p + 1 + size, 0, length - (p + 1 + size));
    const pg_walk check = find_pg_entry(record, length, tag);
    if (check.code == 0 && check.found && check.position == p) return 0;
    std::memcpy(record + p, before.data(), before.size());
    return -1;
}

size_t string_to_usb_descriptor(const char* text, size_t text_length, uint8_t* out, size_t capacity) {
    const size_t n = std::min(2 * text_length, capacity);
    std::memset(out, 0, capacity + 2);
    out[0] = static_cast<uint8_t>(n + 2);
    out[1] = 0x03;
    for (size_t i = 0; i < n / 2; ++i) out[2 + 2 * i] = static_cast<uint8_t>(text[i]);
    return n + 2;
}

}  // namespace zelko
