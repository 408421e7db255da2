#include "lab/model/pins/pin_fields.h"

#include <utility>

#include "lab/record/text.h"

namespace {

using lines = std::vector<std::string>;

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

std::string join(const lines& items, const char* separator, const char* when_empty) {
    if (items.empty()) return when_empty;
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
    return out;
}

bool parse_at_most(const std::string& text, uint32_t max, uint32_t* value) {
    return parse_u32(text, value) && *value <= max;
}

// Hex digits, with or without "0x", at most four.
bool parse_slave_address(const std::string& text, uint16_t* address) {
    const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = prefixed ? text.substr(2) : text;
    uint32_t value = 0;
    if (digits.empty() || digits.size() > 4 || !parse_u32("0x" + digits, &value)) return false;
    *address = static_cast<uint16_t>(value);
    return true;
}

// GPIO pins.

bool at_power_on(const gpio_pin& pin) { return pin.function == 0 && pin.output == 0 && pin.latch == 0; }

lines encode_gpio_pins(const bridge_record& record) {
    lines out;
    for (uint32_t n = 0; n < k_gpio_pin_count; ++n) {
        const gpio_pin& pin = record.pins.gpio[n];
        if (at_power_on(pin)) continue;
        out.push_back(std::to_string(n) + " " + std::to_string(pin.function) + " " + std::to_string(pin.output) + " " +
                      std::to_string(pin.latch));
    }
    return out;
}

bool decode_gpio_pins(bridge_record& record, const std::string& value, std::string* error) {
    const std::vector<std::string> words = split_words(value);
    uint32_t n = 0;
    uint32_t function = 0;
    uint32_t output = 0;
    uint32_t latch = 0;
    if (words.size() != 4 || !parse_at_most(words[0], k_gpio_pin_count - 1, &n) ||
        !parse_at_most(words[1], k_pin_function_max, &function) || !parse_at_most(words[2], 1, &output) ||
        !parse_at_most(words[3], 1, &latch)) {
        return fail(error, "bad gpio_pins line");
    }
    record.pins.gpio[n] = {static_cast<uint8_t>(function), static_cast<uint8_t>(output), static_cast<uint8_t>(latch)};
    return true;
}

std::string show_gpio_pins(const bridge_record& record) {
    lines items;
    for (uint32_t n = 0; n < k_gpio_pin_count; ++n) {
        const gpio_pin& pin = record.pins.gpio[n];
        if (at_power_on(pin)) continue;
        const std::string function =
            pin.function == k_pin_function_gpio ? "gpio" : "function " + std::to_string(pin.function);
        items.push_back(std::to_string(n) + " " + function + (pin.output != 0 ? " out" : " in") + " latch " +
                        std::to_string(pin.latch));
    }
    return join(items, ", ", "all at power-on");
}

// Levels driven onto the pins from outside.

std::string gpio_in_text(const bridge_record& record) {
    lines items;
    for (uint32_t n = 0; n < k_gpio_pin_count; ++n) {
        if ((record.pins.gpio_input_high >> n) & 1u) items.push_back(std::to_string(n) + "=1");
    }
    return join(items, ",", "");
}

lines encode_gpio_in(const bridge_record& record) {
    const std::string text = gpio_in_text(record);
    return text.empty() ? lines{} : lines{text};
}

bool set_gpio_in(bridge_record& record, const std::string& value, std::string* error) {
    uint32_t high = record.pins.gpio_input_high;
    for (const std::string& item : split_at(value, ',')) {
        const size_t equals = item.find('=');
        uint32_t n = 0;
        uint32_t level = 0;
        if (equals == std::string::npos || !parse_at_most(item.substr(0, equals), k_gpio_pin_count - 1, &n) ||
            !parse_at_most(item.substr(equals + 1), 1, &level)) {
            return fail(error, "gpio_in takes PIN=LEVEL[,PIN=LEVEL]... with pins 0 to " +
                                   std::to_string(k_gpio_pin_count - 1) + " and levels 0 or 1");
        }
        high = level != 0 ? high | (1u << n) : high & ~(1u << n);
    }
    record.pins.gpio_input_high = high;
    return true;
}

std::string show_gpio_in(const bridge_record& record) {
    const std::string text = gpio_in_text(record);
    return text.empty() ? "all low" : text;
}

// I2C buses set up by an init.

lines encode_i2c_buses(const bridge_record& record) {
    lines out;
    for (uint32_t id = 0; id < k_i2c_bus_count; ++id) {
        const i2c_bus_setup& bus = record.pins.i2c_buses[id];
        if (!bus.ready) continue;
        out.push_back(std::to_string(id) + " " + std::to_string(bus.scl) + " " + std::to_string(bus.sda) + " " +
                      hex_number(bus.slave, 4));
    }
    return out;
}

bool decode_i2c_buses(bridge_record& record, const std::string& value, std::string* error) {
    const std::vector<std::string> words = split_words(value);
    uint32_t id = 0;
    uint32_t scl = 0;
    uint32_t sda = 0;
    uint32_t slave = 0;
    if (words.size() != 4 || !parse_at_most(words[0], k_i2c_bus_count - 1, &id) ||
        !parse_at_most(words[1], k_gpio_pin_count - 1, &scl) || !parse_at_most(words[2], k_gpio_pin_count - 1, &sda) ||
        !parse_at_most(words[3], 0xFFFF, &slave)) {
        return fail(error, "bad i2c_buses line");
    }
    record.pins.i2c_buses[id] = {true, static_cast<uint8_t>(scl), static_cast<uint8_t>(sda),
                                 static_cast<uint16_t>(slave)};
    return true;
}

std::string show_i2c_buses(const bridge_record& record) {
    lines items;
    for (uint32_t id = 0; id < k_i2c_bus_count; ++id) {
        const i2c_bus_setup& bus = record.pins.i2c_buses[id];
        if (!bus.ready) continue;
        items.push_back(std::to_string(id) + " scl " + std::to_string(bus.scl) + " sda " + std::to_string(bus.sda) +
                        " slave " + hex_number(bus.slave, 4));
    }
    return join(items, "; ", "none set up");
}

// Slaves on the buses.

struct slave_kind_name {
    const char* name;
    i2c_slave_kind kind;
};
constexpr slave_kind_name k_slave_kinds[] = {{"eeprom", i2c_slave_kind::eeprom}};

const char* kind_name(i2c_slave_kind kind) {
    for (const slave_kind_name& row : k_slave_kinds) {
        if (row.kind == kind) return row.name;
    }
    return "?";
}

std::string slave_label(const i2c_slave& slave) {
    return std::to_string(slave.bus) + ":" + hex_digits(slave.address, 4);
}

bool parse_slave_label(const std::string& text, uint8_t* bus, uint16_t* address) {
    const std::vector<std::string> parts = split_at(text, ':');
    uint32_t id = 0;
    if (parts.size() != 2 || !parse_at_most(parts[0], k_i2c_bus_count - 1, &id) ||
        !parse_slave_address(parts[1], address)) {
        return false;
    }
    *bus = static_cast<uint8_t>(id);
    return true;
}

std::string slaves_text(const bridge_record& record) {
    lines items;
    for (const i2c_slave& slave : record.pins.i2c_slaves) {
        items.push_back(slave_label(slave) + ":" + kind_name(slave.kind));
    }
    return join(items, ",", "none");
}

lines encode_i2c_slaves(const bridge_record& record) { return {slaves_text(record)}; }

bool parse_slave(const std::string& item, i2c_slave* slave) {
    const size_t last = item.rfind(':');
    if (last == std::string::npos || !parse_slave_label(item.substr(0, last), &slave->bus, &slave->address)) {
        return false;
    }
    const std::string kind = item.substr(last + 1);
    for (const slave_kind_name& row : k_slave_kinds) {
        if (kind == row.name) {
            slave->kind = row.kind;
            return true;
        }
    }
    return false;
}

// The new list replaces the old; a slave of the same bus, address and kind keeps its
// memory and pointer.
bool set_i2c_slaves(bridge_record& record, const std::string& value, std::string* error) {
    bridge_pins& pins = record.pins;
    std::vector<i2c_slave> slaves;
    if (value != "none") {
        for (const std::string& item : split_at(value, ',')) {
            i2c_slave slave;
            if (!parse_slave(item, &slave)) {
                return fail(error, "i2c_slaves takes ID:ADDRESS:KIND[,...] with ids 0 to " +
                                       std::to_string(k_i2c_bus_count - 1) +
                                       ", hex addresses and the kind eeprom, or none");
            }
            for (const i2c_slave& other : slaves) {
                if (other.bus == slave.bus && other.address == slave.address) {
                    return fail(error, "i2c_slaves names " + slave_label(slave) + " twice");
                }
            }
            const i2c_slave* old = find_i2c_slave(pins, slave.bus, slave.address);
            slaves.push_back(old != nullptr && old->kind == slave.kind ? *old : slave);
        }
    }
    if (slaves.size() > k_i2c_max_slaves) {
        return fail(error, "i2c_slaves holds at most " + std::to_string(k_i2c_max_slaves) + " slaves");
    }
    pins.i2c_slaves = std::move(slaves);
    return true;
}

// EEPROM contents.

size_t programmed_bytes(const i2c_slave& slave) {
    size_t count = 0;
    for (const uint8_t byte : slave.memory) count += byte != 0xFF ? 1 : 0;
    return count;
}

bool untouched(const i2c_slave& slave) { return slave.pointer == 0 && programmed_bytes(slave) == 0; }

lines encode_i2c_eeprom(const bridge_record& record) {
    lines out;
    for (const i2c_slave& slave : record.pins.i2c_slaves) {
        if (slave.kind != i2c_slave_kind::eeprom || untouched(slave)) continue;
        out.push_back(slave_label(slave) + " " + hex_number(slave.pointer, 2) + " " +
                      hex_bytes(slave.memory.data(), slave.memory.size(), ""));
    }
    return out;
}

bool decode_i2c_eeprom(bridge_record& record, const std::string& value, std::string* error) {
    const std::vector<std::string> words = split_words(value);
    uint8_t bus = 0;
    uint16_t address = 0;
    uint32_t pointer = 0;
    std::vector<uint8_t> memory;
    if (words.size() != 3 || !parse_slave_label(words[0], &bus, &address) || !parse_at_most(words[1], 0xFF, &pointer) ||
        !parse_hex_pairs(words[2], &memory) || memory.size() != k_i2c_eeprom_size) {
        return fail(error, "bad i2c_eeprom line");
    }
    i2c_slave* slave = find_i2c_slave(record.pins, bus, address);
    if (slave == nullptr || slave->kind != i2c_slave_kind::eeprom) {
        return fail(error, "i2c_eeprom for " + words[0] + ", which is no EEPROM of i2c_slaves");
    }
    slave->pointer = static_cast<uint8_t>(pointer);
    slave->memory = std::move(memory);
    return true;
}

std::string show_i2c_eeprom(const bridge_record& record) {
    lines items;
    for (const i2c_slave& slave : record.pins.i2c_slaves) {
        if (slave.kind != i2c_slave_kind::eeprom || untouched(slave)) continue;
        items.push_back(slave_label(slave) + " pointer " + hex_number(slave.pointer, 2) + ", " +
                        std::to_string(programmed_bytes(slave)) + " of " + std::to_string(k_i2c_eeprom_size) +
                        " bytes not erased");
    }
    return join(items, "; ", "all erased");
}

// The serial receiver's setup.

lines encode_uart_receiver(const bridge_record& record) {
    const bridge_pins& pins = record.pins;
    if (!pins.uart_ready) return {};
    return {std::to_string(pins.uart_rx_pin) + " " + std::to_string(pins.uart_baud)};
}

bool decode_uart_receiver(bridge_record& record, const std::string& value, std::string* error) {
    const std::vector<std::string> words = split_words(value);
    uint32_t pin = 0;
    uint32_t baud = 0;
    if (words.size() != 2 || !parse_at_most(words[0], k_gpio_pin_count - 1, &pin) || !parse_u32(words[1], &baud)) {
        return fail(error, "bad uart_receiver line");
    }
    bridge_pins& pins = record.pins;
    pins.uart_ready = true;
    pins.uart_rx_pin = static_cast<uint8_t>(pin);
    pins.uart_baud = baud;
    return true;
}

std::string show_uart_receiver(const bridge_record& record) {
    const bridge_pins& pins = record.pins;
    if (!pins.uart_ready) return "not set up";
    return "pin " + std::to_string(pins.uart_rx_pin) + " at " + std::to_string(pins.uart_baud) + " baud";
}

// What went out of the transmit pin.

lines encode_uart_tx(const bridge_record& record) {
    lines out;
    for (const uart_transmission& sent : record.pins.uart_sent) {
        out.push_back((sent.pin < 0 ? std::string("-") : std::to_string(sent.pin)) + " " + std::to_string(sent.baud) +
                      " " + escape_text(sent.text));
    }
    return out;
}

// The lab never keeps more than the log's limit of text, so a file holding more is
// damaged; refusing it also keeps the loading of any file linear in its size.
bool decode_uart_tx(bridge_record& record, const std::string& value, std::string* error) {
    const std::vector<std::string> words = split_words(value);
    uart_transmission sent;
    uint32_t pin = 0;
    if (words.size() != 3 || (words[0] != "-" && !parse_at_most(words[0], k_gpio_pin_count - 1, &pin)) ||
        !parse_u32(words[1], &sent.baud) || !unescape_text(words[2], &sent.text) || sent.text.empty()) {
        return fail(error, "bad uart_tx line");
    }
    std::vector<uart_transmission>& log = record.pins.uart_sent;
    size_t total = sent.text.size();
    for (const uart_transmission& old : log) total += old.text.size();
    if (total > k_uart_tx_log_limit) {
        return fail(error, "uart_tx lines hold more than " + std::to_string(k_uart_tx_log_limit) + " bytes of text");
    }
    sent.pin = words[0] == "-" ? -1 : static_cast<int>(pin);
    log.push_back(std::move(sent));
    return true;
}

std::string show_uart_tx(const bridge_record& record) {
    lines items;
    for (const uart_transmission& sent : record.pins.uart_sent) {
        const std::string pin = sent.pin < 0 ? "own pin" : "pin " + std::to_string(sent.pin);
        items.push_back(pin + " at " + std::to_string(sent.baud) + " baud " + quoted_text(sent.text));
    }
    return join(items, "; ", "nothing sent");
}

// Bytes waiting in the receive buffer.

constexpr size_t k_rx_bytes_shown = 16;
constexpr const char* k_hex_prefix = "hex:";

lines encode_uart_rx(const bridge_record& record) {
    const std::vector<uint8_t>& waiting = record.pins.uart_received;
    if (waiting.empty()) return {};
    return {hex_bytes(waiting.data(), waiting.size())};
}

bool decode_uart_rx(bridge_record& record, const std::string& value, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!parse_hex_pairs(value, &bytes) || bytes.empty() || bytes.size() > k_uart_rx_capacity)
        return fail(error, "bad uart_rx line");
    record.pins.uart_received = std::move(bytes);
    return true;
}

bool feed_uart_rx(bridge_record& record, const std::string& value, std::string* error) {
    std::vector<uint8_t> bytes;
    if (value.starts_with(k_hex_prefix)) {
        if (!parse_hex_pairs(value.substr(std::string(k_hex_prefix).size()), &bytes) || bytes.empty()) {
            return fail(error, "uart_rx takes hex pairs after hex:");
        }
    } else {
        bytes.assign(value.begin(), value.end());
    }
    if (bytes.empty()) return fail(error, "uart_rx takes text, or hex: and hex pairs");
    std::vector<uint8_t>& waiting = record.pins.uart_received;
    if (waiting.size() + bytes.size() > k_uart_rx_capacity) {
        return fail(error, "uart_rx holds at most " + std::to_string(k_uart_rx_capacity) + " bytes; " +
                               std::to_string(waiting.size()) + " wait");
    }
    waiting.insert(waiting.end(), bytes.begin(), bytes.end());
    return true;
}

std::string show_uart_rx(const bridge_record& record) {
    const std::vector<uint8_t>& waiting = record.pins.uart_received;
    if (waiting.empty()) return "empty";
    const size_t shown = waiting.size() < k_rx_bytes_shown ? waiting.size() : k_rx_bytes_shown;
    return std::to_string(waiting.size()) + " bytes waiting: " + hex_bytes(waiting.data(), shown) +
           (shown < waiting.size() ? " ..." : "");
}

}  // namespace

constinit const custom_field k_gpio_pins_field = {encode_gpio_pins, decode_gpio_pins, show_gpio_pins, nullptr};
constinit const custom_field k_gpio_in_field = {encode_gpio_in, set_gpio_in, show_gpio_in, set_gpio_in};
constinit const custom_field k_i2c_buses_field = {encode_i2c_buses, decode_i2c_buses, show_i2c_buses, nullptr};
constinit const custom_field k_i2c_slaves_field = {encode_i2c_slaves, set_i2c_slaves, slaves_text, set_i2c_slaves};
constinit const custom_field k_i2c_eeprom_field = {encode_i2c_eeprom, decode_i2c_eeprom, show_i2c_eeprom, nullptr};
constinit const custom_field k_uart_receiver_field = {encode_uart_receiver, decode_uart_receiver, show_uart_receiver,
                                                      nullptr};
constinit const custom_field k_uart_tx_field = {encode_uart_tx, decode_uart_tx, show_uart_tx, nullptr};
constinit const custom_field k_uart_rx_field = {encode_uart_rx, decode_uart_rx, show_uart_rx, feed_uart_rx};

std::span<const persisted_field> pin_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"gpio_pins",           "pins",     false, k_gpio_pins_field},
        {"gpio_in",             "pins",     true,  k_gpio_in_field},
        {"i2c_buses",           "pins",     false, k_i2c_buses_field},
        {"i2c_slaves",          "pins",     true,  k_i2c_slaves_field},
        {"i2c_eeprom",          "pins",     false, k_i2c_eeprom_field},
        {"uart_receiver",       "pins",     false, k_uart_receiver_field},
        {"uart_tx",             "pins",     false, k_uart_tx_field},
        {"uart_rx",             "pins",     true,  k_uart_rx_field},
    };
    // clang-format on
    return rows;
}
