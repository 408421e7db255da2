// `init [--time-factor N] [--step-time] [--trace on|off]`: makes an empty lab; with
// --step-time its lab time moves only by the tool's sleeps.
#include "lab/host/lab_os.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

int verb_init(const std::string& dir, const verb_args& args) {
    uint32_t factor = 0;
    bool step = false;
    std::string trace;
    for (size_t i = 0; i < args.size(); i += 2) {
        const std::string key = option_key(args[i]);
        if (key == "step_time") {
            step = true;
            --i;  // a flag without a value: the next option follows at once
            continue;
        }
        if (i + 1 >= args.size()) return verb_usage_of("init");
        if (key == "time_factor" && parse_u32(args[i + 1], &factor) && factor != 0) continue;
        if (key == "trace" && (args[i + 1] == "on" || args[i + 1] == "off")) {
            trace = args[i + 1];
            continue;
        }
        return verb_usage_of("init");
    }
    std::string error;
    if (!lab_init(dir, &error)) return verb_fail(error);
    if (factor == 0 && !step && trace.empty()) return 0;
    lab_lock_owner lock(lab_lock_path(dir));
    lab_lock_guard guard(lock.get());
    lab_settings settings;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    if (factor != 0) lab_set_time_factor(settings, factor);
    if (step) lab_set_step_time(settings, true);
    if (!trace.empty()) settings.trace = trace == "on";
    if (!lab_save_settings(dir, settings, &error)) return verb_fail(error);
    return 0;
}
