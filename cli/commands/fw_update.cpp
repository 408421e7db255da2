#include "cli/commands/fw_update.h"

#include <atomic>
#include <clocale>
#include <cstdio>

#include "zelko/bridge/bridge_info.h"
#include "zelko/pg/fw_update.h"

namespace zelko {

namespace {

// What the display thread watches: the update's progress record, and whether the update
// has returned (so that the display ends even when the byte count stops short of 100 %).
struct progress_watch {
    update_progress progress;
    std::atomic<bool> finished{false};
};

// Prints "udpate progress: N%\r" once a second until 100 %, a non-zero status or the end
// of the update, then a line end. `argument` is the progress_watch.
void show_progress(void* argument) {
    const auto& watch = *static_cast<const progress_watch*>(argument);
    for (;;) {
        const int percent = progress_percent(watch.progress);
        const int32_t status = watch.progress.status.load();
        const bool finished = watch.finished.load();
        std::printf("udpate progress: %d%%\r", percent);
        std::fflush(stdout);
        if (percent >= 100 || status != 0 || finished) break;
        port_sleep_ms(1000);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// File paths are taken as UTF-8. A system without the ".UTF8" name takes its own.
void use_utf8_locale() {
    if (std::setlocale(LC_ALL, ".UTF8") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
}

}  // namespace

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
    use_utf8_locale();
    progress_watch watch;
    port_thread* thread = port_thread_start(show_progress, &watch);
    const int32_t code = run_fw_update(watch.progress, ctx.path(), ctx.argv[3], ctx.argv[4], ctx.argv[5], ctx.argv[6]);
    watch.finished.store(true);
    // The display ends first, so that the result is the last line printed.
    port_thread_join(thread);
    if (code != 0) {
        std::printf("%s failed. (%d)\n", ctx.command(), code);
    } else {
        std::printf("%s success\n", ctx.command());
    }
    std::fflush(stdout);
}

}  // namespace zelko
