#include "zelko/pg/pg_write.h"

#include <cstring>

#include "zelko/common/bytes.h"
#include "zelko/pg/pg_read.h"

namespace zelko {

cdb16 flash_address_cdb(uint32_t address) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_flash_address, .address = address, .length = 4});
}

cdb16 flash_data_cdb(uint32_t length) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_flash_data, .length = length});
}

cmd_status flash_write(bridge_dev* dev, uint32_t address, const uint8_t* data, size_t length) {
    if (length == 0 || length % k_flash_write_unit != 0 || length > 0x7FFFF000u) return -1;
    alignas(4) uint8_t address_bytes[4] = {};
    put_le32(address_bytes, address);
    const cmd_status status =
        scsi_send(dev, flash_address_cdb(address), address_bytes, 4, data_direction::to_device, k_timeout_s);
    if (status != 0) return status;
    return scsi_send(dev, flash_data_cdb(static_cast<uint32_t>(length)), const_cast<uint8_t*>(data),
                     static_cast<int32_t>(length), data_direction::to_device, k_timeout_s);
}

cmd_status commit_pg_record(bridge_dev* dev, const uint8_t* record, size_t length) {
    if (length != k_pg_record_len) return -1;
    alignas(4) uint8_t sector[k_pg_sector_len] = {};
    cmd_status status = mem_read(dev, k_pg_sector_read, sector, static_cast<int32_t>(sizeof sector));
    if (status != 0) return status;
    for (int attempt = 0; attempt < k_commit_attempts; ++attempt) {
        if (attempt != 0) {
            std::memset(sector, 0, sizeof sector);
            status = mem_read(dev, k_pg_sector_read, sector, static_cast<int32_t>(sizeof sector));
            if (status != 0) return status;
        }
        std::memcpy(sector + k_pg_record_offset, record, length);
        status = flash_write(dev, k_pg_sector_write, sector, sizeof sector);
        if (status != 0) return status;
        status = mem_read(dev, k_pg_sector_read, sector, static_cast<int32_t>(sizeof sector));
        if (status != 0) return status;
        if (std::memcmp(sector + k_pg_record_offset, record, length) == 0) return 0;
    }
    return -1;
}

cmd_status set_pg_value(bridge_dev* dev, uint8_t tag, const void* value, size_t size) {
    uint8_t record[k_pg_record_len] = {};
    cmd_status status = read_pg_record(dev, record, sizeof record);
    if (status != 0) return status;
    remove_pg_entry(record, sizeof record, tag);
    status = put_pg_entry(record, sizeof record, tag, value, size);
    if (status != 0) return status;
    return commit_pg_record(dev, record, sizeof record);
}

cmd_status set_pg_serial(bridge_dev* dev, const char* text, size_t length) {
    if (length > k_serial_max_chars) return -1;
    uint8_t descriptor[k_serial_descriptor_capacity + 2] = {};
    const size_t descriptor_len = string_to_usb_descriptor(text, length, descriptor, k_serial_descriptor_capacity);
    uint8_t record[k_pg_record_len] = {};
    cmd_status status = read_pg_record(dev, record, sizeof record);
    if (status != 0) return status;
    // Every serial entry goes, so that the new one is the serial every reader sees.
    while (find_pg_entry(record, sizeof record, k_tag_serial).found) {
        status = remove_pg_entry(record, sizeof record, k_tag_serial);
        if (status != 0) return status;
    }
    status = put_pg_entry(record, sizeof record, k_tag_serial, descriptor, descriptor_len);
    if (status != 0) return status;
    return commit_pg_record(dev, record, sizeof record);
}

}  // namespace zelko
