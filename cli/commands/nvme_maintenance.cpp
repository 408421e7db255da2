#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "zelko/bridge/bridge_info.h"
#include "zelko/common/cursor.h"
#include "zelko/common/numbers.h"
#include "zelko/nvme/log_reports.h"
#include "zelko/nvme/maintenance.h"
#include "cli/commands/nvme.h"

namespace zelko {

namespace {

constexpr uint32_t k_sanitize_cmd_timeout = 10;
constexpr uint32_t k_poll_interval_ms = 1000;
constexpr uint8_t k_restart_type = 0;

const char* pass_or_fail(cmd_status status) { return status == 0 ? "pass" : "fail"; }

// Polls the Sanitize Status log until the sanitize is no longer in progress or the disk
// answers with an error other than its command time-out.
void poll_sanitize(bridge_dev* dev, uint8_t* page) {
    for (;;) {
        std::printf("Sanitize log: ");
        const cmd_status status = nvme_get_log_page(dev, k_log_sanitize, page);
        if (status == 0) {
            read_cursor in(page, k_log_page_len);
            const uint16_t sprog = in.le16_at(0);
            if ((in.le16_at(2) & 0x7) == k_sstat_in_progress) {
                std::printf("Progress(SPROG) %f%%\n", sprog * 100.0 * (1.0 / 65536));
                port_sleep_ms(k_poll_interval_ms);
                continue;
            }
            print_nvme_sanitize_log(stdout, page);
            port_sleep_ms(k_poll_interval_ms);
            return;
        }
        if (status == k_nvme_sense_timeout) {
            std::printf("nvme command timeout ret(0x%x)\n", static_cast<unsigned>(status));
            continue;
        }
        if (status == k_nvme_sense_failed) {
            std::printf("nvme command error ret(%x)\n", static_cast<unsigned>(status));
        } else {
            std::printf("command may not support ret(%x)\n", static_cast<unsigned>(status));
        }
        return;
    }
}

}  // namespace

void cmd_nvme_fw_download(command_context& ctx) {
    const uint32_t xfer_size = parse_strtoul(ctx.argv[4], 16);
    const uint32_t dword_offset = parse_strtoul(ctx.argv[5], 16);
    std::printf("%s %s\n", ctx.command(),
                pass_or_fail(nvme_fw_image_download(ctx.dev(), ctx.argv[3], xfer_size, dword_offset)));
}

void cmd_nvme_fw_activate(command_context& ctx) {
    const uint8_t slot = static_cast<uint8_t>(parse_atol(ctx.argv[3]));
    const uint8_t action = static_cast<uint8_t>(parse_atol(ctx.argv[4]));
    std::printf("%s %s\n", ctx.command(), pass_or_fail(nvme_fw_commit(ctx.dev(), slot, action)));
}

void cmd_nvme_format(command_context& ctx) {
    const uint32_t nsid = static_cast<uint32_t>(parse_strtol(ctx.argv[3], 16));
    const uint32_t fmt = static_cast<uint32_t>(parse_strtol(ctx.argv[4], 16));
    std::printf("%s %s\n", ctx.command(), pass_or_fail(nvme_format_nvm(ctx.dev(), nsid, fmt)));
}

// Every path ends with the bridge restart, which puts back the read/write mode and the
// command time-out the flow changed.
void cmd_nvme_sanitize(command_context& ctx) {
    const bool no_dealloc = parse_atol(ctx.argv[3]) != 0;
    const bool oipbp = parse_atol(ctx.argv[4]) != 0;
    const uint8_t owpass = static_cast<uint8_t>(parse_strtol(ctx.argv[5], 16));
    const bool ause = parse_atol(ctx.argv[6]) != 0;
    const uint8_t action = static_cast<uint8_t>(parse_strtol(ctx.argv[7], 16));
    const uint32_t pattern = static_cast<uint8_t>(parse_strtol(ctx.argv[8], 16));
    bridge_dev* dev = ctx.dev();

    set_bridge_rw_mode(dev, k_rw_mode_format);
    const cmd_status started = nvme_sanitize_start(dev, no_dealloc, oipbp, owpass, ause, action, pattern);
    std::printf("%s %s\n", ctx.command(), started == 0 ? "success" : "failed");
    if (started == 0) {
        nvme_set_cmd_timeout(dev, k_sanitize_cmd_timeout);
        std::unique_ptr<uint8_t[]> page(new (std::nothrow) uint8_t[k_identify_len]());
        if (!page) {
            std::printf("alloc memory fail\n");
        } else {
            poll_sanitize(dev, page.get());
        }
    }
    std::printf("restart device\n");
    bridge_restart(dev, k_restart_type);
}

}  // namespace zelko
