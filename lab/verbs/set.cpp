// `set NAME KEY VALUE`: changes one bridge-level behaviour; every key of `show NAME`'s
// identity, disk and settings sections, plus `gen 0|1` (revision and chip identity
// typical of the generation), `offline_until_ms`, the other settable keys of the state
// section, and the pins' `gpio_in`, `i2c_slaves` and `uart_rx` (lab/model/pins/pin_fields.h).
// `set lab KEY VALUE`: the lab's own settings, `time_factor N`, `time_mode real|step`
// (step: lab time moves only by the tool's sleeps) and `trace on|off`; for
// tests, `crash_point name_written|record_saved|none` ends a process at that step of a
// bridge's move to another name, as a kill would.
#include "lab/host/lab_os.h"
#include "lab/model/bridge/identity.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

namespace {

constexpr uint32_t k_max_time_factor = 1000000;

int set_lab(const std::string& dir, const std::string& key, const std::string& value) {
    lab_lock_owner lock(lab_lock_path(dir));
    lab_lock_guard guard(lock.get());
    lab_settings settings;
    std::string error;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    if (key == "time_factor") {
        uint32_t factor = 0;
        if (!parse_u32(value, &factor) || factor == 0 || factor > k_max_time_factor) {
            return verb_fail("time_factor is from 1 to " + std::to_string(k_max_time_factor));
        }
        lab_set_time_factor(settings, factor);
    } else if (key == "time_mode") {
        if (value != "real" && value != "step") return verb_fail("time_mode is real or step");
        lab_set_step_time(settings, value == "step");
    } else if (key == "trace") {
        if (value != "on" && value != "off") return verb_fail("trace is on or off");
        settings.trace = value == "on";
    } else if (key == "crash_point") {
        uint32_t point = 0;
        if (value != "none" && !choice_value(k_crash_points, value, &point)) {
            return verb_fail("crash_point is none or one of " + choice_list(k_crash_points));
        }
        settings.crash_point = value == "none" ? "" : value;
    } else {
        return verb_fail("unknown lab setting '" + key + "' (time_factor, time_mode, trace)");
    }
    if (!lab_save_settings(dir, settings, &error)) return verb_fail(error);
    return 0;
}

bool set_key(bridge_record& record, const std::string& key, const std::string& value, std::string* error) {
    if (key == "gen") {
        if (value != "0" && value != "1") {
            *error = "gen is 0 or 1";
            return false;
        }
        apply_generation_defaults(record.params, value == "0" ? 0 : 1);
        record.dirty = true;
        return true;
    }
    const persisted_field* field = find_field(key);
    if (field == nullptr || !field->settable) {
        *error = "unknown key '" + key + "' (see mvbridge-lab DIR show NAME for the keys)";
        return false;
    }
    if (!field_set_text(record, *field, value, error)) return false;
    record.dirty = true;
    return true;
}

}  // namespace

int verb_set(const std::string& dir, const verb_args& args) {
    if (args.size() != 3) return verb_usage_of("set");
    const std::string key = option_key(args[1]);
    if (args[0] == "lab") return set_lab(dir, key, args[2]);
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    const auto edit = [&](bridge_record& record, std::string* why) { return set_key(record, key, args[2], why); };
    if (!edit_device(dir, ref, edit, &error)) return verb_fail(error);
    return 0;
}
