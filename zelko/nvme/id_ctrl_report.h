// The Identify Controller report: the 4096-byte Identify Controller data structure
// printed field by field in the structure's order, gated by the NVMe revision the
// controller reports (VER with its tertiary number cleared).
#pragma once

#include <cstdint>
#include <cstdio>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

constexpr int k_id_ctrl_len = 4096;
constexpr int k_psd_len = 32;
constexpr int k_psd_base = 2048;
// Descriptors the structure holds (PSD0 to PSD31).
constexpr int k_psd_count = 32;

constexpr uint32_t k_nvme_rev_1_3 = 0x00010300;
constexpr uint32_t k_nvme_rev_1_4 = 0x00010400;
constexpr uint32_t k_nvme_rev_2_0 = 0x00020000;

// True when the revision `ver` reports is at least `gate` (0 gates nothing).
inline bool nvme_rev_at_least(uint32_t ver, uint32_t gate) { return (ver & ~0xFFu) >= gate; }

// Prints the report of the k_id_ctrl_len-byte structure at `buffer` to `out` (the tool
// passes stdout); nothing for a null buffer or at report level -1. Power state descriptors
// beyond PSD31 are not in the structure and are not printed, whatever NPSS says.
void print_nvme_id_ctrl(std::FILE* out, const uint8_t* buffer);
// Prints the k_psd_len-byte power state descriptor at `descriptor` to `out`; `ver` is the
// full VER value. Nothing for a null descriptor or at report level -1.
void print_nvme_psd(std::FILE* out, const uint8_t* descriptor, uint32_t ver);

}  // namespace zelko
ZELKO_API_END
