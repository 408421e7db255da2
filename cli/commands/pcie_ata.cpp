#include "cli/commands/pcie_ata.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "zelko/bridge/pcie_ata.h"
#include "zelko/bridge/pcie_ata_report.h"
#include "zelko/common/bytes.h"
#include "zelko/common/numbers.h"

namespace zelko {

namespace {

// A read of `length` bytes (1 to `max_length`) at the address in argv[3], dumped in hex.
// The length is checked before any device traffic.
template <typename Read>
void read_and_dump(command_context& ctx, int32_t max_length, Read read) {
    const uint32_t address = parse_strtoul(ctx.argv[3], 16);
    const int32_t length = parse_atol(ctx.argv[4]);
    if (length < 1 || length > max_length) {
        std::printf("%s: wrong parameter\n", ctx.command());
        return;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(length)]());
    if (!buffer) {
        std::printf("%s: allocate buffer fail\n", ctx.command());
        return;
    }
    if (read(address, buffer.get(), length) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    print_hex_dump(stdout, buffer.get(), static_cast<size_t>(length));
}

// A write of the 32-bit value in argv[4], least significant byte first, at the address
// in argv[3].
template <typename Write>
void write_word(command_context& ctx, Write write) {
    const uint32_t address = parse_strtoul(ctx.argv[3], 16);
    uint8_t data[4];
    put_le32(data, parse_strtoul(ctx.argv[4], 16));
    std::printf("%s %s\n", ctx.command(), ok_or_fail(write(address, data, 4)));
}

// One of the link registers of the PCI Express capability, as its speed and width.
void print_link(command_context& ctx, uint8_t field, const char* speed_format, const char* width_format) {
    uint32_t value = 0;
    if (pcie_read_link_field(ctx.dev(), field, &value) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf(speed_format, static_cast<int>(link_speed(value)));
    std::printf(width_format, static_cast<int>(link_width(value)));
}

}  // namespace

void cmd_pcie_read_conf(command_context& ctx) {
    read_and_dump(ctx, k_pcie_conf_max_read, [&](uint32_t reg, uint8_t* buffer, int32_t length) {
        return pcie_conf_read(ctx.dev(), static_cast<uint8_t>(reg), buffer, length);
    });
}

void cmd_pcie_write_conf(command_context& ctx) {
    write_word(ctx, [&](uint32_t reg, const uint8_t* data, int32_t length) {
        return pcie_conf_write(ctx.dev(), static_cast<uint8_t>(reg), data, length);
    });
}

void cmd_pcie_read_mem(command_context& ctx) {
    read_and_dump(ctx, k_pcie_mem_max_read, [&](uint32_t address, uint8_t* buffer, int32_t length) {
        return pcie_mem_read(ctx.dev(), address, buffer, length);
    });
}

void cmd_pcie_write_mem(command_context& ctx) {
    write_word(ctx, [&](uint32_t address, const uint8_t* data, int32_t length) {
        return pcie_mem_write(ctx.dev(), address, data, length);
    });
}

void cmd_pcie_get_link_status(command_context& ctx) {
    print_link(ctx, k_pcie_link_status, "current link speed = Gen%d\n", "negotiated link width = x%d\n");
}

void cmd_pcie_get_link_cap(command_context& ctx) {
    print_link(ctx, k_pcie_link_cap, "max link speed = Gen%d\n", "max link width = x%d\n");
}

void cmd_ata_get_smart_log(command_context& ctx) {
    alignas(4) uint8_t data[k_smart_data_len] = {};
    if (ata_smart_read(ctx.dev(), data, k_smart_data_len) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    smart_table_print(stdout, data, sizeof data);
}

void cmd_ata_set_feature(command_context& ctx) {
    const uint8_t feature = static_cast<uint8_t>(parse_atol(ctx.argv[3]));
    const uint8_t count = static_cast<uint8_t>(parse_atol(ctx.argv[4]));
    const cmd_status status = ata_set_features(ctx.dev(), feature, count);
    std::printf("%s %s\n", ctx.command(), status == 0 ? "success" : "fail");
}

}  // namespace zelko
