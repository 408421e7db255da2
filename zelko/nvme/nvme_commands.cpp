#include "zelko/nvme/nvme_commands.h"

#include <cstring>
#include <memory>
#include <new>

#include "zelko/common/bytes.h"

namespace zelko {

namespace {

// Command identifiers the bridge firmware expects per operation.
constexpr uint16_t k_cid_smart_log = 0;
constexpr uint16_t k_cid_set_power_state = 1;
constexpr uint16_t k_cid_get_log = 2;
constexpr uint16_t k_cid_identify = 5;
constexpr uint16_t k_cid_io = 10;
constexpr uint16_t k_cid_features = 0x1C;

constexpr uint32_t k_nsid_all = 0xFFFFFFFF;
constexpr uint32_t k_nsid_io = 1;
// Get Log Page CDW10: NUMDL 127 (128 dwords, 512 bytes) in bits 31:16.
constexpr uint32_t k_numdl_512 = 0x007F0000;
constexpr uint8_t k_power_state_mask = 0x1F;

nvme_request io(uint8_t opcode, uint64_t start_lba, uint32_t length, nvme_direction direction) {
    nvme_request r;
    r.cmd.opcode = opcode;
    r.cmd.command_id = k_cid_io;
    r.cmd.nsid = k_nsid_io;
    r.cmd.cdw10 = static_cast<uint32_t>(start_lba);
    r.cmd.cdw11 = static_cast<uint32_t>(start_lba >> 32);
    r.cmd.cdw12 = ((length / k_lba_size) - 1) & 0xFFFF;
    r.cmd.data_length = length;
    r.queue = nvme_queue::io;
    r.direction = direction;
    return r;
}

// A block count the NLB field (16 bits, zero-based) can carry.
bool valid_block_length(uint32_t length) {
    return length != 0 && length % k_lba_size == 0 && length / k_lba_size <= 0x10000;
}

void fill_rw_pattern(uint8_t* buffer) {
    for (int32_t i = 0; i < k_rw_test_pattern_len; ++i) buffer[i] = static_cast<uint8_t>(i);
}

}  // namespace

nvme_request admin_request(uint8_t opcode, uint16_t cid, uint32_t nsid, uint32_t cdw10, uint32_t cdw11, uint32_t length,
                           nvme_direction direction) {
    nvme_request r;
    r.cmd.opcode = opcode;
    r.cmd.command_id = cid;
    r.cmd.nsid = nsid;
    r.cmd.cdw10 = cdw10;
    r.cmd.cdw11 = cdw11;
    r.cmd.data_length = length;
    r.queue = nvme_queue::admin;
    r.direction = direction;
    return r;
}

nvme_request identify_request(uint32_t nsid, uint32_t cdw10, uint32_t length) {
    return admin_request(k_nvme_admin_identify, k_cid_identify, nsid, cdw10, 0, length,
                         nvme_direction::from_controller);
}

nvme_request smart_log_request() {
    return admin_request(k_nvme_admin_get_log_page, k_cid_smart_log, k_nsid_all, k_numdl_512 | k_log_smart, 0,
                         k_log_page_len, nvme_direction::from_controller);
}

nvme_request log_page_request(uint8_t log_id) {
    return admin_request(k_nvme_admin_get_log_page, k_cid_get_log, k_nsid_all, k_numdl_512 | log_id, 0, k_log_page_len,
                         nvme_direction::from_controller);
}

nvme_request temp_threshold_request() {
    return admin_request(k_nvme_admin_get_features, k_cid_features, 0, k_feature_temp_threshold, 0, 0,
                         nvme_direction::none);
}

nvme_request power_state_request(uint8_t power_state) {
    return admin_request(k_nvme_admin_set_features, k_cid_set_power_state, 0, k_feature_power_management,
                         power_state & k_power_state_mask, 0, nvme_direction::none);
}

nvme_request apst_off_request() {
    return admin_request(k_nvme_admin_set_features, k_cid_features, 0, k_feature_apst, 0, k_apst_table_len,
                         nvme_direction::to_controller);
}

nvme_request read_blocks_request(uint64_t start_lba, uint32_t length) {
    return io(k_nvme_io_read, start_lba, length, nvme_direction::from_controller);
}

nvme_request write_blocks_request(uint64_t start_lba, uint32_t length) {
    return io(k_nvme_io_write, start_lba, length, nvme_direction::to_controller);
}

cmd_status nvme_run(bridge_dev* dev, const nvme_request& request, void* data, uint8_t* completion_out) {
    return nvme_tunnel_exec(dev, request.cmd, request.queue, request.direction, data, completion_out);
}

cmd_status nvme_set_cmd_timeout(bridge_dev* dev, uint32_t value) {
    if (value < k_min_cmd_timeout || value > k_max_cmd_timeout) return -1;
    return scsi_send(dev, nvme_cmd_timeout_cdb(value), nullptr, 0, data_direction::to_device, k_timeout_s);
}

cmd_status nvme_disable_aspm(bridge_dev* dev) {
    return scsi_send(dev, nvme_aspm_off_cdb(), nullptr, 0, data_direction::to_device, k_timeout_s);
}

cmd_status nvme_disable_low_power(bridge_dev* dev) {
    const cmd_status aspm = nvme_disable_aspm(dev);
    if (aspm != 0) return aspm;
    std::unique_ptr<uint8_t[]> table(new (std::nothrow) uint8_t[k_apst_table_len]());
    if (!table) return -1;
    return nvme_run(dev, apst_off_request(), table.get());
}

cmd_status nvme_identify(bridge_dev* dev, uint32_t nsid, uint32_t cdw10, void* buffer, uint32_t length) {
    return nvme_run(dev, identify_request(nsid, cdw10, length), buffer);
}

cmd_status nvme_read_smart_log(bridge_dev* dev, void* buffer) { return nvme_run(dev, smart_log_request(), buffer); }

cmd_status nvme_get_log_page(bridge_dev* dev, uint8_t log_id, void* buffer) {
    if (log_id != k_log_smart && log_id != k_log_sanitize) return -1;
    return nvme_run(dev, log_page_request(log_id), buffer);
}

cmd_status nvme_get_temp_threshold(bridge_dev* dev, uint16_t* out_kelvin) {
    uint8_t completion[k_nvme_completion_len] = {};
    const cmd_status status = nvme_run(dev, temp_threshold_request(), nullptr, completion);
    if (status == 0) *out_kelvin = get_le16(completion);
    return status;
}

cmd_status nvme_set_power_state(bridge_dev* dev, uint8_t power_state) {
    return nvme_run(dev, power_state_request(power_state), nullptr);
}

cmd_status nvme_read_blocks(bridge_dev* dev, uint64_t start_lba, void* buffer, uint32_t length) {
    if (!valid_block_length(length)) return -1;
    return nvme_run(dev, read_blocks_request(start_lba, length), buffer);
}

cmd_status nvme_write_blocks(bridge_dev* dev, uint64_t start_lba, const void* buffer, uint32_t length) {
    if (!valid_block_length(length)) return -1;
    // The data phase only reads the buffer for a write.
    return nvme_run(dev, write_blocks_request(start_lba, length), const_cast<void*>(buffer));
}

// The transfer flag is cleared for the 64 KiB data phases and always set back, also when
// the write fails, so that the bridge is never left with it cleared.
cmd_status nvme_rw_test_run(bridge_dev* dev) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[k_rw_test_len]());
    if (!buffer) return -1;
    xfer_flag_set(dev, 0);
    fill_rw_pattern(buffer.get());
    cmd_status status = nvme_write_blocks(dev, k_rw_test_lba, buffer.get(), k_rw_test_len);
    if (status == 0) {
        std::memset(buffer.get(), 0, k_rw_test_len);
        status = nvme_read_blocks(dev, k_rw_test_lba, buffer.get(), k_rw_test_len);
        uint8_t expected[k_rw_test_pattern_len];
        fill_rw_pattern(expected);
        // Compared even after a failed read: a mismatch is the stronger verdict.
        if (std::memcmp(buffer.get(), expected, k_rw_test_pattern_len) != 0) status = -1;
    }
    xfer_flag_set(dev, 1);
    return status;
}

}  // namespace zelko
