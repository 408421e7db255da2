// `trace on|off|show|clear`: the lab's trace of opens, bus queries, requests and closes.
#include <cstdio>

#include "lab/host/lab_os.h"
#include "lab/verbs/verbs.h"

int verb_trace(const std::string& dir, const verb_args& args) {
    if (args.size() != 1) return verb_usage_of("trace");
    const std::string& action = args[0];
    std::string error;
    lab_settings settings;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);

    if (action == "on" || action == "off") {
        lab_lock_owner lock(lab_lock_path(dir));
        lab_lock_guard guard(lock.get());
        if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
        settings.trace = action == "on";
        if (!lab_save_settings(dir, settings, &error)) return verb_fail(error);
        return 0;
    }
    if (action == "show") {
        std::FILE* file = std::fopen(lab_trace_path(dir).c_str(), "rb");
        if (file == nullptr) return 0;
        char buffer[16384];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) (void)std::fwrite(buffer, 1, got, stdout);
        (void)std::fclose(file);
        return 0;
    }
    if (action == "clear") {
        std::FILE* file = std::fopen(lab_trace_path(dir).c_str(), "wb");
        if (file == nullptr) return verb_fail("cannot clear " + lab_trace_path(dir));
        (void)std::fclose(file);  // the trace is now empty; nothing was written to lose
        return 0;
    }
    return verb_usage_of("trace");
}
