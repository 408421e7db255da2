#include "cli/commands/i2c_gpio.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "zelko/bridge/i2c_gpio.h"
#include "zelko/common/numbers.h"

namespace zelko {

namespace {

uint8_t dec8(const char* text) { return static_cast<uint8_t>(parse_strtoul(text, 10)); }
uint8_t hex8(const char* text) { return static_cast<uint8_t>(parse_strtoul(text, 16)); }
uint16_t hex16(const char* text) { return static_cast<uint16_t>(parse_strtoul(text, 16)); }
uint8_t atol8(const char* text) { return static_cast<uint8_t>(parse_atol(text)); }

void print_read_result(const command_context& ctx, cmd_status status, const uint8_t* data, int count) {
    if (status != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("read data:");
    for (int i = 0; i < count; ++i) std::printf("%02x ", data[i]);
    std::printf("\n");
}

}  // namespace

void cmd_i2c_init(command_context& ctx) {
    const uint8_t id = dec8(ctx.argv[3]);
    const uint16_t slave = hex16(ctx.argv[4]);
    const uint8_t scl = dec8(ctx.argv[5]);
    const uint8_t sda = dec8(ctx.argv[6]);
    std::printf("%s %s\n", ctx.command(), ok_or_fail(i2c_init(ctx.dev(), id, slave, scl, sda)));
}

void cmd_i2c_write(command_context& ctx) {
    const uint8_t id = dec8(ctx.argv[3]);
    const uint16_t slave = hex16(ctx.argv[4]);
    uint8_t data[k_i2c_max_write] = {};
    const int count = parse_byte_list(ctx.argv[5], 16, data, k_i2c_max_write);
    std::printf("write data:");
    for (int i = 0; i < count; ++i) std::printf("%02x ", data[i]);
    std::printf("\n");
    std::printf("%s %s\n", ctx.command(), ok_or_fail(i2c_write(ctx.dev(), id, slave, data, count)));
}

void cmd_i2c_read(command_context& ctx) {
    const uint8_t id = dec8(ctx.argv[3]);
    const uint16_t slave = hex16(ctx.argv[4]);
    const uint8_t length = dec8(ctx.argv[5]);
    alignas(4) uint8_t data[k_i2c_max_read] = {};
    const cmd_status status = i2c_read(ctx.dev(), id, slave, false, 0, data, length);
    print_read_result(ctx, status, data, length);
}

// Writes one byte (typically a register number) and then reads. Reads longer than two
// bytes take one byte more; the count stays 8 bits wide, so length 255 reads nothing.
void cmd_i2c_read_wf(command_context& ctx) {
    const uint8_t id = dec8(ctx.argv[3]);
    const uint16_t slave = hex16(ctx.argv[4]);
    const uint8_t length = dec8(ctx.argv[5]);
    const uint8_t write_byte = hex8(ctx.argv[6]);
    const uint8_t count = length > 2 ? static_cast<uint8_t>(length + 1) : length;
    alignas(4) uint8_t data[k_i2c_max_read] = {};
    const cmd_status status = i2c_read(ctx.dev(), id, slave, true, write_byte, data, count);
    print_read_result(ctx, status, data, count);
}

void cmd_gpio_init(command_context& ctx) {
    const uint8_t gpio = atol8(ctx.argv[3]);
    const uint8_t dir = atol8(ctx.argv[4]);
    if (dir > k_gpio_dir_out) {
        std::printf("wrong gpio dir(%d), should be 0(in) or 1(out)\n", dir);
        return;
    }
    if (gpio_mux(ctx.dev(), gpio, k_gpio_function_gpio) != 0) {
        std::printf("set gpio%d mux fail\n", gpio);
        return;
    }
    if (gpio_dir(ctx.dev(), gpio, dir) != 0) std::printf("set gpio%d dir fail\n", gpio);
}

void cmd_gpio_set(command_context& ctx) {
    const uint8_t gpio = atol8(ctx.argv[3]);
    const uint8_t value = atol8(ctx.argv[4]);
    if (value > 1) {
        std::printf("wrong gpio value(%d), should be 0(low) or 1(high)\n", value);
        return;
    }
    if (gpio_set(ctx.dev(), gpio, value) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("set gpio%d value = %d ok\n", gpio, value);
}

void cmd_gpio_get(command_context& ctx) {
    const uint8_t gpio = atol8(ctx.argv[3]);
    uint8_t value = 0;
    if (gpio_get(ctx.dev(), gpio, &value) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("gpio%d value = %d\n", gpio, value);
}

}  // namespace zelko
