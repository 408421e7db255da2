#include "zelko/nvme/maintenance.h"

#include <cstdio>
#include <memory>
#include <new>

namespace zelko {

namespace {

constexpr uint16_t k_cid_fw = 0;
constexpr uint16_t k_cid_sanitize = 1;
constexpr uint16_t k_cid_identify = 5;
constexpr uint16_t k_cid_format = 0x80;
constexpr uint8_t k_cns_namespace = 0x00;
constexpr uint8_t k_max_slot_or_action = 7;

// A buffer aligned to a power of two, released with the same alignment.
struct aligned_delete {
    std::align_val_t alignment;
    void operator()(uint8_t* p) const { ::operator delete[](p, alignment); }
};
using aligned_buffer = std::unique_ptr<uint8_t[], aligned_delete>;

aligned_buffer aligned_allocate(size_t size, uint32_t alignment) {
    const std::align_val_t a{alignment};
    return aligned_buffer(static_cast<uint8_t*>(::operator new[](size, a, std::nothrow)), aligned_delete{a});
}

struct file_closer {
    void operator()(std::FILE* f) const { (void)std::fclose(f); }  // a file only read
};

// The image file's size; -1 when it cannot be read or is no nonzero multiple of 4.
cmd_status image_size(std::FILE* file, uint32_t* size) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (end <= 0 || end % 4 != 0 || static_cast<unsigned long>(end) > 0xFFFFFFFFul) return -1;
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    *size = static_cast<uint32_t>(end);
    return 0;
}

cmd_status download_chunks(bridge_dev* dev, std::FILE* file, uint32_t size, uint32_t xfer_size, uint32_t dword_offset) {
    uint32_t limit = 0;
    if (max_xfer_get(dev, &limit) != 0) limit = k_fw_chunk_granule;
    const uint32_t chunk_size = fw_chunk_size(xfer_size, limit);
    aligned_buffer image = aligned_allocate(size, fw_buffer_alignment(chunk_size));
    if (!image) return -1;
    if (std::fread(image.get(), 1, size, file) != size) return -1;
    cmd_status status = 0;
    for (const fw_chunk& chunk : plan_fw_chunks(size, chunk_size, dword_offset)) {
        status = nvme_run(dev, fw_download_request(chunk), image.get() + chunk.position);
        if (status != 0) break;
    }
    return status;
}

}  // namespace

uint32_t fw_chunk_size(uint32_t xfer_size, uint32_t limit) {
    if (xfer_size != 0 && xfer_size % k_fw_chunk_granule == 0 && xfer_size <= limit) return xfer_size;
    return k_fw_chunk_granule;
}

std::vector<fw_chunk> plan_fw_chunks(uint32_t image_size, uint32_t chunk_size, uint32_t dword_offset) {
    std::vector<fw_chunk> chunks;
    if (chunk_size == 0) return chunks;
    uint32_t byte_offset = dword_offset * 4;
    for (uint32_t position = 0; position < image_size;) {
        const uint32_t length = image_size - position < chunk_size ? image_size - position : chunk_size;
        chunks.push_back({position, length, length / 4 - 1, byte_offset / 4});
        position += length;
        byte_offset += length;
    }
    return chunks;
}

uint32_t fw_buffer_alignment(uint32_t chunk_size) {
    const uint32_t lowest_bit = chunk_size & (~chunk_size + 1);
    return lowest_bit > k_fw_chunk_granule ? lowest_bit : k_fw_chunk_granule;
}

uint32_t sanitize_cdw10(bool no_dealloc, bool oipbp, uint8_t owpass, bool ause, uint8_t action) {
    return (action & 0x7u) | (ause ? 1u << 3 : 0) | ((owpass & 0xFu) << 4) | (oipbp ? 1u << 8 : 0) |
           (no_dealloc ? 1u << 9 : 0);
}

bool sanitize_action_valid(uint8_t action, bool no_dealloc, bool ause) {
    if (action == k_sanact_exit_failure) return !ause && !no_dealloc;
    return action == k_sanact_block_erase || action == k_sanact_overwrite || action == k_sanact_crypto_erase;
}

nvme_request fw_download_request(const fw_chunk& chunk) {
    return admin_request(k_nvme_admin_fw_download, k_cid_fw, 0, chunk.numd, chunk.ofst, chunk.length,
                         nvme_direction::to_controller);
}

nvme_request fw_commit_request(uint8_t slot, uint8_t action) {
    return admin_request(k_nvme_admin_fw_commit, k_cid_fw, 0, slot + action * 8u, 0, 0, nvme_direction::none);
}

nvme_request identify_namespace_request(uint32_t nsid) {
    return admin_request(k_nvme_admin_identify, k_cid_identify, nsid, k_cns_namespace, 0, k_identify_len,
                         nvme_direction::from_controller);
}

nvme_request format_request(uint32_t nsid, uint32_t fmt) {
    return admin_request(k_nvme_admin_format, k_cid_format, nsid, fmt, 0, 0, nvme_direction::none);
}

nvme_request sanitize_request(uint32_t cdw10, uint32_t overwrite_pattern) {
    return admin_request(k_nvme_admin_sanitize, k_cid_sanitize, 0, cdw10, overwrite_pattern, 0, nvme_direction::none);
}

// The transfer flag is cleared for the chunks and written back on every exit after it
// was read.
cmd_status nvme_fw_image_download(bridge_dev* dev, const char* path, uint32_t xfer_size, uint32_t dword_offset) {
    uint8_t saved_flag = 0;
    if (xfer_flag_get(dev, &saved_flag) != 0) return -1;
    cmd_status status = -1;
    std::unique_ptr<std::FILE, file_closer> file(path != nullptr && *path != '\0' ? std::fopen(path, "rb") : nullptr);
    uint32_t size = 0;
    if (file && image_size(file.get(), &size) == 0) {
        if (saved_flag != 0) xfer_flag_set(dev, 0);
        status = download_chunks(dev, file.get(), size, xfer_size, dword_offset);
    }
    if (saved_flag != 0) xfer_flag_set(dev, saved_flag);
    return status;
}

cmd_status nvme_fw_commit(bridge_dev* dev, uint8_t slot, uint8_t action) {
    if (slot > k_max_slot_or_action || action > k_max_slot_or_action) return -1;
    return nvme_run(dev, fw_commit_request(slot, action), nullptr);
}

cmd_status nvme_format_nvm(bridge_dev* dev, uint32_t nsid, uint32_t fmt) {
    std::unique_ptr<uint8_t[]> page(new (std::nothrow) uint8_t[k_identify_len]());
    if (!page) return -1;
    const cmd_status identified = nvme_run(dev, identify_namespace_request(nsid), page.get());
    if (identified != 0) return identified;
    return nvme_run(dev, format_request(nsid, fmt), nullptr);
}

cmd_status nvme_sanitize_start(bridge_dev* dev, bool no_dealloc, bool oipbp, uint8_t owpass, bool ause, uint8_t action,
                               uint32_t overwrite_pattern) {
    if (!sanitize_action_valid(action, no_dealloc, ause)) return -1;
    const uint32_t cdw10 = sanitize_cdw10(no_dealloc, oipbp, owpass, ause, action);
    const cmd_status quiet = nvme_disable_low_power(dev);
    if (quiet != 0) return quiet;
    return nvme_run(dev, sanitize_request(cdw10, action == k_sanact_overwrite ? overwrite_pattern : 0), nullptr);
}

}  // namespace zelko
