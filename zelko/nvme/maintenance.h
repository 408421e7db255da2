// NVMe maintenance through the tunnel: firmware image download in chunks, firmware
// commit, format and sanitize. Entries and the chunk plan are built by pure functions.
#pragma once

#include <cstdint>
#include <vector>

#include "zelko/common/export.h"
#include "zelko/nvme/nvme_commands.h"

ZELKO_API_BEGIN
namespace zelko {

constexpr uint8_t k_nvme_admin_fw_commit = 0x10;
constexpr uint8_t k_nvme_admin_fw_download = 0x11;
constexpr uint8_t k_nvme_admin_format = 0x80;
constexpr uint8_t k_nvme_admin_sanitize = 0x84;

// The chunk size used when the caller's is unusable, and the granule of a usable one.
constexpr uint32_t k_fw_chunk_granule = 4096;

// Sanitize actions (SANACT).
constexpr uint8_t k_sanact_exit_failure = 1;
constexpr uint8_t k_sanact_block_erase = 2;
constexpr uint8_t k_sanact_overwrite = 3;
constexpr uint8_t k_sanact_crypto_erase = 4;

// SSTAT status (bits 2:0) of a sanitize in progress.
constexpr uint16_t k_sstat_in_progress = 2;

// One chunk of a firmware download: where it starts in the image, its length, and the
// NUMD and OFST dwords of its entry.
struct fw_chunk {
    uint32_t position;
    uint32_t length;
    uint32_t numd;
    uint32_t ofst;
};

// The chunk size: `xfer_size` when it is a nonzero multiple of 4096 within `limit`,
// else 4096.
uint32_t fw_chunk_size(uint32_t xfer_size, uint32_t limit);
// The chunks of an image of `image_size` bytes from dword `dword_offset` on.
std::vector<fw_chunk> plan_fw_chunks(uint32_t image_size, uint32_t chunk_size, uint32_t dword_offset);
// The alignment of the image buffer: the largest power of two dividing the chunk size,
// at least 4096 (a chunk size such as 0x3000 is no power of two).
uint32_t fw_buffer_alignment(uint32_t chunk_size);

// Sanitize CDW10 from the command's arguments.
uint32_t sanitize_cdw10(bool no_dealloc, bool oipbp, uint8_t owpass, bool ause, uint8_t action);
// Whether the sanitize command takes `action` with these flags.
bool sanitize_action_valid(uint8_t action, bool no_dealloc, bool ause);

// Entry builders (no I/O).
nvme_request fw_download_request(const fw_chunk& chunk);
nvme_request fw_commit_request(uint8_t slot, uint8_t action);
nvme_request identify_namespace_request(uint32_t nsid);
nvme_request format_request(uint32_t nsid, uint32_t fmt);
nvme_request sanitize_request(uint32_t cdw10, uint32_t overwrite_pattern);

// Operations.
cmd_status nvme_fw_image_download(bridge_dev* dev, const char* path, uint32_t xfer_size, uint32_t dword_offset);
cmd_status nvme_fw_commit(bridge_dev* dev, uint8_t slot, uint8_t action);
cmd_status nvme_format_nvm(bridge_dev* dev, uint32_t nsid, uint32_t fmt);
cmd_status nvme_sanitize_start(bridge_dev* dev, bool no_dealloc, bool oipbp, uint8_t owpass, bool ause, uint8_t action,
                               uint32_t overwrite_pattern);

}  // namespace zelko
ZELKO_API_END
