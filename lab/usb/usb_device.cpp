#include "lab/usb/usb_device.h"

#include "zelko/common/bytes.h"

using namespace zelko;

namespace {

constexpr uint8_t k_desc_device = 1;
constexpr uint8_t k_desc_configuration = 2;
constexpr uint8_t k_desc_string = 3;
constexpr uint8_t k_desc_interface = 4;
constexpr uint8_t k_desc_endpoint = 5;
constexpr uint8_t k_desc_device_qualifier = 6;

constexpr uint16_t k_bcd_usb2 = 0x0200;
constexpr uint16_t k_lang_us_english = 0x0409;
constexpr uint8_t k_string_manufacturer = 1;
constexpr uint8_t k_string_product = 2;
constexpr uint8_t k_string_serial = 3;
constexpr uint8_t k_attributes_bus_powered = 0x80;
constexpr uint8_t k_max_power_500ma = 250;  // 2 mA units
constexpr uint8_t k_transfer_bulk = 2;

// bmRequestType values: direction, type (standard, class) and recipient.
constexpr uint8_t k_rt_device_in = 0x80;
constexpr uint8_t k_rt_interface_in = 0x81;
constexpr uint8_t k_rt_endpoint_in = 0x82;
constexpr uint8_t k_rt_device_out = 0x00;
constexpr uint8_t k_rt_interface_out = 0x01;
constexpr uint8_t k_rt_endpoint_out = 0x02;
constexpr uint8_t k_rt_class_interface_out = 0x21;
constexpr uint8_t k_rt_class_interface_in = 0xA1;

constexpr uint8_t k_req_get_status = 0;
constexpr uint8_t k_req_clear_feature = 1;
constexpr uint8_t k_req_get_descriptor = 6;
constexpr uint8_t k_req_get_configuration = 8;
constexpr uint8_t k_req_set_configuration = 9;
constexpr uint8_t k_req_get_interface = 10;
constexpr uint8_t k_req_set_interface = 11;
constexpr uint8_t k_req_bulk_only_reset = 0xFF;
constexpr uint8_t k_req_get_max_lun = 0xFE;
constexpr uint16_t k_feature_endpoint_halt = 0;

void append_endpoint(std::vector<uint8_t>& out, uint8_t address) {
    const size_t at = out.size();
    out.resize(at + 7, 0);
    out[at] = 7;
    out[at + 1] = k_desc_endpoint;
    out[at + 2] = address;
    out[at + 3] = k_transfer_bulk;
    put_le16(&out[at + 4], k_usb_bulk_max_packet);
}

std::vector<uint8_t> device_qualifier() {
    std::vector<uint8_t> out(10, 0);
    out[0] = 10;
    out[1] = k_desc_device_qualifier;
    put_le16(&out[2], k_bcd_usb2);
    out[7] = k_usb_ep0_max_packet;
    out[8] = 1;
    return out;
}

// The descriptor a GET_DESCRIPTOR names, or empty when the device has none such.
std::vector<uint8_t> descriptor(const usb_identity& identity, uint16_t value) {
    const auto type = static_cast<uint8_t>(value >> 8);
    const auto index = static_cast<uint8_t>(value);
    if (type == k_desc_device && index == 0) return usb_device_descriptor(identity);
    if (type == k_desc_configuration && index == 0) return usb_configuration_descriptor();
    if (type == k_desc_string) return usb_string_descriptor(identity, index);
    if (type == k_desc_device_qualifier && index == 0) return device_qualifier();
    return {};
}

usb_control_answer data_answer(std::vector<uint8_t> data, uint16_t length) {
    usb_control_answer answer;
    if (data.size() > length) data.resize(length);
    answer.data = std::move(data);
    return answer;
}

usb_control_answer stall() {
    usb_control_answer answer;
    answer.stall = true;
    return answer;
}

bool is_bulk_endpoint(uint16_t index) { return index == k_usb_ep_bulk_in || index == k_usb_ep_bulk_out; }

}  // namespace

std::vector<uint8_t> usb_device_descriptor(const usb_identity& identity) {
    std::vector<uint8_t> out(18, 0);
    out[0] = 18;
    out[1] = k_desc_device;
    put_le16(&out[2], k_bcd_usb2);
    out[7] = k_usb_ep0_max_packet;  // class, subclass, protocol 0: the interface says
    put_le16(&out[8], identity.vendor_id);
    put_le16(&out[10], identity.product_id);
    put_le16(&out[12], identity.device_bcd);
    out[14] = k_string_manufacturer;
    out[15] = k_string_product;
    out[16] = k_string_serial;
    out[17] = 1;
    return out;
}

std::vector<uint8_t> usb_configuration_descriptor() {
    std::vector<uint8_t> out(18, 0);
    out[0] = 9;
    out[1] = k_desc_configuration;
    out[4] = 1;  // interfaces
    out[5] = k_usb_configuration;
    out[7] = k_attributes_bus_powered;
    out[8] = k_max_power_500ma;
    out[9] = 9;
    out[10] = k_desc_interface;
    out[13] = 2;  // endpoints
    out[14] = k_usb_class_mass_storage;
    out[15] = k_usb_subclass_scsi;
    out[16] = k_usb_protocol_bulk_only;
    append_endpoint(out, k_usb_ep_bulk_in);
    append_endpoint(out, k_usb_ep_bulk_out);
    put_le16(&out[2], static_cast<uint16_t>(out.size()));
    return out;
}

std::vector<uint8_t> usb_string_descriptor(const usb_identity& identity, uint8_t index) {
    switch (index) {
        case 0: {
            std::vector<uint8_t> out = {4, k_desc_string, 0, 0};
            put_le16(&out[2], k_lang_us_english);
            return out;
        }
        case k_string_manufacturer: return identity.manufacturer;
        case k_string_product: return identity.product;
        case k_string_serial: return identity.serial;
        default: return {};
    }
}

usb_control_answer usb_answer_control(const usb_identity& identity, const usb_setup& setup, const usb_halts& halts) {
    const uint8_t type = setup.request_type;
    const uint8_t request = setup.request;
    if (type == k_rt_device_in && request == k_req_get_descriptor) {
        std::vector<uint8_t> found = descriptor(identity, setup.value);
        return found.empty() ? stall() : data_answer(std::move(found), setup.length);
    }
    if (request == k_req_get_status && (type == k_rt_device_in || type == k_rt_interface_in)) {
        return data_answer({0, 0}, setup.length);
    }
    if (type == k_rt_endpoint_in && request == k_req_get_status) {
        if (setup.index == 0) return data_answer({0, 0}, setup.length);
        if (!is_bulk_endpoint(setup.index)) return stall();
        const bool halted = setup.index == k_usb_ep_bulk_in ? halts.in : halts.out;
        return data_answer({static_cast<uint8_t>(halted ? 1 : 0), 0}, setup.length);
    }
    if (type == k_rt_endpoint_out && request == k_req_clear_feature && setup.value == k_feature_endpoint_halt) {
        if (setup.index == 0) return {};
        if (!is_bulk_endpoint(setup.index)) return stall();
        usb_control_answer answer;
        answer.action = usb_control_action::clear_halt;
        answer.endpoint = static_cast<uint8_t>(setup.index);
        return answer;
    }
    if (type == k_rt_device_in && request == k_req_get_configuration)
        return data_answer({k_usb_configuration}, setup.length);
    if (type == k_rt_device_out && request == k_req_set_configuration) {
        return setup.value <= k_usb_configuration ? usb_control_answer{} : stall();
    }
    if (type == k_rt_interface_in && request == k_req_get_interface && setup.index == 0)
        return data_answer({0}, setup.length);
    if (type == k_rt_interface_out && request == k_req_set_interface) {
        return setup.index == 0 && setup.value == 0 ? usb_control_answer{} : stall();
    }
    if (type == k_rt_class_interface_out && request == k_req_bulk_only_reset && setup.index == 0 && setup.length == 0) {
        usb_control_answer answer;
        answer.action = usb_control_action::bulk_only_reset;
        return answer;
    }
    if (type == k_rt_class_interface_in && request == k_req_get_max_lun && setup.index == 0) {
        return data_answer({0}, setup.length);  // one logical unit
    }
    return stall();
}
