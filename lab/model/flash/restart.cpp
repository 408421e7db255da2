#include "lab/model/flash/restart.h"

#include <cstdint>

#include "lab/model/flash/firmware.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/model/nvme/pcie_function.h"

void bridge_restart(bridge_record& record, int64_t now_ms) {
    bridge_live& live = record.state;
    live.boot_count += 1;
    live.xfer_flag = 1;
    live.registers.clear();
    live.disk_speed = 0;
    record.flash.address = 0;
    live.rw_mode = 0;
    pins_power_on(record.pins);
    nvme_power_on(record);
    pcie_function_reset(record);
    if (live.raid_pending != k_raid_none) {
        live.raid_mode = live.raid_pending;
        live.raid_pending = k_raid_none;
    }
    const int64_t delay = record.params.restart_delay_ms;
    if (record.params.restart_never != 0 || now_ms > INT64_MAX - delay) {
        live.offline_until_ms = INT64_MAX;
    } else {
        live.offline_until_ms = now_ms + delay;
    }
    if (!record.params.restart_name.empty()) live.name = record.params.restart_name;
    firmware_boot(record);
    record.dirty = true;
}

bool bridge_online(const bridge_record& record, int64_t now_ms) { return now_ms >= record.state.offline_until_ms; }
