#include "zelko/pg/fw_update.h"

#include "zelko/bridge/bridge_info.h"
#include "zelko/device/discovery.h"
#include "zelko/pg/config_file.h"
#include "zelko/pg/image_check.h"
#include "zelko/pg/image_file.h"
#include "zelko/pg/image_layout.h"
#include "zelko/pg/image_write.h"
#include "zelko/pg/pg_read.h"

namespace zelko {

namespace {

constexpr uint32_t k_no_uuid = 0xFFFFFFFF;

bool path_given(const char* path) { return path != nullptr && path[0] != 0; }

uint32_t file_bytes(const char* path) {
    const int64_t size = image_file_size(path);
    return size < 0 ? 0 : static_cast<uint32_t>(size);
}

// Opens each bridge a scan finds and keeps the one with `uuid`.
bridge_dev_ptr find_by_uuid(uint32_t uuid) {
    for (const auto& node : scan_bridges(true)) {
        bridge_dev_ptr dev = dev_open(node->path);
        if (!dev) continue;
        uint32_t found = 0;
        if (get_uuid(dev.get(), &found) == 0 && found == uuid) return dev;
        dev_close(dev);
    }
    return nullptr;
}

// Where the update's parts land: each image's ranges must be placeable beside those of
// the images before it, and their last sectors must exist. Only images this run writes
// count (no rescue image from rescue firmware). The failing image's check code, or 0.
int32_t check_update_layout(bridge_dev* dev, const char* main_image, const char* rescue_image, const char* led_image,
                            bool write_rescue) {
    struct planned {
        std::vector<flash_range> ranges;
        int32_t code;
    };
    std::vector<planned> images;
    if (write_rescue) images.push_back({{}, k_fwu_rescue_check});
    images.push_back({{}, k_fwu_main_check});
    for (planned& image : images) {
        const char* path = image.code == k_fwu_main_check ? main_image : rescue_image;
        if (!image_flash_ranges(path, &image.ranges)) return image.code;
    }
    if (path_given(led_image)) {
        flash_range led{};
        if (!led_flash_range(led_image, &led)) return k_fwu_led_check;
        images.push_back({{led}, k_fwu_led_check});
    }
    std::vector<flash_range> taken;
    for (const planned& image : images) {
        for (const flash_range& range : image.ranges) {
            if (!flash_range_placeable(range, taken)) return image.code;
            taken.push_back(range);
        }
    }
    for (const planned& image : images) {
        for (const flash_range& range : image.ranges) {
            if (flash_range_exists(dev, range) != 0) return image.code;
        }
    }
    return 0;
}

// The steps between opening the bridge and the result; `dev` is closed by the caller.
int32_t update_steps(update_progress& progress, bridge_dev_ptr& dev, const char* main_image, const char* rescue_image,
                     const char* config_path, const char* led_image) {
    if (unlock_fw_write(dev.get()) != 0) return k_fwu_unlock;
    uint32_t uuid = 0;
    if (get_uuid(dev.get(), &uuid) != 0 || uuid == k_no_uuid) return k_fwu_uuid;
    uint32_t state = query_fw_state(dev.get());
    // Every file is checked before the first write.
    if (check_image(dev.get(), main_image, false) != 0) return k_fwu_main_check;
    if (check_image(dev.get(), rescue_image, true) != 0) return k_fwu_rescue_check;
    uint32_t led_bytes = 0;
    if (path_given(led_image)) {
        const uint64_t bytes = check_led_image(led_image);
        if (bytes == 0 || bytes > UINT32_MAX) return k_fwu_led_check;
        led_bytes = static_cast<uint32_t>(bytes);
    }
    const bool config = path_given(config_path);
    if (config && load_pg_config(dev.get(), config_path, true) != 0) return k_fwu_config_check;
    const int32_t layout =
        check_update_layout(dev.get(), main_image, rescue_image, led_image, state != k_fw_state_rescue);
    if (layout != 0) return layout;
    // Every write over the PG sector carries the record read here, and is read back.
    kept_pg_record keep{};
    if (read_pg_record(dev.get(), keep.bytes, sizeof keep.bytes) != 0) {
        return state != k_fw_state_rescue ? k_fwu_rescue_write : k_fwu_main_write;
    }

    if (state != k_fw_state_rescue) {
        progress.total.store(led_bytes + file_bytes(rescue_image) + file_bytes(main_image));
        if (write_image(dev.get(), rescue_image, progress.written, &keep) != 0) return k_fwu_rescue_write;
        if (restart_and_reconnect(dev, rescue_image, k_rescue_restart_timeout_s, &keep) != 0) return k_fwu_reconnect;
        if (unlock_fw_write(dev.get()) != 0) return k_fwu_unlock;
        state = query_fw_state(dev.get());
        if (state != k_fw_state_rescue) return k_fwu_not_rescue;
    }
    if (progress.total.load() == 0) progress.total.store(led_bytes + file_bytes(main_image));
    if (write_image(dev.get(), main_image, progress.written, &keep) != 0) return k_fwu_main_write;
    // A failure here leaves the sector as the main image's front part put it; the boot
    // header written before the restart is checked.
    write_boot_header(dev.get(), main_image, &keep);
    if (led_bytes != 0 && write_led_image(dev.get(), led_image, progress.written) != 0) return k_fwu_led_write;
    if (config) {
        // The commit checked what it wrote: from here on the file's record is the one kept.
        if (load_pg_config(dev.get(), config_path, false) != 0) return k_fwu_config_write;
        if (read_pg_record(dev.get(), keep.bytes, sizeof keep.bytes) != 0) return k_fwu_config_write;
    }
    if (restart_and_reconnect(dev, main_image, k_main_restart_timeout_s, &keep) != 0) return k_fwu_reconnect;
    if (query_fw_state(dev.get()) != k_fw_state_main) return k_fwu_not_main;
    return 0;
}

}  // namespace

cdb16 fw_state_cdb() { return vendor_cdb({.opcode = k_op_vendor_read, .sub = k_sub_fw_state, .length = 1}); }

uint32_t query_fw_state(bridge_dev* dev) {
    uint8_t answer = 0;
    send_result result;
    scsi_send(dev, fw_state_cdb(), &answer, 1, data_direction::from_device, k_timeout_s, &result);
    if (!result.ok() || result.transferred < 1) return k_fw_state_unknown;
    if (answer == k_fw_answer_main) return k_fw_state_main;
    if (answer == k_fw_answer_rescue) return k_fw_state_rescue;
    return k_fw_state_unknown;
}

cmd_status restart_and_reconnect(bridge_dev_ptr& dev, const char* image, int timeout_seconds,
                                 const kept_pg_record* keep) {
    cmd_status status = write_boot_header(dev.get(), image, keep);
    if (status != 0) return status;
    uint32_t uuid = 0;
    status = get_uuid(dev.get(), &uuid);
    if (status != 0) return status;
    bridge_restart(dev.get(), 0);
    dev_close(dev);
    const int64_t start = port_time_s();
    while (port_time_s() - start < timeout_seconds) {
        port_sleep_ms(1000);
        dev = find_by_uuid(uuid);
        if (dev) return 0;
    }
    return -1;
}

int32_t run_fw_update(update_progress& progress, const char* device_path, const char* main_image,
                      const char* rescue_image, const char* config_path, const char* led_image) {
    progress.written.store(0);
    progress.total.store(0);
    progress.status.store(0);
    bridge_dev_ptr dev = dev_open(device_path);
    const int32_t code =
        dev ? update_steps(progress, dev, main_image, rescue_image, config_path, led_image) : k_fwu_open;
    progress.status.store(code);
    dev_close(dev);
    return code;
}

int progress_percent(const update_progress& progress) {
    const uint64_t total = progress.total.load();
    if (total == 0) return 0;
    return static_cast<int>(uint64_t{progress.written.load()} * 100 / total);
}

}  // namespace zelko
