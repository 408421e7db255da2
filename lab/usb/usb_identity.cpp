#include "lab/usb/usb_identity.h"

#include <cstdio>

#include "lab/model/identity.h"

namespace {

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

usb_identity bridge_usb_identity(const bridge_record& record) {
    const bridge_params& p = record.params;
    usb_identity identity;
    const bool foreign = p.kind == k_kind_foreign;
    identity.vendor_id = foreign ? k_foreign_usb_vendor_id : k_lab_usb_vendor_id;
    if (foreign) {
        identity.product_id = k_foreign_usb_product_id;
    } else {
        identity.product_id = lab_generation_of_revision(p.revision) == 0 ? k_lab_usb_product_gen0 : k_lab_usb_product_gen1;
    }
    identity.device_bcd = bcd_of_revision(p.revision);
    identity.manufacturer = p.vendor;
    identity.product = p.product;
    char serial[16];
    std::snprintf(serial, sizeof serial, "%012X", static_cast<unsigned>(p.uuid));
    identity.serial = serial;
    return identity;
}
