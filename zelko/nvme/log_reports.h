// The SMART / Health Information log (02h) and Sanitize Status log (81h) reports.
#pragma once

#include <cstdint>
#include <cstdio>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

constexpr int k_log_report_len = 512;

// Both read the k_log_report_len bytes at `page` and print the report to `out` (the tool
// passes stdout); nothing for a null page or at report level -1.
void print_nvme_smart_log(std::FILE* out, const uint8_t* page);
void print_nvme_sanitize_log(std::FILE* out, const uint8_t* page);

}  // namespace zelko
ZELKO_API_END
