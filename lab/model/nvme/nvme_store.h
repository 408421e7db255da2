// The NVMe controller's data as the controller holds it: Identify pages, the SMART /
// Health log, feature data, the tunnel's entry and completion, firmware slots, the
// namespace's media and the firmware download buffer, all raw bytes in the bridge's lab
// memories (lab/record/storage.h).
//
// An Identify page or SMART log never loaded or changed is built from the disk's
// settings (model, serial, firmware, capacity) when read, so `set model ...` shows in
// Identify; a page loaded from a file (`create --nvme-id-ctrl FILE`) is served as it is.
// The media is sparse: blocks never written read as zeros, or as the pattern of an
// overwrite sanitize after one, or as noise after a crypto erase (a block written with
// zeros since then reads so too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lab/record/state.h"

// What the controller holds, each raw: its pages (in the lab memory `nvme_pages`), its
// namespace's media (the lab memory `media`), its firmware download buffer (`nvme_fw`)
// and the images committed to its firmware slots (`nvme_slots`, one buffer's size per
// slot; `fw_slot_lengths` in the pages holds each image's length, u32, 0 for none).
enum class nvme_memory {
    id_ctrl,
    id_ns,
    smart,
    apst_table,
    entry,
    completion,
    fw_slot_lengths,
    media,
    fw_buffer,
    fw_slots
};

constexpr uint32_t k_nvme_page_len = 4096;
constexpr uint32_t k_nvme_log_len = 512;
constexpr uint32_t k_nvme_block_len = 512;
constexpr uint32_t k_nvme_apst_len = 256;
constexpr uint32_t k_nvme_entry_len = 64;
constexpr uint32_t k_nvme_completion_len = 16;
constexpr uint32_t k_nvme_fw_revision_len = 8;
constexpr uint32_t k_nvme_fw_slot_count = 7;  // the most FRMW can report

bool nvme_memory_read(const bridge_record& record, nvme_memory which, uint64_t offset, void* out, size_t length);
bool nvme_memory_write(bridge_record& record, nvme_memory which, uint64_t offset, const void* data, size_t length);
uint64_t nvme_memory_size(const bridge_record& record, nvme_memory which);
// The firmware slots the controller reports (FRMW bits 3:1), 0 to 7.
uint32_t nvme_fw_slot_count(const bridge_record& record);
// The length of the image committed to a firmware slot (1 to 7), 0 for none.
uint32_t nvme_fw_slot_length(const bridge_record& record, uint32_t slot);
// The whole of a page (not the media or the buffer).
std::vector<uint8_t> nvme_page(bridge_record& record, nvme_memory which);

// Loads a saved Identify Controller (4096 bytes), Identify Namespace (4096) or SMART log
// (512) file into the controller.
bool nvme_load_file(bridge_record& record, nvme_memory which, const std::string& path, std::string* error);

// Erases the whole media: every block reads as the 32-bit `pattern` repeated.
void nvme_media_erase(bridge_record& record, uint32_t pattern);
// A crypto erase: the media's key is replaced, so every block reads as noise of the new
// key (not as zeros, as after a block erase), different after each crypto erase.
void nvme_media_crypto_erase(bridge_record& record);

// Counts a served read or write in the SMART log: data units (thousands of 512-byte
// units, rounded up per command) and host commands.
void nvme_count_io(bridge_record& record, bool write, uint64_t blocks);

// Offsets in the pages used by the controller and by `show`.
constexpr size_t k_idc_ver = 80;
constexpr size_t k_idc_frmw = 260;
constexpr size_t k_idc_npss = 263;
constexpr size_t k_smart_warning = 0;
constexpr size_t k_smart_temperature = 1;

// Drops the waiting entry and who submitted it, so an idle controller shows no stale process.
void nvme_entry_clear(nvme_state& s);

// A reset of the controller (the bridge restarts): a firmware slot activated for the next
// reset runs, the tunnel is idle, features and the bridge's NVMe settings return to their
// power-on values.
void nvme_power_on(bridge_record& record);

// `show NAME nvme`: the main fields decoded.
void print_nvme_summary(bridge_record& record);

// The `set` keys nvme_temperature (kelvin) and nvme_critical_warning, kept in the log.
extern const custom_field k_nvme_temperature_field;
extern const custom_field k_nvme_warning_field;
