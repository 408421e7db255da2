#include "lab/host/terminal_colour.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool parse_colour_choice(const std::string& word, colour_choice* choice) {
    if (word == "auto") {
        *choice = colour_choice::auto_detect;
    } else if (word == "always") {
        *choice = colour_choice::always;
    } else if (word == "never") {
        *choice = colour_choice::never;
    } else {
        return false;
    }
    return true;
}

bool colour_wanted(colour_choice choice, bool output_is_terminal, const char* no_color, const char* term) {
    if (choice != colour_choice::auto_detect) return choice == colour_choice::always;
    if (!output_is_terminal) return false;
    if (no_color != nullptr && no_color[0] != '\0') return false;
    return term != nullptr && term[0] != '\0' && std::strcmp(term, "dumb") != 0;
}

bool colour_on_stdout(colour_choice choice) {
    return colour_wanted(choice, isatty(fileno(stdout)) != 0, std::getenv("NO_COLOR"), std::getenv("TERM"));
}
