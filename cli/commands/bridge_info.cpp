#include "cli/commands/bridge_info.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "zelko/bridge/bridge_info.h"
#include "zelko/common/bytes.h"
#include "zelko/common/numbers.h"
#include "zelko/common/version.h"

namespace zelko {

namespace {

// Restart types the bridge knows: 0, 1 and 2.
constexpr uint32_t k_max_restart_type = 2;

int32_t as_int(uint32_t value) { return static_cast<int32_t>(value); }

}  // namespace

void cmd_get_api_ver(command_context&) { std::printf("%s\n", k_api_version); }

void cmd_get_uuid(command_context& ctx) {
    uint32_t uuid = 0;
    if (get_uuid(ctx.dev(), &uuid) != 0) {
        std::printf("get uuid fail\n");
        return;
    }
    std::printf("UUID: %08x\n", uuid);
}

// The page is written whole: the text at its start, zeros after it. A text longer than
// the page is refused rather than cut, so that no part of it is lost silently. Success is
// silent; a failed write says so.
void cmd_set_cust_page(command_context& ctx) {
    const char* text = ctx.argv[3];
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>(k_cust_page_len)) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    uint8_t page[k_cust_page_len] = {};
    std::memcpy(page, text, length);
    if (set_cust_page(ctx.dev(), page) != 0) std::printf("%s fail\n", ctx.command());
}

// A failed read is reported instead of printing a page the bridge never sent.
void cmd_get_cust_page(command_context& ctx) {
    alignas(4) uint8_t page[k_cust_page_len] = {};
    if (get_cust_page(ctx.dev(), page) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    for (uint8_t byte : page) std::printf("%02X ", byte);
}

void cmd_fw_ver(command_context& ctx) {
    fw_version version;
    if (get_fw_version(ctx.dev(), &version) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("FW VERSION: %d.%d.%d build date: %d\r\n", as_int(version.major), as_int(version.minor),
                as_int(version.patch), as_int(version.build_date));
}

// The bridge drops off the bus while it restarts, so the exchange's status says
// nothing about the restart and is not shown.
void cmd_fw_restart(command_context& ctx) {
    const uint32_t type = static_cast<uint32_t>(parse_atol(ctx.argv[3]));
    if (type > k_max_restart_type) {
        std::printf("%s with invalid parameters\n", ctx.command());
        return;
    }
    bridge_restart(ctx.dev(), static_cast<uint8_t>(type));
    std::printf("%s ok\n", ctx.command());
}

void cmd_set_disk_speed(command_context& ctx) {
    const uint8_t speed = static_cast<uint8_t>(parse_atol(ctx.argv[3]));
    std::printf("%s %s\n", ctx.command(), ok_or_fail(set_disk_speed(ctx.dev(), speed)));
}

void cmd_get_disk_speed(command_context& ctx) {
    uint8_t speed = 0;
    if (get_disk_speed(ctx.dev(), &speed) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf("disk speed: %d\n", speed);
}

void cmd_set_bridge_rw_md(command_context& ctx) {
    const uint8_t mode = static_cast<uint8_t>(parse_strtoul(ctx.argv[3], 16));
    std::printf("%s %s\n", ctx.command(), ok_or_fail(set_bridge_rw_mode(ctx.dev(), mode)));
}

void cmd_get_bridge_rw_md(command_context& ctx) {
    uint8_t mode = 0;
    if (get_bridge_rw_mode(ctx.dev(), &mode) != 0) {
        std::printf("%s %s\n", ctx.command(), "fail");
        return;
    }
    std::printf("%s(%d)\n", rw_mode_text(mode), mode);
}

void cmd_get_usb_speed(command_context& ctx) {
    alignas(4) uint8_t block[k_status_block_len] = {};
    const cmd_status status = get_status_block(ctx.dev(), block);
    if (status != 0) {
        std::printf("get usb speed fail (%d)", status);
        return;
    }
    std::printf("usb speed: %s", usb_speed_text(get_le32(block + k_status_usb_speed)));
}

void cmd_get_ips_threshold(command_context& ctx) {
    alignas(4) uint8_t block[k_status_block_len] = {};
    if (get_status_block(ctx.dev(), block) != 0) {
        std::printf("Get IPS threshold fail\n");
        return;
    }
    std::printf("IPS threshold: %d\n", as_int(get_le32(block + k_status_ips_threshold)));
}

void cmd_set_disk_hotplug_dis(command_context& ctx) {
    const cmd_status status = disable_disk_hotplug(ctx.dev());
    std::printf("Disable disk hotplug %s \n", status == 0 ? "success" : "fail");
}

}  // namespace zelko
