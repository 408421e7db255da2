// `complete WORD...`: the words that may follow on the lab's command line, one a line, for
// the shell completion. The last WORD is the prefix typed so far (empty for none). Names,
// keys and sections come from the lab's own tables, and the tool's commands after `run`
// from the command table, so that the completion grows with them.
#include <cstdio>
#include <iterator>

#include "cli/command_table.h"
#include "zelko/common/print_level.h"
#include "lab/host/lab_dir.h"
#include "lab/record/storage.h"
#include "lab/host/names.h"
#include "lab/verbs/verb_table.h"

using namespace zelko;

namespace {

using words = std::vector<std::string>;

words device_names(const std::string& dir, bool bridges_only) {
    words names;
    if (!lab_exists(dir)) return names;
    for (const auto& [name, entry] : lab_list_names(dir)) {
        if (!bridges_only || !entry.cdrom) names.push_back(name);
    }
    return names;
}

// Names `create` can still take.
words free_names(const std::string& dir) {
    const words used = device_names(dir, false);
    words names;
    for (const std::string& name : lab_all_names()) {
        bool taken = false;
        for (const std::string& other : used) taken = taken || other == name;
        if (!taken) names.push_back(name);
    }
    return names;
}

words set_keys() {
    words keys = {"gen"};
    for (const persisted_field& field : persisted_fields()) {
        if (field.settable) keys.push_back(field.key);
    }
    return keys;
}

words level_options() {
    words options;
    for (int32_t level = k_min_print_level; level <= k_max_print_level; ++level) {
        std::string option = "-d";
        option += std::to_string(level);
        options.push_back(option);
    }
    return options;
}

words tool_commands() {
    words names;
    for (const command_row& row : command_rows()) names.push_back(row.name);
    return names;
}

// The words of the tool's command line `tool` (command first) at position `at` (1 the
// command, 2 the device path, ...), on the lab's devices.
words tool_completions(const std::string& dir, const words& tool, size_t at) {
    if (at == 1) return tool_commands();
    const int row = find_command(tool[0].c_str());
    if (row < 0) return {};
    const command_row& command = command_table[row];
    if (command.cls == precheck::help) return at == 2 ? tool_commands() : words{};
    if (takes_device(command.cls) && at == 2) {
        words paths;
        for (const std::string& name : device_names(dir, false)) paths.push_back(lab_path_of_name(name));
        return paths;
    }
    if (static_cast<int32_t>(at) == command.argc) return level_options();
    return {};
}

words create_completions(const std::string& dir, const words& w, size_t at) {
    if (at == 1) return free_names(dir);
    const std::string& previous = w[at - 1];
    if (previous == "--gen") return {"0", "1"};
    if (previous == "--disk") return {"nvme", "sata", "none"};
    if (previous == "--cdrom-of") return device_names(dir, true);
    if (previous.compare(0, 2, "--") == 0 && previous != "--foreign") return {};  // the option's value
    words options = {"--cdrom-of", "--foreign", "--disk"};
    for (const std::string& key : set_keys()) options.push_back("--" + key);
    return options;
}

words set_completions(const std::string& dir, const words& w, size_t at) {
    if (at == 1) {
        words names = device_names(dir, false);
        names.push_back("lab");
        return names;
    }
    if (w[1] == "lab") {
        if (at == 2) return {"time_factor", "time_mode", "trace"};
        if (at == 3 && w[2] == "trace") return {"on", "off"};
        if (at == 3 && w[2] == "time_mode") return {"real", "step"};
        return {};
    }
    if (at == 2) return set_keys();
    if (at == 3 && w[2] == "gen") return {"0", "1"};
    return {};
}

words candidates(const std::string& dir, const words& w) {
    const size_t at = w.size() - 1;
    if (at == 0) {
        words verbs;
        for (const verb_row& verb : lab_verbs()) {
            if (!verb.hidden) verbs.push_back(verb.name);
        }
        return verbs;
    }
    const std::string& verb = w[0];
    if (verb == "init") {
        if (w[at - 1] == "--trace") return {"on", "off"};
        return w[at - 1] == "--time-factor" ? words{} : words{"--time-factor", "--step-time", "--trace"};
    }
    if (verb == "create") return create_completions(dir, w, at);
    if (verb == "set") return set_completions(dir, w, at);
    if (verb == "show") {
        if (at == 1) return device_names(dir, false);
        if (at == 2) return show_section_names();
        if (w[2] != "leds") return {};
        if (w[at - 1] == "--color") return {"auto", "always", "never"};
        return w[at - 1] == "--svg" ? words{} : words{"--color", "--svg"};
    }
    if (verb == "fill" || verb == "load") {
        if (at == 1) return device_names(dir, true);
        if (at != 2) return {};
        words memories;
        for (const lab_memory_row& memory : memory_rows()) memories.push_back(memory.name);
        return memories;
    }
    if (verb == "fault") {
        if (at == 1) return device_names(dir, false);
        return at == 2 ? words{"add", "list", "remove", "clear"} : words{};
    }
    if (verb == "restart") return at == 1 ? device_names(dir, true) : words{};
    if (verb == "trace") return at == 1 ? words{"on", "off", "show", "clear"} : words{};
    if (verb == "serve") {
        if (at == 1) return device_names(dir, true);
        return at == 2 ? words{"--usbredir"} : words{};
    }
    if (verb == "run") {
        if (at == 1) {
            words first = tool_commands();
            first.insert(first.begin(), "--as");
            return first;
        }
        const size_t command_at = w[1] == "--as" ? 3 : 1;
        if (at < command_at) return {};
        const words tool(w.begin() + static_cast<std::ptrdiff_t>(command_at), w.end());
        return tool_completions(dir, tool, at - command_at + 1);
    }
    return {};
}

}  // namespace

std::vector<std::string> lab_completions(const std::string& dir, const verb_args& typed) {
    words w = typed;
    if (w.empty()) w.push_back("");
    const std::string& prefix = w.back();
    words matching;
    for (const std::string& word : candidates(dir, w)) {
        if (word.compare(0, prefix.size(), prefix) == 0) matching.push_back(word);
    }
    return matching;
}

int verb_complete(const std::string& dir, const verb_args& args) {
    for (const std::string& word : lab_completions(dir, args)) std::printf("%s\n", word.c_str());
    return 0;
}
