#include "cli/commands/fw_update.h"

#include <cstdio>

#include "zelko/bridge/bridge_info.h"
#include "zelko/pg/fw_update.h"

namespace zelko {

void cmd_fwupdate(command_context& ctx) {
    uint32_t uuid = 0;
    if (get_uuid(ctx.dev(), &uuid) != 0) {
        std::printf("get uuid fail\n");
        return;
    }
    if (uuid == 0xFFFFFFFF) {
        std::printf("no uuid\n");
        return;
    }
    // The update opens the bridge itself: it restarts and may come back under another path.
    dev_close(*ctx.device);
    update_progress progress;
    port_thread* thread = port_thread_start(progress_thread, &progress);
    const int32_t code = run_fw_update(progress, ctx.path(), ctx.argv[3], ctx.argv[4], ctx.argv[5], ctx.argv[6]);
    if (code != 0) {
        std::printf("%s failed. (%d)\n", ctx.command(), code);
    } else {
        std::printf("%s success\n", ctx.command());
    }
    std::fflush(stdout);
    port_thread_join(thread);
}

}  // namespace zelko
