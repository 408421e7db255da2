// The capability bits of the Identify Controller report: one table per bit section.
#pragma once

#include <cstdint>
#include <span>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// One bit with a line. With `zero` null, the lines read "Supports <text>" and
// "Does not support <text>"; otherwise `text` is the value-1 line and `zero` the value-0
// line. `gate` is the NVMe revision the bit needs (0: any).
struct id_bit {
    uint8_t bit;
    uint32_t gate;
    const char* text;
    const char* zero = nullptr;
};

extern const std::span<const id_bit> k_cmic_bits;
extern const std::span<const id_bit> k_oaes_bits;
extern const std::span<const id_bit> k_ctratt_bits;
extern const std::span<const id_bit> k_nvmsr_bits;
extern const std::span<const id_bit> k_mec_bits;
extern const std::span<const id_bit> k_oacs_bits;
extern const std::span<const id_bit> k_frmw_high_bits;  // above the slot count
extern const std::span<const id_bit> k_frmw_low_bits;   // bit 0
extern const std::span<const id_bit> k_lpa_bits;
extern const std::span<const id_bit> k_avscc_bits;
extern const std::span<const id_bit> k_apsta_bits;
extern const std::span<const id_bit> k_hctma_bits;
extern const std::span<const id_bit> k_anacap_bits;
extern const std::span<const id_bit> k_oncs_bits;
extern const std::span<const id_bit> k_fuses_bits;
extern const std::span<const id_bit> k_fna_bits;
extern const std::span<const id_bit> k_icsvscc_bits;
extern const std::span<const id_bit> k_nwpc_bits;
extern const std::span<const id_bit> k_ocfs_bits;
extern const std::span<const id_bit> k_fcatt_bits;
extern const std::span<const id_bit> k_ofcs_bits;
extern const std::span<const id_bit> k_sanicap_op_bits;  // bits 2 to 0
extern const std::span<const id_bit> k_sgls_high_bits;   // bits 21 to 16
extern const std::span<const id_bit> k_sgls_keyed_bits;  // bit 2

}  // namespace zelko
ZELKO_API_END
