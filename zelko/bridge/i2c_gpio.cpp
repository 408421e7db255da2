#include "zelko/bridge/i2c_gpio.h"

#include <cstring>

namespace zelko {

namespace {

cdb16 pin_setting_cdb(uint8_t sub, uint8_t gpio, uint8_t setting) {
    return vendor_cdb({.opcode = k_op_vendor_write,
                       .sub = sub,
                       .p5 = gpio,
                       .p6 = setting,
                       .length = static_cast<uint32_t>(k_pin_setting_len)});
}

// Pin settings carry a single zero byte as their data phase.
cmd_status send_pin_setting(bridge_dev* dev, const cdb16& cdb) {
    alignas(4) uint8_t zero = 0;
    return scsi_send(dev, cdb, &zero, k_pin_setting_len, data_direction::to_device, k_timeout_s);
}

}  // namespace

cdb16 i2c_init_cdb(uint8_t id, uint16_t slave, uint8_t scl, uint8_t sda) {
    cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_write,
                            .sub = k_sub_i2c_init,
                            .address = i2c_target(id, slave),
                            .length = static_cast<uint32_t>(k_pin_setting_len)});
    cdb[k_i2c_init_scl_byte] = scl;
    cdb[k_i2c_init_sda_byte] = sda;
    return cdb;
}

cdb16 i2c_write_cdb(uint8_t id, uint16_t slave, uint32_t count) {
    return vendor_cdb({.opcode = k_op_vendor_write,
                       .sub = k_sub_i2c_write,
                       .p5 = k_i2c_plain,
                       .address = i2c_target(id, slave),
                       .length = count});
}

cdb16 i2c_read_cdb(uint8_t id, uint16_t slave, bool write_first, uint8_t write_byte, uint32_t length) {
    vendor_fields fields{
        .opcode = k_op_vendor_read, .sub = k_sub_i2c_read, .address = i2c_target(id, slave), .length = length};
    if (write_first) {
        fields.p6 = k_i2c_write_first;
        fields.p7 = write_byte;
    } else {
        fields.p5 = k_i2c_plain;
    }
    return vendor_cdb(fields);
}

cdb16 gpio_mux_cdb(uint8_t gpio, uint8_t function) { return pin_setting_cdb(k_sub_gpio_mux, gpio, function); }

cdb16 gpio_dir_cdb(uint8_t gpio, uint8_t dir) { return pin_setting_cdb(k_sub_gpio_dir, gpio, dir); }

cdb16 gpio_set_cdb(uint8_t gpio, uint8_t value) { return pin_setting_cdb(k_sub_gpio_set, gpio, value); }

cdb16 gpio_get_cdb(uint8_t gpio) {
    return vendor_cdb({.opcode = k_op_vendor_read,
                       .sub = k_sub_gpio_get,
                       .p5 = gpio,
                       .length = static_cast<uint32_t>(k_pin_setting_len)});
}

cmd_status i2c_init(bridge_dev* dev, uint8_t id, uint16_t slave, uint8_t scl, uint8_t sda) {
    return send_pin_setting(dev, i2c_init_cdb(id, slave, scl, sda));
}

// At most k_i2c_max_write bytes; a longer write is refused before anything is sent.
cmd_status i2c_write(bridge_dev* dev, uint8_t id, uint16_t slave, const uint8_t* data, int32_t count) {
    if (count < 0 || count > k_i2c_max_write) return -1;
    alignas(4) uint8_t copy[k_i2c_max_write] = {};
    if (count > 0) std::memcpy(copy, data, static_cast<size_t>(count));
    return scsi_send(dev, i2c_write_cdb(id, slave, static_cast<uint32_t>(count)), copy, count,
                     data_direction::to_device, k_timeout_s);
}

cmd_status i2c_read(bridge_dev* dev, uint8_t id, uint16_t slave, bool write_first, uint8_t write_byte, uint8_t* buffer,
                    int32_t length) {
    if (length < 0) return -1;
    const cdb16 cdb = i2c_read_cdb(id, slave, write_first, write_byte, static_cast<uint32_t>(length));
    return read_fixed(dev, cdb, buffer, length);
}

cmd_status gpio_mux(bridge_dev* dev, uint8_t gpio, uint8_t function) {
    return send_pin_setting(dev, gpio_mux_cdb(gpio, function));
}

cmd_status gpio_dir(bridge_dev* dev, uint8_t gpio, uint8_t dir) {
    return send_pin_setting(dev, gpio_dir_cdb(gpio, dir));
}

cmd_status gpio_set(bridge_dev* dev, uint8_t gpio, uint8_t value) {
    return send_pin_setting(dev, gpio_set_cdb(gpio, value));
}

cmd_status gpio_get(bridge_dev* dev, uint8_t gpio, uint8_t* value) {
    alignas(4) uint8_t raw = 0;
    const cmd_status status = read_fixed(dev, gpio_get_cdb(gpio), &raw, k_pin_setting_len);
    if (status == 0) *value = raw;
    return status;
}

}  // namespace zelko
