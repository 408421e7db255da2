#include "lab/model/pins/pin_state.h"

#include <utility>

void pins_power_on(bridge_pins& pins) {
    pins.gpio = {};
    pins.i2c_buses = {};
    pins.uart_ready = false;
    pins.uart_rx_pin = 0;
    pins.uart_baud = 0;
    pins.uart_received.clear();
}

void uart_log_transmission(bridge_pins& pins, uart_transmission sent) {
    if (sent.text.size() > k_uart_tx_log_limit) sent.text.erase(0, sent.text.size() - k_uart_tx_log_limit);
    size_t total = sent.text.size();
    for (const uart_transmission& old : pins.uart_sent) total += old.text.size();
    // Whole transmissions go first; the oldest one left may lose its beginning.
    size_t drop = 0;
    while (total > k_uart_tx_log_limit && drop < pins.uart_sent.size() &&
           total - pins.uart_sent[drop].text.size() >= k_uart_tx_log_limit) {
        total -= pins.uart_sent[drop].text.size();
        ++drop;
    }
    pins.uart_sent.erase(pins.uart_sent.begin(), pins.uart_sent.begin() + static_cast<std::ptrdiff_t>(drop));
    if (total > k_uart_tx_log_limit) pins.uart_sent.front().text.erase(0, total - k_uart_tx_log_limit);
    pins.uart_sent.push_back(std::move(sent));
}

i2c_slave* find_i2c_slave(bridge_pins& pins, uint8_t bus, uint16_t address) {
    for (i2c_slave& slave : pins.i2c_slaves) {
        if (slave.bus == bus && slave.address == address) return &slave;
    }
    return nullptr;
}
