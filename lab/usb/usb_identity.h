// The identity a lab bridge presents on a USB bus: the numbers and strings of its device
// descriptor, as the bridge's firmware presents them.
#pragma once

#include <cstdint>
#include <string>

#include "lab/state.h"

struct usb_identity {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t device_bcd = 0;     // bcdDevice: the firmware's revision
    std::string manufacturer;
    std::string product;
    std::string serial;
};

// The lab's own vendor ID and the product IDs of its two bridge generations: what a
// bridge presents when its configuration record names none.
constexpr uint16_t k_lab_usb_vendor_id = 0x4D56;
constexpr uint16_t k_lab_usb_product_gen0 = 0x2100;
constexpr uint16_t k_lab_usb_product_gen1 = 0x2101;
constexpr uint16_t k_foreign_usb_vendor_id = 0x4D57;
constexpr uint16_t k_foreign_usb_product_id = 0x0001;

// THE source of a bridge's USB identity. Today it is the bridge's defaults: the lab's
// vendor ID, the generation's product ID, the INQUIRY vendor and product as the
// manufacturer and product strings, the INQUIRY revision as bcdDevice ("1.01" is
// 0101h) and a serial number made of the bridge's UUID. The configuration (PG) record's
// VID, PID, strings and serial number take their place where the record holds them.
usb_identity bridge_usb_identity(const bridge_record& record);
