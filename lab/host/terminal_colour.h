// Whether the lab's pictures go out as 24-bit colour escapes or as text: `--color
// auto|always|never`, where auto means a colour terminal on standard output that
// NO_COLOR (set and not empty) does not switch off.
#pragma once

#include <string>

enum class colour_choice { auto_detect, always, never };

// The choice a `--color` word names; false for any other word.
bool parse_colour_choice(const std::string& word, colour_choice* choice);

// The decision from the choice and what the process sees: whether standard output is a
// terminal, NO_COLOR's value (null when unset) and TERM's ("dumb" has no colours).
bool colour_wanted(colour_choice choice, bool output_is_terminal, const char* no_color, const char* term);

// The same for this process's standard output and environment.
bool colour_on_stdout(colour_choice choice);
