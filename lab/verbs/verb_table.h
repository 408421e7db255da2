// The verbs of `mvbridge-lab DIR VERB [ARGS...]` as one table: the dispatch in main, the
// usage text (`help` and each verb's usage error), the manual page and the shell completion
// all walk it, so none of them can leave out what another shows.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "lab/verbs/verbs.h"

struct verb_row {
    const char* name;
    int (*run)(const std::string& dir, const verb_args& args);
    const char* usage;    // the words after DIR; a verb of several forms has one a line
    const char* summary;  // what it does, for the manual page
    bool hidden;          // not listed to users (the completion helper)
};

std::span<const verb_row> lab_verbs();

// The row named `name`, or null.
const verb_row* find_verb(const std::string& name);

// The forms of a verb's usage, one a line of `usage`.
std::vector<std::string> verb_forms(const verb_row& verb);

// "usage: mvbridge-lab DIR VERB [ARGS...]" and every form of every listed verb, indented.
void print_lab_usage(std::FILE* out);
