// Printing of report lines: every line of an NVMe report goes to the stream the caller
// passed and is printed only while the report level is 0 or more.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "zelko/common/export.h"
#include "zelko/common/print_level.h"

ZELKO_API_BEGIN
namespace zelko {

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void
report(std::FILE* out, const char* format, ...) {
    if (!reports_enabled()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
}

}  // namespace zelko
ZELKO_API_END
