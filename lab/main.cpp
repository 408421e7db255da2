// mvbridge-lab DIR VERB [ARGS...]: an emulated machine of bridges in a directory.
#include <cstdio>
#include <cstring>

#include "lab/verbs/verbs.h"

namespace {

struct verb_row {
    const char* name;
    int (*run)(const std::string& dir, const verb_args& args);
    const char* usage;
};

constexpr verb_row k_verbs[] = {
    {"init", verb_init, "init [--time-factor N] [--trace on|off]"},
    {"create", verb_create,
     "create NAME [--cdrom-of BRIDGE | [--foreign] [--gen 0|1] [--disk nvme|sata|none] [--KEY VALUE]...]"},
    {"show", verb_show, "show [NAME [SECTION [OFFSET [LENGTH]]]]"},
    {"fill", verb_fill, "fill NAME MEMORY OFFSET LENGTH BYTE"},
    {"set", verb_set, "set NAME KEY VALUE | set lab time_factor N | set lab trace on|off"},
    {"fault", verb_fault, "fault NAME add PATTERN OPTIONS... | list | remove N | clear"},
    {"restart", verb_restart, "restart NAME"},
    {"trace", verb_trace, "trace on|off|show|clear"},
    {"run", verb_run, "run [--as PROGRAM] COMMAND [ARGS...]"},
    {"serve", verb_serve, "serve NAME --usbredir SOCKET"},
};

void print_usage(std::FILE* out) {
    std::fprintf(out, "usage: mvbridge-lab DIR VERB [ARGS...]\n");
    for (const verb_row& verb : k_verbs) std::fprintf(out, "  %s\n", verb.usage);
    std::fprintf(out, "  help\n");
}

}  // namespace

bool asks_for_help(const char* word) {
    return std::strcmp(word, "help") == 0 || std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

int main(int argc, char** argv) {
    // `mvbridge-lab help` and `mvbridge-lab DIR help`.
    if ((argc == 2 && asks_for_help(argv[1])) || (argc == 3 && asks_for_help(argv[2]))) {
        print_usage(stdout);
        return 0;
    }
    if (argc < 3) {
        print_usage(stderr);
        return k_exit_usage;
    }
    const std::string dir = argv[1];
    const verb_args args(argv + 3, argv + argc);
    for (const verb_row& verb : k_verbs) {
        if (std::strcmp(argv[2], verb.name) == 0) {
            const int status = verb.run(dir, args);
            std::fflush(stdout);
            return status;
        }
    }
    std::string verbs;
    for (const verb_row& verb : k_verbs) verbs += std::string(verbs.empty() ? "" : ", ") + verb.name;
    std::fprintf(stderr, "mvbridge-lab: unknown verb '%s' (%s)\n", argv[2], verbs.c_str());
    return k_exit_usage;
}
