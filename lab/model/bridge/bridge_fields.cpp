// The bridge's own keys: its identity, its settings and what it lives through (the rows of
// the `identity`, `settings`, `state` and `registers` sections).
#include <string>

#include "lab/host/names.h"
#include "lab/model/bridge/bridge_fields.h"
#include "lab/record/state.h"

namespace {

constexpr const char* k_kind_names[] = {"bridge", "foreign", nullptr};
constexpr const char* k_bus_names[] = {"usb", "other", nullptr};
constexpr const char* k_raid_pending_names[] = {"JBOD", "RAID0", "RAID1", "none", nullptr};

template <auto Member>
constexpr auto* param = &field_of<&bridge_record::params, Member>;
template <auto Member>
constexpr auto* live = &field_of<&bridge_record::state, Member>;

bool is_lab_name_or_empty(const std::string& value) { return value.empty() || lab_name_is_canonical(value); }

using P = bridge_params;
using L = bridge_live;

}  // namespace

std::span<const persisted_field> bridge_identity_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"kind",                "identity", true,  choice_field{param<&P::kind>, k_kind_names}},
        {"vendor",              "identity", true,  text_field{param<&P::vendor>, 0, 8, nullptr}},
        {"product",             "identity", true,  text_field{param<&P::product>, 0, 16, nullptr}},
        {"revision",            "identity", true,  text_field{param<&P::revision>, 4, 4, nullptr}},
        {"chip_id",             "identity", true,  u32_field{param<&P::chip_id>, true, k_u32}},
        {"chip_version",        "identity", true,  u32_field{param<&P::chip_version>, true, k_u32}},
        {"uuid",                "identity", true,  u32_field{param<&P::uuid>, true, k_u32}},
        {"bus",                 "identity", true,  choice_field{param<&P::bus>, k_bus_names}},
    };
    // clang-format on
    return rows;
}
std::span<const persisted_field> bridge_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"max_xfer",            "settings", true,  u32_field{param<&P::max_xfer>, false, k_u32}},
        {"xfer_flag",           "settings", true,  u32_field{live<&L::xfer_flag>, false, k_u8}},
        {"restart_delay_ms",    "settings", true,  i64_field{param<&P::restart_delay_ms>, 0, k_i64}},
        {"restart_name",        "settings", true,  text_field{param<&P::restart_name>, 0, 15, is_lab_name_or_empty}},
        {"restart_never",       "settings", true,  u32_field{param<&P::restart_never>, false, 1}},
        {"uuid_cmd",            "settings", true,  u32_field{param<&P::uuid_cmd>, false, 1}},
        {"fw_major",            "settings", true,  u32_field{param<&P::fw_major>, false, k_u32}},
        {"fw_minor",            "settings", true,  u32_field{param<&P::fw_minor>, false, k_u32}},
        {"fw_patch",            "settings", true,  u32_field{param<&P::fw_patch>, false, k_u32}},
        {"fw_reserved",         "settings", true,  u32_field{param<&P::fw_reserved>, true, k_u32}},
        {"fw_build_date",       "settings", true,  u32_field{param<&P::fw_build_date>, false, k_u32}},
        {"usb_speed",           "settings", true,  u32_field{param<&P::usb_speed>, false, k_u32}},
        {"ips_threshold",       "settings", true,  u32_field{param<&P::ips_threshold>, false, k_u32}},
        {"disk_speed_max",      "settings", true,  u32_field{param<&P::disk_speed_max>, false, 3, 1}},
        {"disks",               "settings", true,  u32_field{param<&P::disks>, false, 2, 1}},
        {"flash_size",          "settings", true,  u32_field{param<&P::flash_size>, true, k_flash_size_max, k_flash_size_min}},
        {"name",                "state",    false, text_field{live<&L::name>, 1, 15, lab_name_is_canonical}},
        {"boot_count",          "state",    false, u32_field{live<&L::boot_count>, false, k_u32}},
        {"offline_until_ms",    "state",    true,  i64_field{live<&L::offline_until_ms>, 0, k_i64, true}},
        {"disk_speed",          "state",    true,  u32_field{live<&L::disk_speed>, false, 3}},
        {"rw_mode",             "state",    true,  u32_field{live<&L::rw_mode>, false, k_u8}},
        {"raid_mode",           "state",    true,  u32_field{live<&L::raid_mode>, false, k_u8}},
        {"raid_pending",        "state",    false, choice_field{live<&L::raid_pending>, k_raid_pending_names}},
        {"register",            "registers", false, register_map_field{live<&L::registers>}},
    };
    // clang-format on
    return rows;
}
