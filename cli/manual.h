// The built-in manual.
#pragma once

namespace zelko {

// Prints the whole manual when `whole` is set, otherwise the entry of `command`
// ("wrong option: ..." when no command has that name).
void print_manual(const char* program, const char* command, bool whole);

}  // namespace zelko
