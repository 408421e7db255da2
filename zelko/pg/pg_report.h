// The PGINFO report of a decoded PG record.
#pragma once

#include <cstdio>

#include "zelko/common/export.h"
#include "zelko/pg/pg_record.h"

ZELKO_API_BEGIN
namespace zelko {

// Prints the report of `info` to `out` (the tool passes stdout) while the report level is
// 0 or more.
void print_pg_info(std::FILE* out, const PgInfo& info);

}  // namespace zelko
ZELKO_API_END
