// The SMART / Health Information log (02h) and Sanitize Status log (81h) reports.
#pragma once

#include <cstdint>

namespace zelko {

constexpr int k_log_report_len = 512;

// Both read `page` (512 bytes) and print nothing at report level -1.
void print_nvme_smart_log(const uint8_t* page);
void print_nvme_sanitize_log(const uint8_t* page);

}  // namespace zelko
