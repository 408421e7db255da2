// The built-in manual.
#pragma once

#include <string>
#include <vector>

namespace zelko {

// Prints the whole manual when `whole` is set, otherwise the entry of `command`
// ("wrong option: ..." when no command has that name).
void print_manual(const char* program, const char* command, bool whole);

// The tool's version, as the head of the whole manual prints it.
const char* manual_version();

// The manual as text, for other renderings of it (the manual page): its sections in order,
// each entry with the command table rows it documents and its lines as `help` prints them,
// with `program` and the example `device` path filled in.
struct manual_entry_text {
    int first_row = -1;
    int last_row = -1;
    std::string text;
};
struct manual_section_text {
    std::string heading;  // as printed, e.g. "Bridge command:\n\n"
    std::vector<manual_entry_text> entries;
};
std::vector<manual_section_text> manual_texts(const char* program, const char* device);

}  // namespace zelko
