// NVMe commands run through the tunnel: Identify, Get Log Page, Get/Set Features, NVM
// Read and Write, the bridge's NVMe-side settings and the write/read-back test. Each
// entry is built by a pure function; the operations run it.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/nvme/tunnel.h"

ZELKO_API_BEGIN
namespace zelko {

// NVMe opcodes used here.
constexpr uint8_t k_nvme_admin_get_log_page = 0x02;
constexpr uint8_t k_nvme_admin_identify = 0x06;
constexpr uint8_t k_nvme_admin_set_features = 0x09;
constexpr uint8_t k_nvme_admin_get_features = 0x0A;
constexpr uint8_t k_nvme_io_write = 0x01;
constexpr uint8_t k_nvme_io_read = 0x02;

// Log identifiers and feature identifiers.
constexpr uint8_t k_log_smart = 0x02;
constexpr uint8_t k_log_sanitize = 0x81;
constexpr uint8_t k_feature_power_management = 0x02;
constexpr uint8_t k_feature_temp_threshold = 0x04;
constexpr uint8_t k_feature_apst = 0x0C;

constexpr uint8_t k_cns_controller = 0x01;

constexpr int32_t k_identify_len = 4096;
constexpr int32_t k_log_page_len = 512;
constexpr int32_t k_apst_table_len = 4096;
constexpr uint32_t k_lba_size = 512;

// Bridge command time-out values the bridge accepts.
constexpr uint32_t k_min_cmd_timeout = 3;
constexpr uint32_t k_max_cmd_timeout = 655;

// The write/read-back test: 64 KiB from LBA 1024, of which the first 1024 bytes hold
// a counting pattern and are compared.
constexpr uint64_t k_rw_test_lba = 1024;
constexpr int32_t k_rw_test_len = 65536;
constexpr int32_t k_rw_test_pattern_len = 1024;

// One tunnelled command: its entry, queue and data direction.
struct nvme_request {
    nvme_tunnel_cmd cmd;
    nvme_queue queue = nvme_queue::admin;
    nvme_direction direction = nvme_direction::none;
};

// Entry builders (no I/O). admin_request builds any admin queue entry.
nvme_request admin_request(uint8_t opcode, uint16_t cid, uint32_t nsid, uint32_t cdw10, uint32_t cdw11, uint32_t length,
                           nvme_direction direction);
nvme_request identify_request(uint32_t nsid, uint32_t cdw10, uint32_t length);
nvme_request smart_log_request();
nvme_request log_page_request(uint8_t log_id);
nvme_request temp_threshold_request();
nvme_request power_state_request(uint8_t power_state);
nvme_request apst_off_request();
nvme_request read_blocks_request(uint64_t start_lba, uint32_t length);
nvme_request write_blocks_request(uint64_t start_lba, uint32_t length);

// Runs a built request with `data` as its data buffer (`request.cmd.data_length` bytes,
// the caller's). Returns nvme_tunnel_exec's status: 0, a transport status of the submit,
// or the sense value of a failed data phase.
cmd_status nvme_run(bridge_dev* dev, const nvme_request& request, void* data, uint8_t* completion_out = nullptr);

// Operations. Each returns nvme_run's status, a transport status for the bridge's own
// settings, or -1 for an argument refused before anything is sent (or no memory).

// Sets the bridge's NVMe command time-out; -1 outside k_min_cmd_timeout..k_max_cmd_timeout.
cmd_status nvme_set_cmd_timeout(bridge_dev* dev, uint32_t value);
// Turns the link's ASPM off (one bridge setting block, no data).
cmd_status nvme_disable_aspm(bridge_dev* dev);
// ASPM off, then the APST feature off with a k_apst_table_len-byte table of zeros; stops
// at the first failure.
cmd_status nvme_disable_low_power(bridge_dev* dev);
// Identify with `cdw10` (the CNS) into `buffer`, `length` bytes (k_identify_len for the
// controller structure).
cmd_status nvme_identify(bridge_dev* dev, uint32_t nsid, uint32_t cdw10, void* buffer, uint32_t length);
// The SMART / Health log into `buffer`, k_log_page_len bytes.
cmd_status nvme_read_smart_log(bridge_dev* dev, void* buffer);
// Log k_log_smart or k_log_sanitize into `buffer`, k_log_page_len bytes; -1 for another log.
cmd_status nvme_get_log_page(bridge_dev* dev, uint8_t log_id, void* buffer);
// The temperature threshold feature, in kelvin, into `*out_kelvin` (untouched on failure).
cmd_status nvme_get_temp_threshold(bridge_dev* dev, uint16_t* out_kelvin);
// Sets the power management feature to `power_state`.
cmd_status nvme_set_power_state(bridge_dev* dev, uint8_t power_state);
// Reads or writes `length` bytes at `buffer` from or to the disk at `start_lba`; `length` a
// nonzero multiple of k_lba_size, at most 65536 x k_lba_size bytes (else -1).
cmd_status nvme_read_blocks(bridge_dev* dev, uint64_t start_lba, void* buffer, uint32_t length);
cmd_status nvme_write_blocks(bridge_dev* dev, uint64_t start_lba, const void* buffer, uint32_t length);
// The write/read-back test: k_rw_test_len bytes written at k_rw_test_lba and read back, the
// first k_rw_test_pattern_len compared, with the transfer flag cleared meanwhile and always
// set back. 0 when the pattern came back; the failed step's status, or -1 for a mismatch.
cmd_status nvme_rw_test_run(bridge_dev* dev);

}  // namespace zelko
ZELKO_API_END
