// The NVMe command tunnel: three vendor command blocks carry one NVMe command to the
// disk behind the bridge (the 64-byte entry, the command's data, the 16-byte completion),
// plus the bridge's two settings for its NVMe side. Blocks and entries are built by pure
// functions; nvme_tunnel_exec sends them.
#pragma once

#include <array>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Byte 3 of a tunnel block names its phase.
constexpr uint8_t k_op_tunnel_in = 0xE4;   // data from the bridge
constexpr uint8_t k_op_tunnel_out = 0xE5;  // data to the bridge, or none
constexpr uint8_t k_tunnel_submit = 0xF7;
constexpr uint8_t k_tunnel_data = 0xF8;
constexpr uint8_t k_tunnel_completion = 0xF9;
constexpr uint8_t k_tunnel_setting = 0xFD;
// Byte 4 of a setting block.
constexpr uint8_t k_setting_cmd_timeout = 0x01;
constexpr uint8_t k_setting_aspm_off = 0x02;

constexpr int32_t k_nvme_entry_len = 64;
constexpr int32_t k_nvme_completion_len = 16;

// Queue selector of the submit phase.
enum class nvme_queue : uint8_t { admin = 0, io = 1 };

// Direction code of the data phase.
enum class nvme_direction : uint8_t { none = 0, from_controller = 1, to_controller = 2 };

// Sense values (additional sense code and qualifier) of a failed data phase.
constexpr cmd_status k_nvme_sense_timeout = 0x2E00;
constexpr cmd_status k_nvme_sense_failed = 0x4400;

// The 64-byte NVMe command entry. Fields not named here are sent as 0.
struct nvme_tunnel_cmd {
    uint8_t opcode = 0;
    uint16_t command_id = 0;
    uint32_t nsid = 0;
    uint64_t data_address = 0;  // the host buffer's address; filled in by nvme_tunnel_exec
    uint32_t data_length = 0;   // bytes the data phase moves
    uint32_t cdw10 = 0;
    uint32_t cdw11 = 0;
    uint32_t cdw12 = 0;
    uint32_t cdw13 = 0;
    uint32_t cdw14 = 0;
    uint32_t cdw15 = 0;
};

// Offsets inside the entry.
constexpr int k_entry_opcode = 0;
constexpr int k_entry_command_id = 2;
constexpr int k_entry_nsid = 4;
constexpr int k_entry_data_address = 24;
constexpr int k_entry_data_length = 36;
constexpr int k_entry_cdw10 = 40;

// The k_nvme_entry_len bytes of the entry, by value; no I/O.
using nvme_entry_bytes = std::array<uint8_t, k_nvme_entry_len>;
nvme_entry_bytes encode_nvme_entry(const nvme_tunnel_cmd& cmd);

// Block builders (no I/O).
cdb16 tunnel_submit_cdb(nvme_queue queue);
cdb16 tunnel_data_cdb(uint32_t length, nvme_direction direction);
cdb16 tunnel_completion_cdb();
cdb16 nvme_cmd_timeout_cdb(uint32_t value);
cdb16 nvme_aspm_off_cdb();

// The status of a failed data phase: sense byte 12 (ASC) above byte 13 (ASCQ), read from
// the k_sense_len bytes at `sense`.
cmd_status nvme_sense_value(const uint8_t* sense);

// Runs one tunnelled command: submit, data phase (length from the entry), completion.
// A failed submit returns its transport status and sends nothing more. Otherwise the
// completion is always fetched (into `completion_out` when given, k_nvme_completion_len
// bytes) and the result is that of the data phase: 0, or its sense value; a data phase from
// the controller that moved fewer bytes than the entry asks for, or failed without sense,
// gives k_status_short_answer. With `completion_out`, a failed or short completion fetch
// fails the command too (its status, or k_status_short_answer). `data` holds
// `cmd.data_length` bytes, stays the caller's, and may be null when the entry moves no data.
cmd_status nvme_tunnel_exec(bridge_dev* dev, const nvme_tunnel_cmd& cmd, nvme_queue queue, nvme_direction direction,
                            void* data, uint8_t* completion_out = nullptr);

}  // namespace zelko
ZELKO_API_END
