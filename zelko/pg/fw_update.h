// The firmware update: the bridge is moved into its rescue firmware, the main image, the
// LED image and the PG record are written, and the bridge is restarted into the new main
// firmware, found again by its UUID after each restart. A second thread shows progress.
#pragma once

#include <atomic>
#include <cstdint>

#include "zelko/device/transport.h"
#include "zelko/pg/image_write.h"

namespace zelko {

// Firmware states, kept as the image magic of the running firmware.
constexpr uint32_t k_fw_state_main = 0x97463136;
constexpr uint32_t k_fw_state_rescue = 0x79817981;
constexpr uint32_t k_fw_state_unknown = 0x52417643;

// The state query's sub-command and its answers.
constexpr uint8_t k_sub_fw_state = 0xA6;
constexpr uint8_t k_fw_answer_main = 1;
constexpr uint8_t k_fw_answer_rescue = 2;

// Seconds the bridge has to come back after each restart.
constexpr int k_rescue_restart_timeout_s = 10;
constexpr int k_main_restart_timeout_s = 20;

// What the update thread writes and the progress thread reads, each value whole.
struct update_progress {
    std::atomic<uint32_t> written{0};  // bytes written to flash so far
    std::atomic<uint32_t> total{0};    // bytes to write; 0 until known
    std::atomic<int32_t> status{0};    // the update's result; 0 until it ends
};

// Results of run_fw_update.
enum fw_update_code : int32_t {
    k_fwu_open = -1,
    k_fwu_unlock = -3,
    k_fwu_reconnect = -4,
    k_fwu_uuid = -5,
    k_fwu_main_check = -6,
    k_fwu_rescue_check = -7,
    k_fwu_led_check = -8,
    k_fwu_config_check = -9,
    k_fwu_main_write = -10,
    k_fwu_rescue_write = -11,
    k_fwu_led_write = -12,
    k_fwu_config_write = -13,
    k_fwu_not_rescue = -14,
    k_fwu_not_main = -15,
};

cdb16 fw_state_cdb();

// The running firmware; k_fw_state_unknown for any other answer or a failed query.
uint32_t query_fw_state(bridge_dev* dev);

// Writes the image's header as the boot header, restarts the bridge and opens it again,
// wherever it comes back, by its UUID. On success `dev` is the new handle; on failure
// it is closed (-1 when the bridge does not come back within `timeout_seconds`). With
// `keep`, the boot header is written with that PG record and checked (image_write.h).
cmd_status restart_and_reconnect(bridge_dev_ptr& dev, const char* image, int timeout_seconds,
                                 const kept_pg_record* keep = nullptr);

// The whole update; an empty or null configuration or LED path skips that step. Returns
// 0 or a code of fw_update_code, also stored in `progress.status`.
int32_t run_fw_update(update_progress& progress, const char* device_path, const char* main_image,
                      const char* rescue_image, const char* config_path, const char* led_image);

// The percentage shown for the progress record.
int progress_percent(const update_progress& progress);

// Prints "udpate progress: N%\r" once a second until 100 % or a non-zero status, then a
// line end. `argument` is the update_progress.
void progress_thread(void* argument);

}  // namespace zelko
