#include "zelko/bridge/pcie_ata.h"

#include <cstring>
#include <memory>
#include <new>

#include "zelko/common/bytes.h"

namespace zelko {

namespace {

// Sends a data-out block from a private copy: the transport takes a writable buffer.
cmd_status send_out(bridge_dev* dev, const cdb16& cdb, const uint8_t* data, int32_t length) {
    if (length < 0 || (length > 0 && data == nullptr)) return -1;
    std::unique_ptr<uint8_t[]> copy;
    if (length > 0) {
        copy.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
        if (!copy) return -1;
        std::memcpy(copy.get(), data, static_cast<size_t>(length));
    }
    return scsi_send(dev, cdb, copy.get(), length, data_direction::to_device, k_timeout_s);
}

// Runs `transfer`, with the transfer flag cleared around it when it is long. Clearing
// is attempted whatever it comes to; the flag is set again whatever the transfer came to.
template <typename Transfer>
cmd_status bracketed(bridge_dev* dev, int32_t length, Transfer transfer) {
    const bool long_transfer = length > k_xfer_flag_limit;
    if (long_transfer) xfer_flag_set(dev, 0);
    const cmd_status status = transfer();
    if (long_transfer) xfer_flag_set(dev, 1);
    return status;
}

cdb16 ata_cdb(uint8_t protocol, uint8_t features, uint8_t count, uint8_t lba_low, uint8_t lba_mid, uint8_t lba_high,
              uint8_t device, uint8_t command) {
    cdb16 cdb{};
    cdb[0] = k_op_ata_pass_through12;
    cdb[1] = protocol;
    cdb[2] = k_ata_flags_in_blocks;
    cdb[3] = features;
    cdb[4] = count;
    cdb[5] = lba_low;
    cdb[6] = lba_mid;
    cdb[7] = lba_high;
    cdb[8] = device;
    cdb[9] = command;
    return cdb;
}

}  // namespace

cdb16 pcie_conf_read_cdb(uint8_t reg, uint32_t length) {
    return vendor_cdb({.opcode = k_op_vendor_read, .sub = k_sub_pcie_conf_read, .address = reg, .length = length});
}

cdb16 pcie_conf_write_cdb(uint8_t reg, uint32_t length) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_pcie_conf_write, .address = reg, .length = length});
}

cdb16 pcie_mem_read_cdb(uint32_t address, uint32_t length) {
    return vendor_cdb({.opcode = k_op_vendor_read, .sub = k_sub_pcie_mem_read, .address = address, .length = length});
}

cdb16 pcie_mem_write_cdb(uint32_t address, uint32_t length) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_pcie_mem_write, .address = address, .length = length});
}

cdb16 ata_smart_read_cdb() {
    return ata_cdb(k_ata_protocol_pio_in, k_ata_smart_read_data, 1, 1, k_ata_smart_lba_mid, k_ata_smart_lba_high,
                   k_ata_device_smart, k_ata_cmd_smart);
}

cdb16 ata_set_features_cdb(uint8_t feature, uint8_t count) {
    return ata_cdb(k_ata_protocol_non_data, feature, count, 0, 0, 0, 0, k_ata_cmd_set_features);
}

cmd_status pcie_conf_read(bridge_dev* dev, uint8_t reg, uint8_t* buffer, int32_t length) {
    if (length < 0) return -1;
    return read_fixed(dev, pcie_conf_read_cdb(reg, static_cast<uint32_t>(length)), buffer, length);
}

cmd_status pcie_conf_write(bridge_dev* dev, uint8_t reg, const uint8_t* data, int32_t length) {
    if (length < 0) return -1;
    return send_out(dev, pcie_conf_write_cdb(reg, static_cast<uint32_t>(length)), data, length);
}

cmd_status pcie_mem_read(bridge_dev* dev, uint32_t address, uint8_t* buffer, int32_t length) {
    if (length < 0) return -1;
    return bracketed(dev, length, [&] {
        return read_fixed(dev, pcie_mem_read_cdb(address, static_cast<uint32_t>(length)), buffer, length);
    });
}

cmd_status pcie_mem_write(bridge_dev* dev, uint32_t address, const uint8_t* data, int32_t length) {
    if (length < 0) return -1;
    return bracketed(dev, length, [&] {
        return send_out(dev, pcie_mem_write_cdb(address, static_cast<uint32_t>(length)), data, length);
    });
}

cmd_status ata_smart_read(bridge_dev* dev, uint8_t* buffer, int32_t length) {
    if (buffer == nullptr || length < k_smart_data_len) return -1;
    return read_fixed(dev, ata_smart_read_cdb(), buffer, k_smart_data_len);
}

cmd_status ata_set_features(bridge_dev* dev, uint8_t feature, uint8_t count) {
    return scsi_send(dev, ata_set_features_cdb(feature, count), nullptr, 0, data_direction::to_device, k_timeout_s);
}

// Walks the capability list from the pointer at 0x34. A pointer of 0 ends the list, the
// one in the header as well as the ones in the entries. The walk reads at most
// k_pci_max_caps entries: a list that loops back on itself is reported, not followed.
cmd_status pcie_find_cap(bridge_dev* dev, uint8_t id, uint8_t* offset) {
    alignas(4) uint8_t raw[2] = {};
    cmd_status status = pcie_conf_read(dev, k_pci_status, raw, 2);
    if (status != 0) return status;
    if ((raw[0] & k_pci_status_cap_list) == 0) return k_status_cap_absent;
    status = pcie_conf_read(dev, k_pci_cap_pointer, raw, 1);
    if (status != 0) return status;
    uint8_t p = raw[0];
    for (int entry = 0; entry < k_pci_max_caps; ++entry) {
        if (p == 0) return k_status_cap_absent;
        status = pcie_conf_read(dev, p, raw, 2);
        if (status != 0) return status;
        if (raw[0] == id) {
            *offset = p;
            return 0;
        }
        p = raw[1];
    }
    return p == 0 ? k_status_cap_absent : k_status_cap_list_loops;
}

cmd_status pcie_read_link_field(bridge_dev* dev, uint8_t field, uint32_t* value) {
    uint8_t cap = 0;
    cmd_status status = pcie_find_cap(dev, k_pci_cap_express, &cap);
    if (status != 0) return status;
    alignas(4) uint8_t raw[4] = {};
    status = pcie_conf_read(dev, static_cast<uint8_t>(cap + field), raw, 4);
    if (status == 0) *value = get_le32(raw);
    return status;
}

}  // namespace zelko
