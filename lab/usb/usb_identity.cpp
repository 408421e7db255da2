#include "lab/usb/usb_identity.h"

#include <cstdio>

#include "zelko/common/bytes.h"
#include "lab/model/flash/flash.h"
#include "lab/model/bridge/identity.h"

using namespace zelko;

namespace {

constexpr uint8_t k_pg_vid = 3;
constexpr uint8_t k_pg_pid = 4;
constexpr uint8_t k_pg_product = 5;
constexpr uint8_t k_pg_manufacturer = 6;
constexpr uint8_t k_pg_serial = 7;
constexpr uint8_t k_desc_string = 3;
constexpr size_t k_string_chars_max = 126;

// A PG entry's string descriptor when it is one: its length byte covers the entry's data,
// is even and at least the two header bytes, and its type is a string's.
bool is_string_descriptor(const std::vector<uint8_t>& data) {
    return data.size() >= 2 && data[0] >= 2 && data[0] % 2 == 0 && data[0] <= data.size() && data[1] == k_desc_string;
}

void take_string(const pg_walk& walk, uint8_t tag, std::vector<uint8_t>* out) {
    const std::vector<uint8_t>* data = pg_entry_data(walk, tag);
    if (data != nullptr && is_string_descriptor(*data)) out->assign(data->begin(), data->begin() + (*data)[0]);
}

void take_number(const pg_walk& walk, uint8_t tag, uint16_t* out) {
    const std::vector<uint8_t>* data = pg_entry_data(walk, tag);
    if (data != nullptr && data->size() == 2) *out = get_le16(data->data());
}

// "1.01" as binary-coded decimal 0101h; another form of revision gives 0.
uint16_t bcd_of_revision(const std::string& revision) {
    if (revision.size() != 4 || revision[1] != '.') return 0;
    uint16_t bcd = 0;
    for (const char c : {revision[0], revision[2], revision[3]}) {
        if (c < '0' || c > '9') return 0;
        bcd = static_cast<uint16_t>((bcd << 4) | static_cast<uint16_t>(c - '0'));
    }
    return bcd;
}

}  // namespace

std::vector<uint8_t> usb_string_of(const std::string& text) {
    const size_t chars = text.size() < k_string_chars_max ? text.size() : k_string_chars_max;
    std::vector<uint8_t> out(2 + 2 * chars, 0);
    out[0] = static_cast<uint8_t>(out.size());
    out[1] = k_desc_string;
    for (size_t i = 0; i < chars; ++i) out[2 + 2 * i] = static_cast<uint8_t>(text[i]);
    return out;
}

usb_identity bridge_usb_identity(bridge_record& record) {
    const bridge_params& p = record.params;
    usb_identity identity;
    const bool foreign = p.kind == k_kind_foreign;
    identity.vendor_id = foreign ? k_foreign_usb_vendor_id : k_lab_usb_vendor_id;
    if (foreign) {
        identity.product_id = k_foreign_usb_product_id;
    } else {
        identity.product_id =
            lab_generation_of_revision(p.revision) == 0 ? k_lab_usb_product_gen0 : k_lab_usb_product_gen1;
    }
    identity.device_bcd = bcd_of_revision(p.revision);
    identity.manufacturer = usb_string_of(p.vendor);
    identity.product = usb_string_of(p.product);
    char serial[16];
    std::snprintf(serial, sizeof serial, "%012X", static_cast<unsigned>(p.uuid));
    identity.serial = usb_string_of(serial);
    if (foreign) return identity;  // another vendor's disk has no PG record

    const pg_walk walk = walk_pg_record(record);
    take_number(walk, k_pg_vid, &identity.vendor_id);
    take_number(walk, k_pg_pid, &identity.product_id);
    take_string(walk, k_pg_product, &identity.product);
    take_string(walk, k_pg_manufacturer, &identity.manufacturer);
    take_string(walk, k_pg_serial, &identity.serial);
    return identity;
}
