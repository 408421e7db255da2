// `restart NAME`: restarts a bridge now, as its restart command does (lab/model/flash/restart.h).
#include "lab/model/flash/restart.h"
#include "lab/verbs/verbs.h"

int verb_restart(const std::string& dir, const verb_args& args) {
    if (args.size() != 1) return verb_usage_of("restart");
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    lab_settings settings;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    const int64_t now = lab_time_ms(settings);
    const auto edit = [now](bridge_record& record, std::string*) {
        bridge_restart(record, now);
        return true;
    };
    if (!edit_device(dir, ref, edit, &error)) return verb_fail(error);
    return 0;
}
