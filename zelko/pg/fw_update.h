// The firmware update: the bridge is moved into its rescue firmware, the main image, the
// LED image and the PG record are written, and the bridge is restarted into the new main
// firmware, found again by its UUID after each restart.
//
// The update runs on the caller's thread, prints nothing and leaves the process as it
// found it (locale included: a caller that takes file paths as UTF-8 sets that first).
// Its progress is a record of three whole values the update writes as it goes; a caller
// that shows progress reads it from a thread of its own (the tool prints a percentage
// once a second).
#pragma once

#include <atomic>
#include <cstdint>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"
#include "zelko/pg/image_write.h"

ZELKO_API_BEGIN
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

// What the update writes and a watching thread may read, each value whole (atomic loads
// and stores, no lock). The update is its only writer.
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

// The state query's block (sub-command k_sub_fw_state, 1 byte in), by value; no I/O.
cdb16 fw_state_cdb();

// The running firmware: k_fw_state_main or k_fw_state_rescue, k_fw_state_unknown for any
// other answer or a failed query. Sends one block.
uint32_t query_fw_state(bridge_dev* dev);

// Writes the image's header as the boot header, restarts the bridge and opens it again,
// wherever it comes back, by its UUID, polling once a second. With `keep`, the boot header
// is written with that PG record and checked (image_write.h). Returns 0 with `dev` the new
// handle (owned by the caller, as the old one was); else the failed step's cmd_status, or
// -1 when the bridge does not come back within `timeout_seconds`, with `dev` closed.
cmd_status restart_and_reconnect(bridge_dev_ptr& dev, const char* image, int timeout_seconds,
                                 const kept_pg_record* keep = nullptr);

// The whole update on the bridge at `device_path`, which the update opens and closes
// itself. `main_image` and `rescue_image` are image file paths; an empty or null
// `config_path` or `led_image` skips that step. Every file is checked before the first
// flash write. Returns 0 or a code of fw_update_code; the same value is stored in
// `progress.status` before returning, after `written`, `total` and `status` were zeroed
// at the start. `progress` stays the caller's and must outlive the call.
int32_t run_fw_update(update_progress& progress, const char* device_path, const char* main_image,
                      const char* rescue_image, const char* config_path, const char* led_image);

// The percentage of `progress`: written * 100 / total, 0 while total is 0.
int progress_percent(const update_progress& progress);

}  // namespace zelko
ZELKO_API_END
