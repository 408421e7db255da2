// The verbs of `mvbridge-lab DIR VERB [ARGS...]` as one table: the dispatch in main, the
// usage text, the manual page and the shell completion all walk it.
#pragma once

#include <span>
#include <string>

#include "lab/verbs/verbs.h"

struct verb_row {
    const char* name;
    int (*run)(const std::string& dir, const verb_args& args);
    const char* usage;    // the words after DIR
    const char* summary;  // one sentence for the manual page
    bool hidden;          // not listed to users (the completion helper)
};

std::span<const verb_row> lab_verbs();

// The row named `name`, or null.
const verb_row* find_verb(const std::string& name);
