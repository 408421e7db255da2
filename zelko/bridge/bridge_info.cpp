#include "zelko/bridge/bridge_info.h"

#include <cstring>

#include "zelko/common/bytes.h"
#include "zelko/common/cursor.h"
#include "zelko/device/discovery.h"

namespace zelko {

namespace {

cdb16 read_cdb(uint8_t sub, int32_t length) {
    return vendor_cdb({.opcode = k_op_vendor_read, .sub = sub, .length = static_cast<uint32_t>(length)});
}

// Every read of this family decodes its answer at fixed offsets.
cmd_status read_in(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length) {
    return read_fixed(dev, cdb, buffer, length);
}

cmd_status write_out(bridge_dev* dev, const cdb16& cdb, void* buffer, int32_t length) {
    return scsi_send(dev, cdb, buffer, length, data_direction::to_device, k_timeout_s);
}

}  // namespace

cdb16 uuid_cdb() { return read_cdb(k_sub_uuid, k_uuid_len); }

cdb16 uuid_by_offset_cdb(uint32_t offset) {
    return vendor_cdb({.opcode = k_op_vendor_read,
                       .sub = k_sub_uuid_by_offset,
                       .address = offset,
                       .length = static_cast<uint32_t>(k_uuid_len)});
}

cdb16 cust_page_write_cdb() {
    return vendor_cdb(
        {.opcode = k_op_vendor_write, .sub = k_sub_cust_page_write, .length = static_cast<uint32_t>(k_cust_page_len)});
}

cdb16 cust_page_read_cdb() { return read_cdb(k_sub_cust_page_read, k_cust_page_len); }

cdb16 fw_version_cdb() { return read_cdb(k_sub_fw_version, k_fw_version_len); }

cdb16 restart_cdb(uint8_t type) {
    return vendor_cdb({.opcode = k_op_vendor_write,
                       .sub = k_sub_restart,
                       .p5 = type,
                       .length = static_cast<uint32_t>(k_restart_len)});
}

cdb16 disk_speed_write_cdb(uint8_t speed) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_disk_speed_write, .p6 = speed});
}

cdb16 disk_speed_read_cdb() { return read_cdb(k_sub_disk_speed_read, k_disk_speed_len); }

cdb16 rw_mode_write_cdb(uint8_t mode) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_rw_mode_write, .p6 = mode});
}

cdb16 rw_mode_read_cdb() { return read_cdb(k_sub_rw_mode_read, k_rw_mode_len); }

cdb16 status_block_cdb() { return read_cdb(k_sub_status_block, k_status_block_len); }

const char* usb_speed_text(uint32_t code) {
    switch (code) {
        case 1: return "low speed\n";
        case 2: return "full speed\n";
        case 3: return "high speed\n";
        case 5: return "super speed 5Gbps\n";
        case 6: return "super speed 10Gbps\n";
        case 7: return "super speed 20Gbps\n";
        default: return "unknown speed\n";
    }
}

const char* rw_mode_text(uint8_t mode) {
    switch (mode) {
        case k_rw_mode_normal: return "normal mode";
        case k_rw_mode_write_protect: return "write protection mode";
        case k_rw_mode_format: return "format mode";
        default: return "unknown";
    }
}

// Bridges without the UUID command keep the UUID in flash; its offset depends on the
// generation, which identify_bridge finds again from the INQUIRY and chip registers.
cmd_status get_uuid(bridge_dev* dev, uint32_t* uuid) {
    alignas(4) uint8_t raw[k_uuid_len] = {};
    cmd_status status = read_in(dev, uuid_cdb(), raw, k_uuid_len);
    if (status != 0) {
        const bridge_gen gen = identify_bridge(dev);
        if (gen != 0 && gen != 1) return -1;
        status = read_in(dev, uuid_by_offset_cdb(k_uuid_offset[gen]), raw, k_uuid_len);
    }
    if (status == 0) *uuid = get_le32(raw);
    return status;
}

cmd_status set_cust_page(bridge_dev* dev, const uint8_t* page) {
    alignas(4) uint8_t copy[k_cust_page_len];
    std::memcpy(copy, page, sizeof copy);
    return write_out(dev, cust_page_write_cdb(), copy, k_cust_page_len);
}

cmd_status get_cust_page(bridge_dev* dev, uint8_t* page) {
    return read_in(dev, cust_page_read_cdb(), page, k_cust_page_len);
}

cmd_status get_fw_version(bridge_dev* dev, fw_version* version) {
    alignas(4) uint8_t raw[k_fw_version_len] = {};
    const cmd_status status = read_in(dev, fw_version_cdb(), raw, k_fw_version_len);
    if (status == 0) {
        read_cursor in(raw, sizeof raw);
        version->major = in.le32();
        version->minor = in.le32();
        version->patch = in.le32();
        version->reserved = in.le32();
        version->build_date = in.le32();
    }
    return status;
}

cmd_status bridge_restart(bridge_dev* dev, uint8_t type) {
    alignas(4) uint8_t zeros[k_restart_len] = {};
    return write_out(dev, restart_cdb(type), zeros, k_restart_len);
}

cmd_status set_disk_speed(bridge_dev* dev, uint8_t speed) {
    if (speed > k_max_disk_speed) return -1;
    return write_out(dev, disk_speed_write_cdb(speed), nullptr, 0);
}

cmd_status get_disk_speed(bridge_dev* dev, uint8_t* speed) {
    alignas(4) uint8_t raw[k_disk_speed_len] = {};
    const cmd_status status = read_in(dev, disk_speed_read_cdb(), raw, k_disk_speed_len);
    if (status == 0) *speed = raw[0];
    return status;
}

cmd_status set_bridge_rw_mode(bridge_dev* dev, uint8_t mode) {
    return write_out(dev, rw_mode_write_cdb(mode), nullptr, 0);
}

cmd_status get_bridge_rw_mode(bridge_dev* dev, uint8_t* mode) {
    uint8_t raw = 0;
    const cmd_status status = read_in(dev, rw_mode_read_cdb(), &raw, k_rw_mode_len);
    if (status == 0) *mode = raw;
    return status;
}

cmd_status get_status_block(bridge_dev* dev, uint8_t* block) {
    return read_in(dev, status_block_cdb(), block, k_status_block_len);
}

cmd_status disable_disk_hotplug(bridge_dev* dev) {
    const bridge_gen gen = identify_bridge(dev);
    if (gen != 0 && gen != 1) return -1;
    const uint32_t reg = k_register_base[gen] + k_reg_hotplug;
    uint32_t value = 0;
    const cmd_status status = reg_read32(dev, reg, &value);
    if (status != 0) return status;
    return reg_write32(dev, reg, 0, value & k_hotplug_keep_mask[gen]);
}

}  // namespace zelko
