// `fault NAME add PATTERN OPTIONS...`, `fault NAME list`, `fault NAME remove N`,
// `fault NAME clear`: the device's fault rules (lab/record/fault.h tells the syntax).
#include <cstdio>

#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

int verb_fault(const std::string& dir, const verb_args& args) {
    if (args.size() < 2) return verb_usage_of("fault");
    const std::string& action = args[1];
    device_ref ref;
    std::string error;
    if (action != "add" && action != "list" && action != "remove" && action != "clear") return verb_usage_of("fault");
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);

    if (action == "list") {
        if (args.size() != 2) return verb_usage_of("fault");
        std::vector<fault_rule> rules;
        const auto read = [&](bridge_record& record, std::string*) {
            rules = record.faults;
            return true;
        };
        if (!edit_device(dir, ref, read, &error)) return verb_fail(error);
        for (size_t i = 0; i < rules.size(); ++i) {
            std::printf("%zu: %s %s (matched %u)\n", i + 1, fault_pattern_text(rules[i]).c_str(),
                        fault_options_text(rules[i]).c_str(), rules[i].matches);
        }
        return 0;
    }

    std::function<bool(bridge_record&, std::string*)> edit;
    if (action == "add") {
        if (args.size() < 4) return verb_usage_of("fault");
        fault_rule rule;
        if (!fault_parse_pattern(args[2], &rule, &error)) return verb_fail(error);
        if (!fault_parse_options(verb_args(args.begin() + 3, args.end()), false, &rule, &error))
            return verb_fail(error);
        edit = [rule](bridge_record& record, std::string*) {
            record.faults.push_back(rule);
            record.dirty = true;
            return true;
        };
    } else if (action == "remove") {
        uint32_t index = 0;
        if (args.size() != 3 || !parse_u32(args[2], &index) || index == 0) return verb_usage_of("fault");
        edit = [index](bridge_record& record, std::string* why) {
            if (index > record.faults.size()) {
                *why = "no fault rule " + std::to_string(index);
                return false;
            }
            record.faults.erase(record.faults.begin() + (index - 1));
            record.dirty = true;
            return true;
        };
    } else {
        if (args.size() != 2) return verb_usage_of("fault");
        edit = [](bridge_record& record, std::string*) {
            record.faults.clear();
            record.dirty = true;
            return true;
        };
    }
    if (!edit_device(dir, ref, edit, &error)) return verb_fail(error);
    return 0;
}
