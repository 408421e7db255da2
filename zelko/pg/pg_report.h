// The PGINFO report of a decoded PG record.
#pragma once

#include "zelko/pg/pg_record.h"

namespace zelko {

// Prints the report to standard output while the report level is 0 or more.
void print_pg_info(const PgInfo& info);

}  // namespace zelko
