#include "cli/commands/uart_raid.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "zelko/bridge/bridge_info.h"
#include "zelko/bridge/uart_raid.h"
#include "zelko/common/numbers.h"

namespace zelko {

namespace {

struct raid_mode_word {
    const char* prefix;
    uint8_t mode;
};

// Matched by prefix, in this order: trailing characters are ignored.
constexpr raid_mode_word k_raid_words[] = {
    {"JBOD", k_raid_jbod},
    {"RAID0", k_raid0},
    {"RAID1", k_raid1},
};

bool parse_raid_mode(const char* text, uint8_t* mode) {
    for (const raid_mode_word& word : k_raid_words) {
        if (std::strncmp(text, word.prefix, std::strlen(word.prefix)) == 0) {
            *mode = word.mode;
            return true;
        }
    }
    return false;
}

}  // namespace

void cmd_uart_init(command_context& ctx) {
    const uint8_t rx_pin = static_cast<uint8_t>(parse_atol(ctx.argv[3]));
    const uint32_t baud = static_cast<uint32_t>(parse_atol(ctx.argv[4]));
    std::printf("%s %s\n", ctx.command(), ok_or_fail(uart_set_rx(ctx.dev(), rx_pin, baud)));
}

void cmd_uart_tx(command_context& ctx) {
    const uint8_t tx_pin = static_cast<uint8_t>(parse_atol(ctx.argv[3]));
    const uint32_t baud = static_cast<uint32_t>(parse_atol(ctx.argv[4]));
    const char* text = ctx.argv[5];
    const cmd_status status = uart_transmit(ctx.dev(), true, tx_pin, baud, reinterpret_cast<const uint8_t*>(text),
                                            static_cast<int32_t>(std::strlen(text)));
    // Silent on success; a failed transmission must not look like one.
    if (status != 0) std::printf("%s fail\n", ctx.command());
}

// Only a count the receive buffer can hold (1 to 1024) is read; any other count is shown
// instead. A count that could not be read, and a failed read of the bytes, are reported
// as failures rather than taken for an empty buffer. Only the bytes that arrived are
// printed: another reader may have drained the buffer since the count was read.
void cmd_uart_rx(command_context& ctx) {
    uint32_t count = 0;
    if (uart_receive_count(ctx.dev(), &count) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    if (count == 0 || count > k_uart_max_receive) {
        std::printf("rx cnt = %d\n", static_cast<int32_t>(count));
        return;
    }
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[count]());
    uint32_t received = 0;
    if (!data || uart_receive(ctx.dev(), data.get(), static_cast<int32_t>(count), &received) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    for (uint32_t i = 0; i < received; ++i) std::printf("%02x\n", data[i]);
}

void cmd_uart_rx_cnt(command_context& ctx) {
    uint32_t count = 0;
    if (uart_receive_count(ctx.dev(), &count) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("cnt=%d\n", static_cast<int32_t>(count));
}

void cmd_uart_clear_buf(command_context& ctx) {
    std::printf("%s %s\n", ctx.command(), ok_or_fail(uart_clear(ctx.dev())));
}

// A new mode takes effect when the bridge restarts, so a successful change is followed
// by a restart.
void cmd_raid_set_mode(command_context& ctx) {
    const char* word = ctx.argv[3];
    uint8_t requested = 0;
    if (!parse_raid_mode(word, &requested)) {
        std::printf("%s is not supported RAID mode\n", word);
        return;
    }
    uint8_t current = 0;
    if (get_raid_mode(ctx.dev(), &current) != 0) {
        std::printf("get RAID mode fail\n");
        return;
    }
    if (current == requested) {
        std::printf("WARNING: new RAID's mode is same current RAID's mode.\n");
        std::printf("Please set other RAID mode then set %s again.\n", word);
        return;
    }
    const cmd_status status = set_raid_mode(ctx.dev(), requested);
    std::printf("%s %s\n", ctx.command(), ok_or_fail(status));
    if (status != 0) return;
    std::printf("restart RAID controller...\n");
    bridge_restart(ctx.dev(), 0);
}

void cmd_raid_get_mode(command_context& ctx) {
    uint8_t mode = 0;
    if (get_raid_mode(ctx.dev(), &mode) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("RAID current mode is %s\n", raid_mode_name(mode));
}

}  // namespace zelko
