#include "zelko/led/led_mem.h"

#include <algorithm>
#include <new>

#include "zelko/common/cursor.h"

namespace zelko {

namespace {

// Where each single field lives in an entry and in which byte order.
struct field_layout {
    size_t offset;
    int width;  // 1 or 2 bytes
    bool big_endian;
};

constexpr field_layout layout_of(led_field field) {
    switch (field) {
        case led_field::mode: return {k_entry_mode, 1, false};
        case led_field::row_number: return {k_entry_row_number, 1, false};
        case led_field::cycle_time: return {k_entry_cycle, 2, false};
        case led_field::ramp_factor: return {k_entry_ramp, 2, true};
        case led_field::stable_factor: return {k_entry_stable, 2, true};
    }
    return {k_entry_mode, 1, false};
}

cdb16 led_cdb(uint8_t opcode, uint8_t function, uint8_t p6, uint32_t address, uint32_t length) {
    return vendor_cdb({.opcode = opcode,
                       .sub = opcode == k_op_vendor_read ? k_sub_led_read : k_sub_led_write,
                       .p5 = function,
                       .p6 = p6,
                       .address = address,
                       .length = length});
}

// The image travels in 1024-byte chunks, a last partial chunk carrying the remainder.
// Stops at the first failing chunk and returns its status.
cmd_status transfer_image(bridge_dev* dev, uint8_t* image, uint32_t size, data_direction direction) {
    for (uint32_t offset = 0; offset < size; offset += k_led_chunk_size) {
        const uint32_t length = std::min(k_led_chunk_size, size - offset);
        cmd_status status = 0;
        if (direction == data_direction::from_device) {
            // A chunk that comes back short would leave a hole in the image.
            status = read_fixed(dev, led_image_read_cdb(offset, length), image + offset, static_cast<int32_t>(length));
        } else {
            status = scsi_send(dev, led_image_write_cdb(offset, length), image + offset, static_cast<int32_t>(length),
                               direction, k_timeout_s);
        }
        if (status != 0) return status;
    }
    return 0;
}

// The bridge settles its LED memory with a plain read of one block; what it answers
// does not matter.
void settle(bridge_dev* dev) {
    alignas(4) uint8_t discard[k_led_settle_len] = {};
    scsi_send(dev, led_settle_cdb(), discard, k_led_settle_len, data_direction::from_device, k_timeout_s);
}

read_cursor image_reader(const led_mem_dev* record) { return read_cursor(record->image.get(), record->image_size); }

// A single byte read from the bridge; `out` is left as it was when the read fails.
cmd_status read_byte(bridge_dev* dev, const cdb16& cdb, uint8_t* out) {
    uint8_t value = 0;
    const cmd_status status = read_fixed(dev, cdb, &value, 1);
    if (status == 0) *out = value;
    return status;
}

cmd_status commit_if(bridge_dev* dev, led_mem_dev* record, bool commit) {
    if (!commit) return 0;
    return led_mem_commit(dev, record) == 0 ? 0 : -1;
}

}  // namespace

cdb16 led_app_ctl_read_cdb() { return led_cdb(k_op_vendor_read, k_led_fn_app_ctl, 0, 0, 1); }
cdb16 led_app_ctl_write_cdb(uint8_t enable) { return led_cdb(k_op_vendor_write, k_led_fn_app_ctl, enable, 0, 1); }
cdb16 led_image_read_cdb(uint32_t offset, uint32_t length) {
    return led_cdb(k_op_vendor_read, k_led_fn_image, 0, offset, length);
}
cdb16 led_image_write_cdb(uint32_t offset, uint32_t length) {
    return led_cdb(k_op_vendor_write, k_led_fn_image, 0, offset, length);
}
cdb16 led_direct_cdb(uint8_t sync_method, uint8_t count) {
    return led_cdb(k_op_vendor_write, k_led_fn_direct, sync_method, count, 3u * count);
}
cdb16 led_sync_support_cdb(uint8_t ecosystem) {
    return led_cdb(k_op_vendor_read, k_led_fn_sync_support, ecosystem, 0, 1);
}
cdb16 led_argb_support_cdb() { return led_cdb(k_op_vendor_read, k_led_fn_argb_support, 0, 0, 1); }

cdb16 led_settle_cdb() {
    // READ(10), logical block 65536, one block.
    return cdb16{0x28, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0};
}

cmd_status led_mem_dev_init(bridge_dev* dev, led_mem_dev* record) {
    record->image.reset(new (std::nothrow) uint8_t[k_led_image_size]());
    if (!record->image) return -1;
    record->image_size = k_led_image_size;
    record->entry_header_size = k_led_entry_header;
    record->color_row_count = k_led_color_rows;

    uint8_t argb = 0;
    if (led_get_argb_support(dev, &argb) != 0 || argb == 0 ||
        transfer_image(dev, record->image.get(), record->image_size, data_direction::from_device) != 0) {
        led_mem_dev_free(record);
        return -1;
    }
    settle(dev);
    if (led_mem_dev_index(record) != 0) {
        led_mem_dev_free(record);
        return -1;
    }
    return 0;
}

// The checks go beyond magic and version: an LED count outside 0 to 20 or an entry table
// that would run past the image would make the state rows point outside the image, and an
// entry table over the header would let a setting overwrite the magic or the LED count.
cmd_status led_mem_dev_index(led_mem_dev* record) {
    if (!record->image || record->image_size != k_led_image_size) return -1;
    read_cursor in = image_reader(record);
    const uint32_t magic = in.le32_at(k_led_off_magic);
    const uint32_t version = in.le32_at(k_led_off_version);
    const uint32_t table = in.le32_at(k_led_off_table);
    const int32_t count = static_cast<int32_t>(in.le32_at(k_led_off_count));
    if (!in.ok() || magic != k_led_magic || version != k_led_layout_version) return -1;
    if (count < 0 || count > k_led_max_leds) return -1;
    const uint64_t entries_size = static_cast<uint64_t>(k_led_entry_size) * k_led_states * static_cast<uint64_t>(count);
    if (table < k_led_header_size || !in.has(table, entries_size)) return -1;

    for (int s = 0; s < k_led_states; ++s) {
        record->state_rows[s].reset(new (std::nothrow) uint8_t*[k_led_max_leds]());
        if (!record->state_rows[s]) return -1;
        for (int k = 0; k < count; ++k) {
            record->state_rows[s][k] = record->image.get() + table + k_led_entry_size * (s * count + k);
        }
    }
    return 0;
}

void led_mem_dev_free(led_mem_dev* record) {
    if (record == nullptr) return;
    record->image.reset();
    for (auto& row : record->state_rows) row.reset();
}

cmd_status led_mem_commit(bridge_dev* dev, led_mem_dev* record) {
    if (!led_mem_valid(record)) return -1;
    const cmd_status status = transfer_image(dev, record->image.get(), record->image_size, data_direction::to_device);
    if (status != 0) return status;
    settle(dev);
    return 0;
}

bool led_mem_valid(const led_mem_dev* record) {
    if (record == nullptr || !record->image || record->image_size != k_led_image_size) return false;
    for (const auto& row : record->state_rows) {
        if (!row) return false;
    }
    read_cursor in = image_reader(record);
    const int32_t count = static_cast<int32_t>(in.le32_at(k_led_off_count));
    return in.le32_at(k_led_off_magic) == k_led_magic && in.le32_at(k_led_off_version) == k_led_layout_version &&
           count >= 0 && count <= k_led_max_leds && in.ok();
}

int32_t led_count(const led_mem_dev* record) {
    if (!led_mem_valid(record)) return 0;
    return static_cast<int32_t>(image_reader(record).le32_at(k_led_off_count));
}

uint8_t* led_entry(led_mem_dev* record, uint8_t state, uint8_t led) {
    if (!led_mem_valid(record) || state >= k_led_states || led >= led_count(record)) return nullptr;
    return record->state_rows[state][led];
}

cmd_status led_get_field(led_mem_dev* record, uint8_t state, uint8_t led, led_field field, uint16_t* value) {
    const uint8_t* entry = led_entry(record, state, led);
    if (entry == nullptr) return -1;
    const field_layout at = layout_of(field);
    read_cursor in(entry, k_led_entry_size);
    if (at.width == 1) {
        *value = in.u8_at(at.offset);
    } else {
        *value = at.big_endian ? in.be16_at(at.offset) : in.le16_at(at.offset);
    }
    return 0;
}

cmd_status led_set_field(bridge_dev* dev, led_mem_dev* record, uint8_t state, uint8_t led, led_field field,
                         uint16_t value, bool commit) {
    uint8_t* entry = led_entry(record, state, led);
    if (entry == nullptr) return -1;
    const field_layout at = layout_of(field);
    write_cursor out(entry, k_led_entry_size);
    if (at.width == 1) {
        out.u8_at(at.offset, static_cast<uint8_t>(value));
    } else if (at.big_endian) {
        out.be16_at(at.offset, value);
    } else {
        out.le16_at(at.offset, value);
    }
    return commit_if(dev, record, commit);
}

cmd_status led_get_color(led_mem_dev* record, uint8_t state, uint8_t led, uint8_t row, uint8_t rgb[3]) {
    const uint8_t* entry = led_entry(record, state, led);
    if (entry == nullptr || row >= k_led_color_rows) return -1;
    read_cursor(entry, k_led_entry_size).bytes_at(k_entry_colors + 3u * row, rgb, 3);
    return 0;
}

cmd_status led_set_color(bridge_dev* dev, led_mem_dev* record, uint8_t state, uint8_t led, uint8_t row,
                         const uint8_t* values, int count, bool commit) {
    uint8_t* entry = led_entry(record, state, led);
    if (entry == nullptr || row >= k_led_color_rows || count < 0) return -1;
    write_cursor(entry, k_led_entry_size).bytes_at(k_entry_colors + 3u * row, values, std::min(count, 3));
    return commit_if(dev, record, commit);
}

cmd_status led_get_brightness(led_mem_dev* record, uint16_t* brightness) {
    if (!led_mem_valid(record)) return -1;
    *brightness = image_reader(record).le16_at(k_led_off_brightness);
    return 0;
}

cmd_status led_set_brightness(bridge_dev* dev, led_mem_dev* record, uint16_t brightness, bool commit) {
    if (!led_mem_valid(record)) return -1;
    write_cursor(record->image.get(), record->image_size).le16_at(k_led_off_brightness, brightness);
    return commit_if(dev, record, commit);
}

cmd_status led_get_rgb_num(led_mem_dev* record, int32_t* count) {
    if (!led_mem_valid(record)) return -1;
    *count = led_count(record);
    return 0;
}

cmd_status led_get_app_ctl(bridge_dev* dev, uint8_t* enable) { return read_byte(dev, led_app_ctl_read_cdb(), enable); }

cmd_status led_set_app_ctl(bridge_dev* dev, uint8_t enable) {
    uint8_t zero = 0;
    return scsi_send(dev, led_app_ctl_write_cdb(enable != 0 ? 1 : 0), &zero, 1, data_direction::to_device, k_timeout_s);
}

cmd_status led_get_argb_support(bridge_dev* dev, uint8_t* support) {
    return read_byte(dev, led_argb_support_cdb(), support);
}

cmd_status led_get_sync_support(bridge_dev* dev, uint8_t ecosystem, uint8_t* support) {
    return read_byte(dev, led_sync_support_cdb(ecosystem), support);
}

cmd_status led_set_rgb_direct(bridge_dev* dev, uint8_t sync_method, const uint8_t* rgb, uint8_t count) {
    if (count > k_led_max_leds) return -1;
    alignas(4) uint8_t frame[3 * k_led_max_leds] = {};
    std::copy(rgb, rgb + 3 * count, frame);
    return scsi_send(dev, led_direct_cdb(sync_method, count), count == 0 ? nullptr : frame, 3 * count,
                     data_direction::to_device, k_timeout_s);
}

}  // namespace zelko
