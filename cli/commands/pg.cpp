#include "cli/commands/pg.h"

#include <cstdio>
#include <cstring>

#include "zelko/common/numbers.h"
#include "zelko/pg/config_file.h"
#include "zelko/pg/pg_read.h"
#include "zelko/pg/pg_report.h"
#include "zelko/pg/pg_write.h"

namespace zelko {

namespace {

void print_failed(const command_context& ctx, cmd_status status) {
    std::printf("%s failed. (%d)\n", ctx.command(), status);
}

// The VID and PID getters: a 16-bit value printed as four lowercase hex digits.
void get_id(command_context& ctx, uint8_t tag, const char* label) {
    uint8_t raw[2] = {};
    const cmd_status status = get_pg_value(ctx.dev(), tag, raw, sizeof raw);
    if (status != 0) {
        print_failed(ctx, status);
        return;
    }
    std::printf("%s = %04x\n", label, static_cast<unsigned>(raw[0] | (raw[1] << 8)));
}

// The VID and PID setters: hex text, low 16 bits, little-endian in the record.
void set_id(command_context& ctx, uint8_t tag) {
    const uint32_t value = parse_strtoul(ctx.argv[3], 16);
    const uint8_t raw[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    std::printf("%s %s\n", ctx.command(), ok_or_fail(set_pg_value(ctx.dev(), tag, raw, sizeof raw)));
}

}  // namespace

void cmd_pg_read(command_context& ctx) {
    PgInfo info{};
    uint8_t record[k_pg_record_len] = {};
    cmd_status status = read_pg_record(ctx.dev(), record, sizeof record);
    if (status == 0) status = decode_pg_record(record, sizeof record, &info);
    if (status != 0) {
        print_failed(ctx, status);
        return;
    }
    print_pg_info(stdout, info);
}

void cmd_pg_write(command_context& ctx) {
    const cmd_status status = load_pg_config(ctx.dev(), ctx.argv[3], false);
    if (status != 0) print_failed(ctx, status);
}

// Success is silent; a record that could not be written is reported.
void cmd_pg_set_usb_speed(command_context& ctx) {
    const uint8_t speed = static_cast<uint8_t>(parse_atol(ctx.argv[3]));
    if (set_pg_value(ctx.dev(), k_tag_usb_speed, &speed, 1) != 0) std::printf("%s fail\n", ctx.command());
}

void cmd_pg_get_usb_speed(command_context& ctx) {
    uint8_t speed = 0;
    const cmd_status status = get_pg_value(ctx.dev(), k_tag_usb_speed, &speed, 1);
    if (status != 0) {
        print_failed(ctx, status);
        return;
    }
    std::printf("pg usb speed: %d\n", speed);
}

void cmd_pg_set_sn(command_context& ctx) {
    const char* text = ctx.argv[3];
    if (set_pg_serial(ctx.dev(), text, std::strlen(text)) != 0) std::printf("set sn fail\n");
}

// A serial longer than the buffer shows its first 31 characters; a record that cannot be
// read or walked is reported instead of an empty serial.
void cmd_pg_get_sn(command_context& ctx) {
    constexpr size_t k_capacity = 31;
    char serial[k_capacity + 1] = {};
    const cmd_status status = get_pg_serial(ctx.dev(), serial, k_capacity);
    if (status != 0 && status != -2) {
        print_failed(ctx, status);
        return;
    }
    std::printf("sn: %s\n", serial);
}

void cmd_pg_set_vid(command_context& ctx) { set_id(ctx, k_tag_vid); }
void cmd_pg_get_vid(command_context& ctx) { get_id(ctx, k_tag_vid, "vid"); }
void cmd_pg_set_pid(command_context& ctx) { set_id(ctx, k_tag_pid); }
void cmd_pg_get_pid(command_context& ctx) { get_id(ctx, k_tag_pid, "pid"); }

}  // namespace zelko
