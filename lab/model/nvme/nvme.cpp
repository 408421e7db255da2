// The NVMe controller behind an NVMe bridge, reached through the bridge's tunnel: a
// submit block hands over a 64-byte command entry, a data phase block runs the command
// and moves its data, a completion block returns the 16-byte completion. Byte 3 names
// the phase (F7 submit, F8 data, F9 completion, FD a bridge setting).
//
// The tunnel keeps one entry at a time: a data phase without a submitted entry, or a
// second submit while one waits, is refused as a sequence error (05/2C/00), unless the
// waiting entry was abandoned (its process is gone, or a minute of lab time passed): the
// new submit then replaces it, with a note in the trace. A command the
// controller fails answers its data phase with 04/44/00 and no data; its completion
// carries the NVMe status. The completion block ends the exchange.
#include <algorithm>
#include <cstring>
#include <vector>

#include "zelko/common/cursor.h"
#include "lab/host/lab_os.h"
#include "lab/model/handlers.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/model/nvme/sanitize_log.h"

using namespace zelko;

namespace {

constexpr uint32_t k_entry_len = 64;
// Lab time after which a waiting entry is taken as abandoned: longer than a host waits
// for any one block of the tunnel.
constexpr int64_t k_entry_abandon_ms = 60000;
constexpr uint32_t k_completion_len = 16;

// Direction codes of the data phase.
constexpr uint8_t k_dir_none = 0;
constexpr uint8_t k_dir_to_host = 1;
constexpr uint8_t k_dir_to_controller = 2;

// Opcodes.
constexpr uint8_t k_admin_fw_commit = 0x10;
constexpr uint8_t k_admin_fw_download = 0x11;
constexpr uint8_t k_admin_format = 0x80;
constexpr uint8_t k_admin_sanitize = 0x84;
constexpr uint8_t k_admin_get_log_page = 0x02;
constexpr uint8_t k_admin_identify = 0x06;
constexpr uint8_t k_admin_set_features = 0x09;
constexpr uint8_t k_admin_get_features = 0x0A;
constexpr uint8_t k_io_write = 0x01;
constexpr uint8_t k_io_read = 0x02;

// NVMe status codes (generic command status unless noted).
constexpr uint16_t k_sc_success = 0x00;
constexpr uint16_t k_sc_invalid_opcode = 0x01;
constexpr uint16_t k_sc_invalid_field = 0x02;
constexpr uint16_t k_sc_data_transfer_error = 0x04;
constexpr uint16_t k_sc_invalid_namespace = 0x0B;
constexpr uint16_t k_sc_lba_out_of_range = 0x80;
constexpr uint16_t k_sc_capacity_exceeded = 0x81;
constexpr uint16_t k_sc_sequence_error = 0x0C;
constexpr uint16_t k_sc_sanitize_failed = 0x1C;
constexpr uint16_t k_sc_sanitize_in_progress = 0x1D;
constexpr uint16_t k_sc_invalid_log_page = 0x109;  // command specific
constexpr uint16_t k_sc_invalid_fw_slot = 0x106;
constexpr uint16_t k_sc_invalid_fw_image = 0x107;
constexpr uint16_t k_sc_invalid_format = 0x10A;
constexpr uint16_t k_sc_overlapping_range = 0x114;

// Sanitize actions, CDW10 fields and SSTAT values.
constexpr uint32_t k_sanact_exit_failure = 1;
constexpr uint32_t k_sanact_overwrite = 3;
constexpr uint32_t k_sanact_crypto_erase = 4;
constexpr uint32_t k_cdw10_ause = 1u << 3;
constexpr uint32_t k_cdw10_oipbp = 1u << 8;
constexpr uint32_t k_owpass_none = 16;  // OWPASS 0 asks for 16 passes
constexpr uint32_t k_sstat_completed = 1;
constexpr uint32_t k_sstat_in_progress = 2;
constexpr uint32_t k_sstat_failed = 3;
constexpr uint32_t k_sstat_global_erased = 0x100;
// The SANICAP bit of each action: block erase (2) bit 1, overwrite (3) bit 2, crypto erase (4) bit 0.
constexpr uint32_t k_sanicap_bit_of_action[] = {0, 0, 1u << 1, 1u << 2, 1u << 0};

// Firmware: slots 1 to 7, Commit actions 0 to 3.
constexpr size_t k_fw_revision_len = 8;
constexpr size_t k_idc_fr = 64;
constexpr uint32_t k_fw_copy_chunk = 64u << 10;
constexpr size_t k_idc_sanicap = 328;

constexpr uint8_t k_cns_namespace = 0x00;
constexpr uint8_t k_cns_controller = 0x01;
constexpr uint8_t k_log_smart = 0x02;
constexpr uint8_t k_log_sanitize = 0x81;
constexpr uint8_t k_feature_power = 0x02;
constexpr uint8_t k_feature_temp_threshold = 0x04;
constexpr uint8_t k_feature_apst = 0x0C;
constexpr uint32_t k_apst_table_len = 256;

// Bridge settings of the NVMe side (byte 4 of an FD block) and the time-outs it takes.
constexpr uint8_t k_setting_cmd_timeout = 0x01;
constexpr uint8_t k_setting_aspm_off = 0x02;
constexpr uint32_t k_min_cmd_timeout = 3;
constexpr uint32_t k_max_cmd_timeout = 655;

// Sense of the tunnel: a refused sequence, a failed NVMe command.
constexpr uint8_t k_key_illegal_request = 0x05;
constexpr uint8_t k_asc_sequence_error = 0x2C;
constexpr uint8_t k_key_hardware_error = 0x04;
constexpr uint8_t k_asc_nvme_failed = 0x44;

// A decoded entry.
struct nvme_command {
    uint8_t opcode;
    uint16_t cid;
    uint32_t nsid;
    uint32_t data_length;
    uint32_t cdw10, cdw11, cdw12;
    uint32_t queue;
};

nvme_command decode_entry(const std::vector<uint8_t>& bytes, uint32_t queue) {
    read_cursor in(bytes.data(), bytes.size());
    return {in.u8_at(0),    in.le16_at(2),  in.le32_at(4),  in.le32_at(36),
            in.le32_at(40), in.le32_at(44), in.le32_at(48), queue};
}

// What a command came to: its NVMe status, completion dword 0, and data for the host.
struct outcome {
    uint16_t status = k_sc_success;
    uint32_t dw0 = 0;
    std::vector<uint8_t> data;
};

outcome failed(uint16_t status) { return outcome{status, 0, {}}; }

// The data of a Get Log Page or Identify: the page, cut to the dwords asked for.
outcome page_answer(const std::vector<uint8_t>& page, size_t asked) {
    outcome o;
    o.data.assign(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(std::min(asked, page.size())));
    return o;
}

// The pattern an overwrite leaves: OWPASS passes (0 meaning 16), the pattern inverted
// between passes when OIPBP is set, so an even number of passes ends inverted.
uint32_t overwrite_final_pattern(uint32_t cdw10, uint32_t pattern) {
    const uint32_t passes = (cdw10 >> 4) & 0xF;
    const bool inverted = (cdw10 & k_cdw10_oipbp) != 0 && (passes == 0 ? k_owpass_none : passes) % 2 == 0;
    return inverted ? ~pattern : pattern;
}

// Ends the sanitize in progress: the media is erased (block erase), its key replaced
// (crypto erase) or overwritten with the pattern, and the log says so; when it fails the
// media is left as it was, the log reports the failure and the controller enters
// sanitize failure mode.
void finish_sanitize(bridge_record& record, bool fail) {
    nvme_state& s = record.nvme;
    record.dirty = true;
    s.sprog = 0xFFFF;
    if (fail) {
        s.sstat = k_sstat_failed;
        s.sanitize_failed = 1;
    } else {
        if (s.sanitize_action == k_sanact_crypto_erase) {
            nvme_media_crypto_erase(record);
        } else {
            const bool overwrite = s.sanitize_action == k_sanact_overwrite;
            nvme_media_erase(record, overwrite ? overwrite_final_pattern(s.sanitize_cdw10, s.sanitize_pattern) : 0);
        }
        s.sstat = k_sstat_completed | k_sstat_global_erased;
        s.sanitize_failed = 0;
    }
    s.sanitize_action = 0;
}

// A sanitize in progress moves on with lab time and fails at its end with
// `nvme_sanitize_fail` set. With scripted log answers it ends when the log says so
// instead (sanitize_status_page).
void sanitize_progress(bridge_record& record, int64_t now_ms) {
    nvme_state& s = record.nvme;
    if (s.sanitize_action == 0 || sanitize_log_scripted(record)) return;
    const int64_t elapsed = now_ms > s.sanitize_start_ms ? now_ms - s.sanitize_start_ms : 0;
    const int64_t duration = s.sanitize_ms;
    if (elapsed < duration) {
        record.dirty = true;
        s.sstat = k_sstat_in_progress | (s.sstat & k_sstat_global_erased);
        s.sprog = static_cast<uint32_t>(elapsed * 65536 / duration);
        return;
    }
    finish_sanitize(record, s.sanitize_fail != 0);
}

// The next scripted answer is what the log reports. A status other than in progress ends
// a running sanitize as it says: failed (3) enters failure mode, any other completes it.
void answer_scripted_log(bridge_record& record) {
    nvme_state& s = record.nvme;
    const sanitize_log_answer answer = sanitize_log_next_answer(record);
    const uint32_t status = answer.sstat & 0x7u;
    if (s.sanitize_action != 0 && status != k_sstat_in_progress) finish_sanitize(record, status == k_sstat_failed);
    s.sprog = answer.sprog;
    s.sstat = answer.sstat;
    record.dirty = true;
}

// Media access while a sanitize runs or after one failed is refused.
uint16_t media_refusal(bridge_record& record, int64_t now_ms) {
    sanitize_progress(record, now_ms);
    if (record.nvme.sanitize_action != 0) return k_sc_sanitize_in_progress;
    if (record.nvme.sanitize_failed != 0) return k_sc_sanitize_failed;
    return k_sc_success;
}

std::vector<uint8_t> sanitize_status_page(bridge_record& record, int64_t now_ms) {
    sanitize_progress(record, now_ms);
    if (sanitize_log_scripted(record)) answer_scripted_log(record);
    std::vector<uint8_t> page(k_nvme_log_len, 0);
    write_cursor out(page.data(), page.size());
    out.le16_at(0, static_cast<uint16_t>(record.nvme.sprog));
    out.le16_at(2, static_cast<uint16_t>(record.nvme.sstat));
    out.le32_at(4, record.nvme.scdw10);
    return page;
}

uint32_t id_ctrl_u32(bridge_record& record, size_t offset) {
    uint8_t bytes[4] = {};
    nvme_memory_read(record, nvme_memory::id_ctrl, offset, bytes, sizeof bytes);
    return get_le32(bytes);
}

outcome sanitize(bridge_record& record, const nvme_command& c, int64_t now_ms) {
    nvme_state& s = record.nvme;
    sanitize_progress(record, now_ms);
    if (s.sanitize_action != 0) return failed(k_sc_sanitize_in_progress);
    const uint32_t action = c.cdw10 & 0x7;
    // Exit Failure Mode leaves failure mode after a sanitize that failed, unless it ran in
    // restricted completion mode (AUSE clear): then only a new sanitize that succeeds
    // does. The log keeps reporting the failed sanitize, the last one that ran.
    if (action == k_sanact_exit_failure) {
        if (s.sanitize_failed == 0 || (s.scdw10 & k_cdw10_ause) == 0) return failed(k_sc_sequence_error);
        s.sanitize_failed = 0;
        record.dirty = true;
        return outcome{};
    }
    if (action > k_sanact_crypto_erase || (id_ctrl_u32(record, k_idc_sanicap) & k_sanicap_bit_of_action[action]) == 0) {
        return failed(k_sc_invalid_field);
    }
    s.sanitize_action = action;
    s.sanitize_cdw10 = c.cdw10;
    s.sanitize_pattern = c.cdw11;
    s.sanitize_start_ms = now_ms;
    s.scdw10 = c.cdw10;
    s.sstat = k_sstat_in_progress;
    s.sprog = 0;
    record.dirty = true;
    return outcome{};
}

// Format NVM of namespace 1 (or all namespaces): LBA format 0 is the only one; the media
// is erased. Not while a sanitize runs or after one failed.
outcome format(bridge_record& record, const nvme_command& c, int64_t now_ms) {
    if (c.nsid != 1 && c.nsid != 0xFFFFFFFF) return failed(k_sc_invalid_namespace);
    if (const uint16_t refusal = media_refusal(record, now_ms); refusal != k_sc_success) return failed(refusal);
    uint8_t nlbaf = 0;
    nvme_memory_read(record, nvme_memory::id_ns, 25, &nlbaf, 1);
    if ((c.cdw10 & 0xF) > nlbaf) return failed(k_sc_invalid_format);
    nvme_media_erase(record, 0);
    return outcome{};
}

// Chunks are assembled at their offsets. One that overlaps what is already there is
// refused; one past the end leaves a gap, and an image with a gap cannot be committed.
// A chunk at offset 0 starts a new image.
outcome fw_download(bridge_record& record, const nvme_command& c, const uint8_t* data) {
    nvme_state& s = record.nvme;
    const uint64_t offset = uint64_t{c.cdw11} * 4;
    const uint64_t length = (uint64_t{c.cdw10} + 1) * 4;
    if (length != c.data_length) return failed(k_sc_invalid_field);
    if (offset == 0) {
        s.fw_length = 0;
        s.fw_gap = 0;
    }
    if (offset < s.fw_length) return failed(k_sc_overlapping_range);
    if (!nvme_memory_write(record, nvme_memory::fw_buffer, offset, data, length)) return failed(k_sc_invalid_field);
    if (offset > s.fw_length) s.fw_gap = 1;
    s.fw_length = static_cast<uint32_t>(offset + length);
    record.dirty = true;
    return outcome{};
}

// The controller's choice when a commit names slot 0: the next slot after the running one
// that may be written.
uint32_t chosen_slot(uint32_t active, uint32_t slots, bool slot1_read_only) {
    for (uint32_t step = 1; step <= slots; ++step) {
        const uint32_t slot = (active + step - 1) % slots + 1;
        if (!(slot1_read_only && slot == 1)) return slot;
    }
    return 0;
}

// Copies the assembled image from the download buffer into a slot, clearing what a longer
// image left there before, and records its length.
bool store_slot_image(bridge_record& record, uint32_t slot, uint32_t length) {
    const uint64_t base = uint64_t{slot - 1} * k_nvme_fw_buffer_size;
    const uint32_t end = std::max(length, nvme_fw_slot_length(record, slot));
    std::vector<uint8_t> chunk(k_fw_copy_chunk);
    for (uint32_t at = 0; at < end; at += static_cast<uint32_t>(chunk.size())) {
        const size_t count = std::min<size_t>(chunk.size(), end - at);
        const size_t image = at < length ? std::min<size_t>(count, length - at) : 0;
        std::fill(chunk.begin(), chunk.end(), 0);
        if (!nvme_memory_read(record, nvme_memory::fw_buffer, at, chunk.data(), image) ||
            !nvme_memory_write(record, nvme_memory::fw_slots, base + at, chunk.data(), count)) {
            return false;
        }
    }
    uint8_t bytes[4];
    put_le32(bytes, length);
    return nvme_memory_write(record, nvme_memory::fw_slot_lengths, (slot - 1) * 4, bytes, sizeof bytes);
}

// Firmware Commit: actions 0 (replace), 1 (replace, activate at reset), 2 (activate at
// reset) and 3 (replace and activate now). Replacing copies the whole image into the slot;
// a slot FRMW marks read-only (slot 1) is refused as an invalid slot. An empty slot 1
// holds the firmware the disk came with and may be activated.
outcome fw_commit(bridge_record& record, const nvme_command& c) {
    nvme_state& s = record.nvme;
    uint8_t frmw = 0;
    nvme_memory_read(record, nvme_memory::id_ctrl, k_idc_frmw, &frmw, 1);
    const bool slot1_read_only = (frmw & 1) != 0;
    const uint32_t slots = nvme_fw_slot_count(record);
    const uint32_t action = (c.cdw10 >> 3) & 0x7;
    if (action > 3) return failed(k_sc_invalid_field);
    uint32_t slot = c.cdw10 & 0x7;
    if (slot == 0) slot = chosen_slot(s.fw_active, slots, slot1_read_only);
    if (slot == 0 || slot > slots) return failed(k_sc_invalid_fw_slot);
    if (action != 2) {
        if (slot1_read_only && slot == 1) return failed(k_sc_invalid_fw_slot);
        if (s.fw_length < k_fw_revision_len || s.fw_gap != 0) return failed(k_sc_invalid_fw_image);
        if (!store_slot_image(record, slot, s.fw_length)) return failed(k_sc_invalid_fw_image);
        s.fw_length = 0;
    } else if (slot != 1 && nvme_fw_slot_length(record, slot) == 0) {
        return failed(k_sc_invalid_fw_image);
    }
    if (action == 1 || action == 2) s.fw_pending = slot;
    if (action == 3) s.fw_active = slot;
    record.dirty = true;
    return outcome{};
}

// Identify Controller reports the revision of the running slot's image (its first 8
// bytes) once one was committed there.
void running_revision(const bridge_record& record, std::vector<uint8_t>& page) {
    const uint32_t slot = record.nvme.fw_active;
    uint8_t revision[k_fw_revision_len] = {};
    if (nvme_fw_slot_length(record, slot) < k_fw_revision_len ||
        !nvme_memory_read(record, nvme_memory::fw_slots, uint64_t{slot - 1} * k_nvme_fw_buffer_size, revision,
                          sizeof revision)) {
        return;
    }
    std::copy_n(revision, k_fw_revision_len, page.begin() + k_idc_fr);
}

outcome identify(bridge_record& record, const nvme_command& c) {
    const uint8_t cns = static_cast<uint8_t>(c.cdw10 & 0xFF);
    if (cns == k_cns_controller) {
        std::vector<uint8_t> page = nvme_page(record, nvme_memory::id_ctrl);
        running_revision(record, page);
        return page_answer(page, c.data_length);
    }
    if (cns == k_cns_namespace) {
        if (c.nsid != 1) return failed(k_sc_invalid_namespace);
        return page_answer(nvme_page(record, nvme_memory::id_ns), c.data_length);
    }
    return failed(k_sc_invalid_field);
}

outcome get_log_page(bridge_record& record, const nvme_command& c, int64_t now_ms) {
    const uint8_t log_id = static_cast<uint8_t>(c.cdw10 & 0xFF);
    const size_t dwords = ((c.cdw10 >> 16) | ((c.cdw11 & 0xFFFF) << 16)) + size_t{1};
    const size_t asked = std::min<size_t>(dwords * 4, c.data_length);
    if (log_id == k_log_smart) return page_answer(nvme_page(record, nvme_memory::smart), asked);
    if (log_id == k_log_sanitize) return page_answer(sanitize_status_page(record, now_ms), asked);
    return failed(k_sc_invalid_log_page);
}

// Temperature Threshold: the composite sensor's over-temperature threshold is kept; the
// under-temperature threshold reads 0 (none) and the lab models no other sensors.
bool composite_over_temperature(uint32_t cdw11) { return ((cdw11 >> 16) & 0x3F) == 0; }

outcome get_features(bridge_record& record, const nvme_command& c) {
    outcome o;
    switch (c.cdw10 & 0xFF) {
        case k_feature_temp_threshold:
            o.dw0 = composite_over_temperature(c.cdw11) ? record.nvme.temp_threshold : 0;
            return o;
        case k_feature_power: o.dw0 = record.nvme.power_state; return o;
        case k_feature_apst: {
            o.dw0 = record.nvme.apst;
            return page_answer(nvme_page(record, nvme_memory::apst_table), c.data_length);
        }
        default: return failed(k_sc_invalid_field);
    }
}

outcome set_features(bridge_record& record, const nvme_command& c, const uint8_t* data) {
    nvme_state& s = record.nvme;
    switch (c.cdw10 & 0xFF) {
        case k_feature_power: {
            const uint32_t state = c.cdw11 & 0x1F;
            uint8_t npss = 0;
            nvme_memory_read(record, nvme_memory::id_ctrl, k_idc_npss, &npss, 1);
            if (state > npss) return failed(k_sc_invalid_field);
            s.power_state = state;
            break;
        }
        case k_feature_apst:
            s.apst = c.cdw11 & 1;
            if (c.data_length >= k_apst_table_len)
                nvme_memory_write(record, nvme_memory::apst_table, 0, data, k_apst_table_len);
            break;
        case k_feature_temp_threshold:
            if (!composite_over_temperature(c.cdw11)) return failed(k_sc_invalid_field);
            s.temp_threshold = c.cdw11 & 0xFFFF;
            break;
        default: return failed(k_sc_invalid_field);
    }
    record.dirty = true;
    return outcome{};
}

// NVM Read and Write on namespace 1, 512-byte blocks.
outcome read_write(bridge_record& record, const nvme_command& c, const uint8_t* data, int64_t now_ms) {
    if (c.nsid != 1) return failed(k_sc_invalid_namespace);
    if (const uint16_t refusal = media_refusal(record, now_ms); refusal != k_sc_success) return failed(refusal);
    const uint64_t lba = c.cdw10 | (static_cast<uint64_t>(c.cdw11) << 32);
    const uint64_t blocks = (c.cdw12 & 0xFFFF) + uint64_t{1};
    if (blocks * k_nvme_block_len != c.data_length) return failed(k_sc_data_transfer_error);
    const uint64_t capacity = nvme_memory_size(record, nvme_memory::media) / k_nvme_block_len;
    if (lba > capacity || blocks > capacity - lba) return failed(k_sc_lba_out_of_range);
    const uint64_t offset = lba * k_nvme_block_len;
    outcome o;
    if (c.opcode == k_io_read) {
        o.data.resize(c.data_length);
        nvme_memory_read(record, nvme_memory::media, offset, o.data.data(), o.data.size());
    } else if (!nvme_memory_write(record, nvme_memory::media, offset, data, c.data_length)) {
        return failed(k_sc_capacity_exceeded);
    }
    nvme_count_io(record, c.opcode == k_io_write, blocks);
    return o;
}

// The direction code a command's data phase must carry.
uint8_t expected_direction(const nvme_command& c) {
    if (c.data_length == 0) return k_dir_none;
    if (c.queue == 1) return c.opcode == k_io_write ? k_dir_to_controller : k_dir_to_host;
    return c.opcode == k_admin_set_features || c.opcode == k_admin_fw_download ? k_dir_to_controller : k_dir_to_host;
}

outcome run_command(bridge_record& record, const nvme_command& c, const uint8_t* data, int64_t now_ms) {
    if (c.queue == 1) {
        if (c.opcode == k_io_read || c.opcode == k_io_write) return read_write(record, c, data, now_ms);
        return failed(k_sc_invalid_opcode);
    }
    switch (c.opcode) {
        case k_admin_identify: return identify(record, c);
        case k_admin_get_log_page: return get_log_page(record, c, now_ms);
        case k_admin_sanitize: return sanitize(record, c, now_ms);
        case k_admin_format: return format(record, c, now_ms);
        case k_admin_fw_download: return fw_download(record, c, data);
        case k_admin_fw_commit: return fw_commit(record, c);
        case k_admin_get_features: return get_features(record, c);
        case k_admin_set_features: return set_features(record, c, data);
        default: return failed(k_sc_invalid_opcode);
    }
}

// Completion queue entry: DW0, DW2 (SQ head, SQ id), DW3 (command id, phase tag, status).
std::vector<uint8_t> completion_of(const nvme_command& c, const outcome& o) {
    std::vector<uint8_t> entry(k_completion_len, 0);
    write_cursor out(entry.data(), entry.size());
    out.le32_at(0, o.dw0);
    out.le16_at(8, 1);
    out.le16_at(10, static_cast<uint16_t>(c.queue));
    out.le16_at(12, c.cid);
    out.le16_at(14, static_cast<uint16_t>((o.status << 1) | 1));
    return entry;
}

bool serves_nvme(const bridge_record& record, block_answer& answer) {
    if (record.disk.kind == k_disk_nvme) return true;
    if (record.disk.kind == k_disk_none) {
        answer_no_disk(answer);
    } else {
        answer_invalid_opcode(answer);
    }
    return false;
}

// Length of a phase block: bytes 1-2 and, for the data phase, bytes 4-5 above them.
uint32_t low_length(const block_request& request) { return get_le16(request.cdb + 1); }

// A waiting entry belongs to no running request when the process that submitted it is
// gone, or when more time passed than any host waits for one block: the bridge drops it,
// as it abandons a command whose host went away.
bool entry_abandoned(const bridge_record& record, const block_request& request) {
    const nvme_state& s = record.nvme;
    if (s.entry_host != 0 && s.entry_host != request.host && !lab_process_alive(s.entry_host)) {
        return true;
    }
    return request.now_ms - s.entry_since_ms > k_entry_abandon_ms;
}

std::string host_text(int64_t host) { return host != 0 ? "process " + std::to_string(host) : "an unknown host"; }

void refuse_sequence(block_answer& answer) { answer_check(answer, k_key_illegal_request, k_asc_sequence_error, 0); }

}  // namespace

void handle_nvme_submit(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!serves_nvme(record, answer)) return;
    const uint8_t queue = request.cdb[4];
    if (low_length(request) != k_entry_len || request.length != k_entry_len || queue > 1) {
        answer_invalid_field(answer);
        return;
    }
    if (record.nvme.entry_waiting != 0) {
        if (!entry_abandoned(record, request)) {
            refuse_sequence(answer);
            return;
        }
        answer.note = "# NVMe entry of " + host_text(record.nvme.entry_host) +
                      " abandoned: its data phase never came; replaced by a new submit";
    }
    nvme_memory_write(record, nvme_memory::entry, 0, request.data_out, k_entry_len);
    record.nvme.entry_waiting = 1;
    record.nvme.entry_queue = queue;
    record.nvme.entry_host = request.host;
    record.nvme.entry_since_ms = request.now_ms;
    record.dirty = true;
}

void handle_nvme_data(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!serves_nvme(record, answer)) return;
    const uint32_t length = low_length(request) | (static_cast<uint32_t>(get_le16(request.cdb + 4)) << 16);
    const uint8_t direction = request.cdb[6];
    const bool to_host = request.cdb[0] == 0xE4;
    if (length != request.length || to_host != (direction == k_dir_to_host) || direction > k_dir_to_controller) {
        answer_invalid_field(answer);
        return;
    }
    if (record.nvme.entry_waiting == 0) {
        refuse_sequence(answer);
        return;
    }
    const nvme_command c = decode_entry(nvme_page(record, nvme_memory::entry), record.nvme.entry_queue);
    if (c.data_length != length || expected_direction(c) != direction) {
        answer_invalid_field(answer);
        return;
    }
    nvme_entry_clear(record.nvme);
    record.dirty = true;
    const outcome o = run_command(record, c, request.data_out, request.now_ms);
    const std::vector<uint8_t> completion = completion_of(c, o);
    nvme_memory_write(record, nvme_memory::completion, 0, completion.data(), completion.size());
    if (o.status != k_sc_success) {
        answer_check(answer, k_key_hardware_error, k_asc_nvme_failed, 0);
        return;
    }
    if (to_host) {
        answer.data = o.data;
        answer.data.resize(length, 0);
    }
}

void handle_nvme_completion(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!serves_nvme(record, answer)) return;
    if (low_length(request) != k_completion_len || request.length != k_completion_len) {
        answer_invalid_field(answer);
        return;
    }
    // The exchange ends here: an entry whose data phase never ran is dropped.
    answer.data = nvme_page(record, nvme_memory::completion);
    const uint8_t cleared[k_completion_len] = {};
    nvme_memory_write(record, nvme_memory::completion, 0, cleared, sizeof cleared);
    nvme_entry_clear(record.nvme);
    record.dirty = true;
}

void handle_nvme_setting(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!serves_nvme(record, answer)) return;
    if (low_length(request) != 0 || request.length != 0) {
        answer_invalid_field(answer);
        return;
    }
    if (request.cdb[4] == k_setting_aspm_off) {
        record.nvme.aspm = 0;
    } else if (request.cdb[4] == k_setting_cmd_timeout) {
        const uint32_t value = vendor_address_field(request);
        if (value < k_min_cmd_timeout || value > k_max_cmd_timeout) {
            answer_invalid_field(answer);
            return;
        }
        record.nvme.cmd_timeout = value;
    } else {
        answer_invalid_field(answer);
        return;
    }
    record.dirty = true;
}
