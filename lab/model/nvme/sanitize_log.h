// Scripted answers of the NVMe disk's Sanitize Status log. Left empty, the log follows a
// sanitize's progress over lab time; set, each read of the log answers the next of the
// scripted answers and the last one repeats, so that a test can play any sequence of
// progress and status (50 % then done, uneven steps, an odd status while in progress).
//
// An answer is the log's first dword as a number: SSTAT in bits 31:16, SPROG in bits
// 15:0 ("0x00028000" is SSTAT 2, in progress, at SPROG 8000h, 50 %).
#pragma once

#include <cstdint>

#include "lab/record/state.h"

struct sanitize_log_answer {
    uint16_t sprog = 0;
    uint16_t sstat = 0;
};

// Whether the log's answers are scripted.
bool sanitize_log_scripted(const bridge_record& record);

// The scripted answer of this read; moves on to the next one unless this is the last.
sanitize_log_answer sanitize_log_next_answer(bridge_record& record);

// The `nvme_sanitize_log` key: its saved form, `set` and `show` text.
extern const custom_field k_nvme_sanitize_log_field;
