// The bridge's general-purpose pins: I2C master and GPIO operations. Command blocks are
// built by pure functions; the operations send them.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Sub-commands (byte 4 of the vendor command block).
constexpr uint8_t k_sub_i2c_init = 0x3F;   // E3
constexpr uint8_t k_sub_i2c_write = 0x3D;  // E3
constexpr uint8_t k_sub_i2c_read = 0xBC;   // E2
constexpr uint8_t k_sub_gpio_mux = 0x41;   // E3
constexpr uint8_t k_sub_gpio_set = 0x45;   // E3
constexpr uint8_t k_sub_gpio_dir = 0x46;   // E3
constexpr uint8_t k_sub_gpio_get = 0xC5;   // E2

// I2C init carries the clock and data pins in bytes 2 and 3, outside the usual
// parameter bytes; the target (slave address, bus id) fills bytes 8 to 10.
constexpr int k_i2c_init_scl_byte = 2;
constexpr int k_i2c_init_sda_byte = 3;

// Byte 5 of an I2C write or plain read; a read after write clears it and sets byte 6.
constexpr uint8_t k_i2c_plain = 0x01;
constexpr uint8_t k_i2c_write_first = 0x01;

// Largest I2C write and read the commands make.
constexpr int k_i2c_max_write = 20;
constexpr int k_i2c_max_read = 255;

// GPIO settings.
constexpr uint8_t k_gpio_function_gpio = 2;
constexpr uint8_t k_gpio_dir_in = 0;
constexpr uint8_t k_gpio_dir_out = 1;

// Settings carry one zero data byte.
constexpr int32_t k_pin_setting_len = 1;

// Bytes 8 to 11: the slave address (little-endian) in bytes 8-9, the bus id in byte 10.
constexpr uint32_t i2c_target(uint8_t id, uint16_t slave) {
    return static_cast<uint32_t>(slave) | (static_cast<uint32_t>(id) << 16);
}

// Command block builders (no I/O).
cdb16 i2c_init_cdb(uint8_t id, uint16_t slave, uint8_t scl, uint8_t sda);
cdb16 i2c_write_cdb(uint8_t id, uint16_t slave, uint32_t count);
cdb16 i2c_read_cdb(uint8_t id, uint16_t slave, bool write_first, uint8_t write_byte, uint32_t length);
cdb16 gpio_mux_cdb(uint8_t gpio, uint8_t function);
cdb16 gpio_dir_cdb(uint8_t gpio, uint8_t dir);
cdb16 gpio_set_cdb(uint8_t gpio, uint8_t value);
cdb16 gpio_get_cdb(uint8_t gpio);

// Operations; each returns the cmd_status of its exchange, or -1 for an argument refused
// before anything is sent. The settings (init, mux, direction, set) each carry one zero
// data byte (k_pin_setting_len).
cmd_status i2c_init(bridge_dev* dev, uint8_t id, uint16_t slave, uint8_t scl, uint8_t sda);
// Writes the `count` bytes at `data`; -1 for more than k_i2c_max_write or a negative count.
cmd_status i2c_write(bridge_dev* dev, uint8_t id, uint16_t slave, const uint8_t* data, int32_t count);
// Reads `length` bytes into `buffer` (the commands read at most k_i2c_max_read), after
// writing `write_byte` when `write_first`. An answer shorter than `length` fails with
// k_status_short_answer; -1 for a negative length.
cmd_status i2c_read(bridge_dev* dev, uint8_t id, uint16_t slave, bool write_first, uint8_t write_byte, uint8_t* buffer,
                    int32_t length);
cmd_status gpio_mux(bridge_dev* dev, uint8_t gpio, uint8_t function);
cmd_status gpio_dir(bridge_dev* dev, uint8_t gpio, uint8_t dir);
cmd_status gpio_set(bridge_dev* dev, uint8_t gpio, uint8_t value);
// Reads the pin's one-byte level into `*value` (untouched on failure).
cmd_status gpio_get(bridge_dev* dev, uint8_t gpio, uint8_t* value);

}  // namespace zelko
ZELKO_API_END
