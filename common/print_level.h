// The process-wide report level, -1 to 4, set once by the dispatcher from "-d<n>".
// Report printers print a line only while it is 0 or more.
#pragma once

#include <cstdint>

namespace zelko {

extern int32_t print_level;

void set_print_level(int32_t level);

inline bool reports_enabled() { return print_level >= 0; }

}  // namespace zelko
