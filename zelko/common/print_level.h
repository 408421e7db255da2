// The process-wide report level, -1 to 4, set once by the dispatcher from "-d<n>".
// Report printers print a line only while it is 0 or more.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// The range "-d<n>" is clamped to.
constexpr int32_t k_min_print_level = -1;
constexpr int32_t k_max_print_level = 4;

extern int32_t print_level;

void set_print_level(int32_t level);

inline bool reports_enabled() { return print_level >= 0; }

}  // namespace zelko
ZELKO_API_END
