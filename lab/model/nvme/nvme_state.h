// What the NVMe controller behind a bridge keeps between requests: its small settings and
// the progress of its long operations. Its pages are raw bytes in the lab memories
// `nvme_pages` and `nvme_fw` (nvme_store.h); its settable keys are nvme_fields.cpp's rows.
#pragma once

#include <cstdint>
#include <vector>

struct nvme_state {
    uint32_t held = 0;              // pages held as raw bytes (nvme_store.h); others built from the disk's settings
    uint32_t entry_waiting = 0;     // 1: a submitted entry waits for its data phase
    uint32_t entry_queue = 0;       // its queue: 0 admin, 1 I/O
    int64_t entry_host = 0;         // the process that submitted it (0: unknown)
    int64_t entry_since_ms = 0;     // lab time it was submitted
    uint32_t temp_threshold = 343;  // Temperature Threshold feature, composite over-temperature (K)
    uint32_t power_state = 0;       // Power Management feature
    uint32_t apst = 1;              // Autonomous Power State Transition feature: enabled
    uint32_t cmd_timeout = 30;      // bridge: NVMe command time-out
    uint32_t aspm = 1;              // bridge: 1 ASPM on, 0 switched off
    uint32_t media_fill = 0;        // 32-bit pattern that blocks never written read as
    uint32_t sanitize_action = 0;   // SANACT of the sanitize in progress, 0 for none
    uint32_t sanitize_cdw10 = 0;    // its CDW10 and overwrite pattern
    uint32_t sanitize_pattern = 0;
    int64_t sanitize_start_ms = 0;  // lab time it started
    uint32_t sanitize_ms = 3000;    // lab time a sanitize takes
    uint32_t sstat = 0;             // Sanitize Status log: SSTAT, SPROG and SCDW10 as last reported
    uint32_t sprog = 0xFFFF;
    uint32_t scdw10 = 0;
    std::vector<uint32_t> sanitize_log;  // scripted log answers, empty: over lab time (sanitize_log.h)
    uint32_t sanitize_log_next = 0;      // the one the next read answers
    uint32_t fw_length = 0;              // bytes in the firmware download buffer, assembled at the chunks' offsets
    uint32_t fw_gap = 0;                 // 1: a chunk left a gap, the image cannot be committed
    uint32_t fw_active = 1;              // firmware slot running (its revision, or the disk's firmware when empty)
    uint32_t fw_pending = 0;             // slot activated at the next reset, 0 for none
    uint32_t sanitize_fail = 0;          // 1: sanitize operations fail when their time is up
    uint32_t sanitize_failed = 0;        // 1: sanitize failure mode, media access refused
    uint32_t media_key = 0;              // media encryption key; nonzero: never-written blocks read as its noise
};
