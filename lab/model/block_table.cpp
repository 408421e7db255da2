// THE table of command blocks the emulated devices handle.
//
// How to add a device behaviour:
//  1. Write the handler in the family's folder under lab/model/ (bridge/, pins/ for GPIO,
//     I2C and UART, disk/ for SATA, SCSI disk and media, nvme/ with the PCIe function,
//     led/, flash/ with the firmware and restart; a new folder for a new family) and
//     declare it in handlers.h:
//        void handle_x(bridge_record& record, const block_request& request, block_answer& answer);
//     `request` holds the 16-byte CDB, the direction, the length, the data-out bytes, the
//     lab time and whether the device was reached through its CD-ROM volume name. Fill
//     `answer.data` with the data-in bytes, or call answer_check / answer_invalid_field
//     (block.h) for a CHECK CONDITION, or set answer.os_error. Validate the block as the
//     device would (vendor_length_is for vendor blocks) and answer 05/24/00 otherwise.
//  2. Keep what the device remembers in its family's state struct, in the same folder
//     (nvme/nvme_state.h, led/led_state.h, ...; the bridge's own in bridge/bridge_state.h),
//     which the record (lab/record/state.h) composes: a member there, plus one row in the
//     family's table of keys beside it (nvme/nvme_fields.cpp, led/led_fields.cpp, ...; a
//     new family's table is one more entry in the record's list, lab/record/state.cpp). A
//     settable row is also a `set` key and shows in `show`. Set record.dirty = true
//     whenever the handler changes the record. Large memories (flash, LED memory, disk
//     media) are not record fields: read and write them with memory_read / memory_write
//     (lab/record/storage.h, where a new memory is one row), or answer_memory_read /
//     answer_memory_write (memory.h) for the usual senses.
//  3. Add one row below: opcode, byte 4 (or k_any_sub), direction, name, handler, and
//     optionally one more byte that must match (byte index, value).
// Blocks no row handles are answered with CHECK CONDITION, ILLEGAL REQUEST, INVALID
// COMMAND OPERATION CODE (05/20/00), as a real device answers them. `show NAME blocks`
// lists this table. A restart command calls bridge_restart (flash/restart.h).
#include "lab/model/block_table.h"

#include "lab/model/handlers.h"

namespace {

constexpr uint8_t k_both = k_serves_bridge | k_serves_foreign;

// clang-format off
constexpr handled_block k_handled_blocks[] = {
    {0x12, k_any_sub, data_dir::in,  "INQUIRY",                  handle_inquiry, -1, 0, k_both},
    {0xE2, 0x92,      data_dir::in,  "bridge memory read",       handle_mem_read},
    {0xE2, 0xA2,      data_dir::in,  "register read",            handle_reg_read},
    {0xE3, 0x23,      data_dir::out, "register write",           handle_reg_write},
    {0xE2, 0xCB,      data_dir::in,  "transfer flag read",       handle_xfer_flag_read},
    {0xE3, 0x4B,      data_dir::out, "transfer flag write",      handle_xfer_flag_write},
    {0xE2, 0xCA,      data_dir::in,  "transfer-length limit",    handle_max_xfer},
    {0xE2, 0xBB,      data_dir::in,  "disk status",              handle_disk_status},
    {0xE2, 0xA8,      data_dir::in,  "disk information block",   handle_disk_info_block, 5, 0x13},
    {0xA1, k_any_sub, data_dir::in,  "ATA IDENTIFY DEVICE",      handle_ata_identify, 9, 0xEC},
    {0xE2, 0xC3,      data_dir::in,  "UUID",                     handle_uuid},
    {0xE2, 0x96,      data_dir::in,  "UUID area read",           handle_uuid_by_offset},
    {0xE3, 0x44,      data_dir::out, "customer page write",      handle_cust_page_write},
    {0xE2, 0xC4,      data_dir::in,  "customer page read",       handle_cust_page_read},
    {0xE2, 0xA5,      data_dir::in,  "firmware version",         handle_fw_version},
    {0xE3, 0x30,      data_dir::out, "restart",                  handle_restart},
    {0xE3, 0x4D,      data_dir::none, "disk speed write",        handle_disk_speed_write},
    {0xE2, 0xCD,      data_dir::in,  "disk speed read",          handle_disk_speed_read},
    {0xE3, 0x4F,      data_dir::none, "read/write mode write",   handle_rw_mode_write},
    {0xE2, 0xCF,      data_dir::in,  "read/write mode read",     handle_rw_mode_read},
    {0xE2, 0xB5,      data_dir::in,  "status block",             handle_status_block},
    {0xE2, 0xD2,      data_dir::in,  "RAID mode read",           handle_raid_get},
    {0xE3, 0x52,      data_dir::none, "RAID mode write",         handle_raid_set},
    {0xE3, 0x3F,      data_dir::out, "I2C init",                 handle_i2c_init},
    {0xE3, 0x3D,      data_dir::out, "I2C write",                handle_i2c_write},
    {0xE2, 0xBC,      data_dir::in,  "I2C read",                 handle_i2c_read},
    {0xE3, 0x41,      data_dir::out, "GPIO mux",                 handle_gpio_mux},
    {0xE3, 0x46,      data_dir::out, "GPIO direction",           handle_gpio_dir},
    {0xE3, 0x45,      data_dir::out, "GPIO output value",        handle_gpio_set},
    {0xE2, 0xC5,      data_dir::in,  "GPIO read",                handle_gpio_get},
    {0xE3, 0x4E,      data_dir::out, "UART receiver setup",      handle_uart_init},
    {0xE3, 0x38,      data_dir::out, "UART transmit",            handle_uart_transmit},
    {0xE2, 0xBA,      data_dir::in,  "UART receive count",       handle_uart_count},
    {0xE2, 0xB8,      data_dir::in,  "UART receive",             handle_uart_receive},
    {0xE3, 0x3A,      data_dir::none, "UART clear buffer",       handle_uart_clear},
    // NVMe tunnel and the bridge's NVMe settings: told apart by byte 3; byte 4 carries
    // the queue selector or the high length bits
    {0xE5, k_any_sub, data_dir::out, "NVMe submit",              handle_nvme_submit, 3, 0xF7},
    {0xE4, k_any_sub, data_dir::in,  "NVMe data phase to host",  handle_nvme_data, 3, 0xF8},
    {0xE5, k_any_sub, data_dir::out, "NVMe data phase to disk",  handle_nvme_data, 3, 0xF8},
    {0xE4, k_any_sub, data_dir::in,  "NVMe completion",          handle_nvme_completion, 3, 0xF9},
    {0xE5, 0x01,      data_dir::none, "NVMe command time-out",   handle_nvme_setting, 3, 0xFD},
    {0xE5, 0x02,      data_dir::none, "NVMe ASPM off",           handle_nvme_setting, 3, 0xFD},
    // LED control
    {0xE2, 0xCC,      data_dir::in,  "LED application control read", handle_led_app_ctl_read, 5, 0x01},
    {0xE3, 0x4C,      data_dir::out, "LED application control write", handle_led_app_ctl_write, 5, 0x01},
    {0xE2, 0xCC,      data_dir::in,  "LED memory read",          handle_led_memory_read, 5, 0x02},
    {0xE3, 0x4C,      data_dir::out, "LED memory write",         handle_led_memory_write, 5, 0x02},
    {0xE3, 0x4C,      data_dir::out, "LED direct RGB frame",     handle_led_direct, 5, 0x03},
    {0xE2, 0xCC,      data_dir::in,  "LED sync ecosystem support", handle_led_sync_support, 5, 0x04},
    {0xE2, 0xCC,      data_dir::in,  "LED ARGB support",         handle_led_argb_support, 5, 0x05},
    // PCIe function and SATA disk
    {0xE2, 0xB3,      data_dir::in,  "PCIe configuration read",  handle_pcie_conf_read},
    {0xE3, 0x33,      data_dir::out, "PCIe configuration write", handle_pcie_conf_write},
    {0xE2, 0xB4,      data_dir::in,  "PCIe memory read",         handle_pcie_mem_read},
    {0xE3, 0x34,      data_dir::out, "PCIe memory write",        handle_pcie_mem_write},
    {0xA1, k_any_sub, data_dir::in,  "ATA SMART READ DATA",      handle_ata_smart_read, 9, 0xB0},
    {0xA1, k_any_sub, data_dir::none, "ATA SET FEATURES",        handle_ata_set_features, 9, 0xEF},
    // PG record and firmware: the flash write path
    {0xE3, 0x10,      data_dir::out, "flash write address",      handle_flash_address},
    {0xE3, 0x11,      data_dir::out, "flash write",              handle_flash_data},
    // Standard block commands: what a host's storage stack sends on its own to the disk
    // the bridge presents (its media, 512-byte blocks), on a bridge or a foreign disk.
    {0x00, k_any_sub, data_dir::none, "TEST UNIT READY",         handle_test_unit_ready, -1, 0, k_both},
    {0x03, k_any_sub, data_dir::in,  "REQUEST SENSE",            handle_request_sense, -1, 0, k_both},
    {0x1A, k_any_sub, data_dir::in,  "MODE SENSE(6)",            handle_mode_sense, -1, 0, k_both},
    {0x5A, k_any_sub, data_dir::in,  "MODE SENSE(10)",           handle_mode_sense, -1, 0, k_both},
    {0x1B, k_any_sub, data_dir::none, "START STOP UNIT",         handle_accept, -1, 0, k_both},
    {0x1E, k_any_sub, data_dir::none, "PREVENT ALLOW MEDIUM REMOVAL", handle_accept, -1, 0, k_both},
    {0x25, k_any_sub, data_dir::in,  "READ CAPACITY(10)",        handle_read_capacity10, -1, 0, k_both},
    {0x9E, k_any_sub, data_dir::in,  "READ CAPACITY(16)",        handle_read_capacity16, 1, 0x10, k_both},
    {0x28, k_any_sub, data_dir::any, "READ(10)",                 handle_media_read, -1, 0, k_both},
    {0x88, k_any_sub, data_dir::any, "READ(16)",                 handle_media_read, -1, 0, k_both},
    {0x2A, k_any_sub, data_dir::any, "WRITE(10)",                handle_media_write, -1, 0, k_both},
    {0x8A, k_any_sub, data_dir::any, "WRITE(16)",                handle_media_write, -1, 0, k_both},
    {0x35, k_any_sub, data_dir::none, "SYNCHRONIZE CACHE(10)",   handle_synchronize_cache, -1, 0, k_both},
    {0x91, k_any_sub, data_dir::none, "SYNCHRONIZE CACHE(16)",   handle_synchronize_cache, -1, 0, k_both},
    // Firmware update
    {0xE2, 0xA6,      data_dir::in,  "firmware state",           handle_fw_state},
};
// clang-format on

bool direction_ok(data_dir dir, const block_request& request) {
    switch (dir) {
        case data_dir::in: return request.data_in;
        case data_dir::out: return !request.data_in;
        case data_dir::none: return request.length == 0;
        case data_dir::any: return true;
    }
    return false;
}

uint8_t serves_flag(uint32_t kind) { return kind == k_kind_foreign ? k_serves_foreign : k_serves_bridge; }

}  // namespace

std::span<const handled_block> handled_blocks() { return k_handled_blocks; }

const handled_block* find_handled_block(const uint8_t* cdb, uint32_t kind) {
    for (const handled_block& row : k_handled_blocks) {
        if ((row.serves & serves_flag(kind)) == 0 || cdb[0] != row.opcode) continue;
        if (row.sub != k_any_sub && cdb[4] != static_cast<uint8_t>(row.sub)) continue;
        if (row.also_byte >= 0 && cdb[row.also_byte] != row.also_value) continue;
        return &row;
    }
    return nullptr;
}

void serve_block(bridge_record& record, const block_request& request, block_answer& answer) {
    const handled_block* row = find_handled_block(request.cdb, record.params.kind);
    if (row == nullptr) {
        answer_invalid_opcode(answer);
        return;
    }
    if (request.length > record.params.max_xfer || !direction_ok(row->dir, request)) {
        answer_invalid_field(answer);
        return;
    }
    row->handler(record, request, answer);
}
