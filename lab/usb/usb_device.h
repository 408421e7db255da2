// The USB 2.0 high-speed mass-storage device a lab bridge is on a USB bus: its
// descriptors and its answers to the requests of endpoint 0. One configuration with one
// interface (class 08h mass storage, subclass 06h SCSI transparent command set,
// protocol 50h Bulk-Only Transport) and two bulk endpoints.
#pragma once

#include <cstdint>
#include <vector>

#include "lab/usb/usb_identity.h"

constexpr uint8_t k_usb_ep_bulk_in = 0x81;
constexpr uint8_t k_usb_ep_bulk_out = 0x02;
constexpr uint16_t k_usb_bulk_max_packet = 512;
constexpr uint8_t k_usb_ep0_max_packet = 64;
constexpr uint8_t k_usb_configuration = 1;

constexpr uint8_t k_usb_class_mass_storage = 0x08;
constexpr uint8_t k_usb_subclass_scsi = 0x06;
constexpr uint8_t k_usb_protocol_bulk_only = 0x50;

std::vector<uint8_t> usb_device_descriptor(const usb_identity& identity);
std::vector<uint8_t> usb_configuration_descriptor();
// String descriptor `index`: 0 the languages (US English), 1 manufacturer, 2 product,
// 3 serial number; empty for any other index.
std::vector<uint8_t> usb_string_descriptor(const usb_identity& identity, uint8_t index);

// The setup stage of a request on endpoint 0.
struct usb_setup {
    uint8_t request_type = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

// What a request asks the device to do besides answering it.
enum class usb_control_action { none, bulk_only_reset, clear_halt };

struct usb_control_answer {
    bool stall = false;         // the request is not served: endpoint 0 stalls
    std::vector<uint8_t> data;  // data stage toward the host, at most setup.length
    usb_control_action action = usb_control_action::none;
    uint8_t endpoint = 0;  // the endpoint of clear_halt
};

// Whether a bulk endpoint is halted now, for GET_STATUS.
struct usb_halts {
    bool in = false;
    bool out = false;
};

// Answers a standard or class request: GET_DESCRIPTOR, GET_STATUS, CLEAR_FEATURE
// (ENDPOINT_HALT), GET/SET_CONFIGURATION, GET/SET_INTERFACE, and the Bulk-Only class
// requests reset (21h/FFh) and GET_MAX_LUN (A1h/FEh). Anything else stalls.
usb_control_answer usb_answer_control(const usb_identity& identity, const usb_setup& setup, const usb_halts& halts);
