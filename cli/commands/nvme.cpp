#include "cli/commands/nvme.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "zelko/common/numbers.h"
#include "zelko/nvme/id_ctrl_report.h"
#include "zelko/nvme/log_reports.h"
#include "zelko/nvme/nvme_commands.h"

namespace zelko {

namespace {

constexpr int32_t k_kelvin_offset = 273;
// The log buffer of nvme_get_log; the page read is 512 bytes.
constexpr size_t k_log_buffer_len = 4096;

const char* pass_or_fail(cmd_status status) { return status == 0 ? "pass" : "fail"; }
const char* success_or_fail(cmd_status status) { return status == 0 ? "success" : "fail"; }

std::unique_ptr<uint8_t[]> zeroed(size_t length) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[length]());
}

// "<device path> <model>", the model as the disk reported it (40 characters).
void print_path_and_model(const command_context& ctx) {
    std::printf("%s %s\n", ctx.path(), ctx.ident != nullptr ? ctx.ident->model : "");
}

}  // namespace

void cmd_nvme_cmd_timeout(command_context& ctx) {
    const uint32_t value = static_cast<uint32_t>(parse_atol(ctx.argv[3]));
    std::printf("%s %s\n", ctx.command(), pass_or_fail(nvme_set_cmd_timeout(ctx.dev(), value)));
}

void cmd_nvme_get_id(command_context& ctx) {
    std::unique_ptr<uint8_t[]> buffer = zeroed(k_identify_len);
    if (!buffer) {
        std::printf("Error: %s fail, out of memory\n", ctx.command());
        return;
    }
    if (nvme_identify(ctx.dev(), 0, k_cns_controller, buffer.get(), k_identify_len) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    print_nvme_id_ctrl(stdout, buffer.get());
}

void cmd_nvme_get_smart_log(command_context& ctx) {
    alignas(4) uint8_t page[k_log_page_len] = {};
    if (nvme_read_smart_log(ctx.dev(), page) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    print_path_and_model(ctx);
    print_nvme_smart_log(stdout, page);
}

void cmd_nvme_get_log(command_context& ctx) {
    const uint8_t log_id = static_cast<uint8_t>(parse_strtoul(ctx.argv[3], 16));
    std::unique_ptr<uint8_t[]> buffer = zeroed(k_log_buffer_len);
    if (!buffer) {
        std::printf("Out of memory\n");
        return;
    }
    if (nvme_get_log_page(ctx.dev(), log_id, buffer.get()) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    print_path_and_model(ctx);
    if (log_id == k_log_smart) print_nvme_smart_log(stdout, buffer.get());
}

void cmd_nvme_get_temp_thres(command_context& ctx) {
    uint16_t kelvin = 0;
    if (nvme_get_temp_threshold(ctx.dev(), &kelvin) != 0) {
        std::printf("%s fail\n", ctx.command());
        return;
    }
    std::printf(
        "Temperature threshold: %ld\xC2\xB0"
        "C\n",
        static_cast<long>(kelvin - k_kelvin_offset));
}

void cmd_nvme_rw_test(command_context& ctx) {
    std::printf("%s %s\n", ctx.command(), pass_or_fail(nvme_rw_test_run(ctx.dev())));
}

void cmd_nvme_aspm_dis(command_context& ctx) {
    std::printf("%s %s\n", ctx.command(), success_or_fail(nvme_disable_aspm(ctx.dev())));
}

void cmd_nvme_pws(command_context& ctx) {
    const uint8_t power_state = static_cast<uint8_t>(parse_strtoul(ctx.argv[3], 16));
    std::printf("%s %s\n", ctx.command(), success_or_fail(nvme_set_power_state(ctx.dev(), power_state)));
}

void cmd_nvme_lowpw_dis(command_context& ctx) {
    std::printf("%s %s\n", ctx.command(), success_or_fail(nvme_disable_low_power(ctx.dev())));
}

}  // namespace zelko
