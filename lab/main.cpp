// mvbridge-lab DIR VERB [ARGS...]: an emulated machine of bridges in a directory.
#include <cstdio>
#include <cstring>

#include "lab/record/text.h"
#include "lab/verbs/verb_table.h"

bool asks_for_help(const char* word) {
    return std::strcmp(word, "help") == 0 || std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

int main(int argc, char** argv) {
    // `mvbridge-lab help` and `mvbridge-lab DIR help`.
    if ((argc == 2 && asks_for_help(argv[1])) || (argc == 3 && asks_for_help(argv[2]))) {
        print_lab_usage(stdout);
        return 0;
    }
    if (argc < 3) {
        print_lab_usage(stderr);
        return k_exit_usage;
    }
    const std::string dir = argv[1];
    const verb_args args(argv + 3, argv + argc);
    if (const verb_row* verb = find_verb(argv[2])) {
        const int status = verb->run(dir, args);
        std::fflush(stdout);
        return status;
    }
    std::string verbs;
    for (const verb_row& verb : lab_verbs()) {
        if (!verb.hidden) verbs += std::string(verbs.empty() ? "" : ", ") + verb.name;
    }
    std::fprintf(stderr, "mvbridge-lab: unknown verb '%s' (%s)\n", printable_line(argv[2]).c_str(), verbs.c_str());
    return k_exit_usage;
}
