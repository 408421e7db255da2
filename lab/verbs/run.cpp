// `run [--as PROGRAM] COMMAND [ARGS...]`: the tool's own front end on the lab's devices,
// printing exactly what the tool prints on a machine with the same bridges.
#include <cstdio>

#include "cli/dispatcher.h"
#include "lab/host/lab_port.h"
#include "lab/verbs/verbs.h"

using namespace zelko;

int verb_run(const std::string& dir, const verb_args& args) {
    std::string program = "mvbridge";
    size_t first = 0;
    if (!args.empty() && args[0] == "--as") {
        if (args.size() < 2) return verb_usage_of("run");
        program = args[1];
        first = 2;
    }
    std::vector<std::string> words;
    words.push_back(program);
    words.insert(words.end(), args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // A directory that is no lab is an error, not a machine without bridges.
    lab_settings settings;
    std::string error;
    if (!lab_load_settings(dir, &settings, &error)) return verb_fail(error);
    lab_port_attach(dir);
    run_command_line(static_cast<int>(words.size()), argv.data());
    std::fflush(stdout);
    return 0;
}
