// The flash's and firmware's keys (in the `state` section): the write address taken and
// what booted.
#include "lab/model/flash/firmware.h"
#include "lab/model/flash/flash_fields.h"
#include "lab/record/state.h"

namespace {

template <auto Member>
constexpr auto* flash = &field_of<&bridge_record::flash, Member>;

}  // namespace

std::span<const persisted_field> flash_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"flash_address",       "state",    false, u32_field{flash<&flash_state::address>, true, k_u32}},
        {"fw_running",          "state",    true,  choice_field{flash<&flash_state::running>, k_fw_running_names}},
    };
    // clang-format on
    return rows;
}
