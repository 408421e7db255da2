// What a lab bridge keeps about its general-purpose pins: the GPIO settings, the I2C
// buses set up on them with the slave devices wired to them, and the serial port.
//
// Power-on values are the members' defaults. A restart (pins_power_on) forgets what the
// firmware holds in RAM: pin functions, directions and output latches, the I2C bus
// setups, the serial receiver's setup and the bytes it received. What lives outside
// the bridge stays: the levels driven onto input pins, the slaves and their memory,
// and the log of what went out of the transmit pin.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t k_gpio_pin_count = 32;   // GPIO numbers 0..31
constexpr uint8_t k_pin_function_gpio = 2;  // mux function that makes a pin a GPIO
constexpr uint8_t k_pin_function_max = 7;   // the mux field is three bits wide
constexpr uint32_t k_i2c_bus_count = 2;     // I2C ids 0 and 1
constexpr uint32_t k_i2c_max_slaves = 8;
constexpr uint32_t k_i2c_eeprom_size = 256;
constexpr uint32_t k_uart_tx_log_limit = 4096;  // text kept of what was transmitted
constexpr uint32_t k_uart_rx_capacity = 4096;   // bytes the receive buffer holds

struct gpio_pin {
    uint8_t function = 0;  // mux function; k_pin_function_gpio makes it a GPIO
    uint8_t output = 0;    // direction: 0 input, 1 output
    uint8_t latch = 0;     // output value register: what the pin drives as a GPIO output
};

struct i2c_bus_setup {
    bool ready = false;  // set up by an I2C init since power-on
    uint8_t scl = 0;     // GPIO numbers of the clock and data lines
    uint8_t sda = 0;
    uint16_t slave = 0;  // slave address the init named
};

enum class i2c_slave_kind : uint8_t { eeprom };

// A slave device on one of the bridge's I2C buses. An EEPROM holds 256 bytes behind an
// internal address pointer.
struct i2c_slave {
    uint8_t bus = 0;
    uint16_t address = 0;
    i2c_slave_kind kind = i2c_slave_kind::eeprom;
    uint8_t pointer = 0;
    std::vector<uint8_t> memory = std::vector<uint8_t>(k_i2c_eeprom_size, 0xFF);
};

// One transmission seen on the transmit pin. pin -1: the bridge's own transmit pin
// (the command did not name one).
struct uart_transmission {
    int pin = -1;
    uint32_t baud = 0;
    std::string text;
};

struct bridge_pins {
    std::array<gpio_pin, k_gpio_pin_count> gpio{};
    uint32_t gpio_input_high = 0;  // bit n: the level driven onto pin n from outside
    std::array<i2c_bus_setup, k_i2c_bus_count> i2c_buses{};
    std::vector<i2c_slave> i2c_slaves = {i2c_slave{.bus = 0, .address = 0x50}};  // a board EEPROM
    bool uart_ready = false;  // receiver set up by a UART init since power-on
    uint8_t uart_rx_pin = 0;
    uint32_t uart_baud = 0;
    std::vector<uart_transmission> uart_sent;  // oldest first, at most k_uart_tx_log_limit bytes of text
    std::vector<uint8_t> uart_received;        // waiting to be read, oldest first
};

// Back to the power-on values of what the firmware holds in RAM.
void pins_power_on(bridge_pins& pins);

// Appends a transmission to the log and drops the oldest text beyond the limit.
void uart_log_transmission(bridge_pins& pins, uart_transmission sent);

// The slave at `address` on `bus`, or null.
i2c_slave* find_i2c_slave(bridge_pins& pins, uint8_t bus, uint16_t address);
