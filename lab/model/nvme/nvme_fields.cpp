// The NVMe controller's keys (the `nvme` section): its settings, the state of its long
// operations, and views of its raw pages (nvme_store.h) and scripted sanitize log
// (sanitize_log.h).
#include "lab/model/nvme/nvme_fields.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/model/nvme/sanitize_log.h"
#include "lab/record/state.h"

namespace {

template <auto Member>
constexpr auto* nvme = &field_of<&bridge_record::nvme, Member>;

using N = nvme_state;

}  // namespace

std::span<const persisted_field> nvme_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"nvme_held",           "nvme",     false, u32_field{nvme<&N::held>, true, k_u8}},
        {"nvme_entry_waiting",  "nvme",     false, u32_field{nvme<&N::entry_waiting>, false, 1}},
        {"nvme_entry_queue",    "nvme",     false, u32_field{nvme<&N::entry_queue>, false, 1}},
        {"nvme_entry_host",     "nvme",     false, i64_field{nvme<&N::entry_host>, 0, k_i64}},
        {"nvme_entry_since_ms", "nvme",     false, i64_field{nvme<&N::entry_since_ms>, 0, k_i64, true}},
        {"nvme_temperature",    "nvme",     true,  k_nvme_temperature_field},
        {"nvme_critical_warning", "nvme",   true,  k_nvme_warning_field},
        {"nvme_temp_threshold", "nvme",     true,  u32_field{nvme<&N::temp_threshold>, false, k_u16}},
        {"nvme_power_state",    "nvme",     true,  u32_field{nvme<&N::power_state>, false, 31}},
        {"nvme_apst",           "nvme",     true,  u32_field{nvme<&N::apst>, false, 1}},
        {"nvme_cmd_timeout",    "nvme",     true,  u32_field{nvme<&N::cmd_timeout>, false, k_u32}},
        {"nvme_aspm",           "nvme",     true,  u32_field{nvme<&N::aspm>, false, 1}},
        {"nvme_media_fill",     "nvme",     false, u32_field{nvme<&N::media_fill>, true, k_u32}},
        {"nvme_sanitize_action", "nvme",    false, u32_field{nvme<&N::sanitize_action>, false, 7}},
        {"nvme_sanitize_cdw10", "nvme",     false, u32_field{nvme<&N::sanitize_cdw10>, true, k_u32}},
        {"nvme_sanitize_pattern", "nvme",   false, u32_field{nvme<&N::sanitize_pattern>, true, k_u32}},
        {"nvme_sanitize_start_ms", "nvme",  false, i64_field{nvme<&N::sanitize_start_ms>, 0, k_i64}},
        {"nvme_sanitize_ms",    "nvme",     true,  u32_field{nvme<&N::sanitize_ms>, false, k_u32, 1}},
        {"nvme_sstat",          "nvme",     false, u32_field{nvme<&N::sstat>, true, k_u16}},
        {"nvme_sprog",          "nvme",     false, u32_field{nvme<&N::sprog>, false, k_u16}},
        {"nvme_scdw10",         "nvme",     false, u32_field{nvme<&N::scdw10>, true, k_u32}},
        {"nvme_sanitize_log",   "nvme",     true,  k_nvme_sanitize_log_field},
        {"nvme_fw_length",      "nvme",     false, u32_field{nvme<&N::fw_length>, false, k_nvme_fw_buffer_size}},
        {"nvme_fw_gap",         "nvme",     false, u32_field{nvme<&N::fw_gap>, false, 1}},
        {"nvme_fw_active",      "nvme",     true,  u32_field{nvme<&N::fw_active>, false, 7, 1}},
        {"nvme_fw_pending",     "nvme",     false, u32_field{nvme<&N::fw_pending>, false, 7}},
        {"nvme_sanitize_fail",  "nvme",     true,  u32_field{nvme<&N::sanitize_fail>, false, 1}},
        {"nvme_sanitize_failed", "nvme",    false, u32_field{nvme<&N::sanitize_failed>, false, 1}},
        {"nvme_media_key",      "nvme",     false, u32_field{nvme<&N::media_key>, true, k_u32}},
    };
    // clang-format on
    return rows;
}
