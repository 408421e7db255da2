// The identity a lab bridge presents on a USB bus: the numbers and strings of its device
// descriptor, as the bridge's firmware presents them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lab/record/state.h"

struct usb_identity {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t device_bcd = 0;  // bcdDevice: the firmware's revision
    // String descriptors as the device hands them out (length, type 03h, UTF-16LE).
    std::vector<uint8_t> manufacturer;
    std::vector<uint8_t> product;
    std::vector<uint8_t> serial;
};

// A string descriptor of an ASCII text; a text too long for a one-byte length is cut at
// 126 characters.
std::vector<uint8_t> usb_string_of(const std::string& text);

// The lab's own vendor ID and the product IDs of its two bridge generations: what a
// bridge presents when its configuration record names none.
constexpr uint16_t k_lab_usb_vendor_id = 0x4D56;
constexpr uint16_t k_lab_usb_product_gen0 = 0x2100;
constexpr uint16_t k_lab_usb_product_gen1 = 0x2101;
constexpr uint16_t k_foreign_usb_vendor_id = 0x4D57;
constexpr uint16_t k_foreign_usb_product_id = 0x0001;

// THE source of a bridge's USB identity: what its configuration (PG) record in the flash
// holds (VID tag 3, PID tag 4, the product, manufacturer and serial-number string
// descriptors of tags 5, 6 and 7, handed out as stored), and for what it does not hold
// the bridge's defaults: the lab's vendor ID, the generation's product ID, the INQUIRY
// product and vendor as the product and manufacturer strings, and a serial number made of
// the bridge's UUID. bcdDevice is the INQUIRY revision ("1.01" is 0101h). A record that
// does not walk, or a descriptor that is no string descriptor, counts as absent.
usb_identity bridge_usb_identity(bridge_record& record);
