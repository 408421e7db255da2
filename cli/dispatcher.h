// The tool's front end: one command line, one command, output on standard output.
#pragma once

#include <cstdint>

namespace zelko {

// Runs one command line (argv[0] the program, argv[1] the command word). The caller
// exits with 0 whatever happened.
void run_command_line(int argc, char** argv);

// argv[0] without its directory: what follows the last backslash or slash.
const char* program_name_of(const char* argv0);

// 0 when `word` is a report-level option "-d<n>", -1 otherwise; always stores a level
// (0 when the word is not an option).
int parse_level_option(const char* word, int32_t* level);

}  // namespace zelko
