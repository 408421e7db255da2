#include "zelko/bridge/uart_raid.h"

#include <cstring>
#include <memory>
#include <new>

#include "zelko/common/bytes.h"

namespace zelko {

const char* raid_mode_name(uint8_t mode) {
    switch (mode) {
        case k_raid_jbod: return "JBOD";
        case k_raid0: return "RAID0";
        case k_raid1: return "RAID1";
        default: return "UNKNOWN";
    }
}

cdb16 uart_init_cdb(uint32_t baud) {
    return vendor_cdb({.opcode = k_op_vendor_write,
                       .sub = k_sub_uart_init,
                       .address = baud,
                       .length = static_cast<uint32_t>(k_uart_init_len)});
}

cdb16 uart_transmit_cdb(bool with_pin, uint8_t tx_pin, uint32_t baud, uint32_t length) {
    const uint8_t pin = with_pin ? static_cast<uint8_t>(tx_pin | k_uart_pin_given) : 0;
    return vendor_cdb(
        {.opcode = k_op_vendor_write, .sub = k_sub_uart_transmit, .p5 = pin, .address = baud, .length = length});
}

cdb16 uart_count_cdb() {
    return vendor_cdb(
        {.opcode = k_op_vendor_read, .sub = k_sub_uart_count, .length = static_cast<uint32_t>(k_uart_count_len)});
}

cdb16 uart_receive_cdb(uint32_t count) {
    return vendor_cdb({.opcode = k_op_vendor_read, .sub = k_sub_uart_receive, .length = count});
}

cdb16 uart_clear_cdb() { return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_uart_clear}); }

cdb16 raid_get_cdb() {
    return vendor_cdb(
        {.opcode = k_op_vendor_read, .sub = k_sub_raid_get, .length = static_cast<uint32_t>(k_raid_mode_len)});
}

cdb16 raid_set_cdb(uint8_t mode) {
    return vendor_cdb({.opcode = k_op_vendor_write, .sub = k_sub_raid_set, .p5 = mode, .address = k_raid_set_key});
}

cmd_status uart_set_rx(bridge_dev* dev, uint8_t rx_pin, uint32_t baud) {
    alignas(4) uint8_t pin = rx_pin;
    return scsi_send(dev, uart_init_cdb(baud), &pin, k_uart_init_len, data_direction::to_device, k_timeout_s);
}

cmd_status uart_transmit(bridge_dev* dev, bool with_pin, uint8_t tx_pin, uint32_t baud, const uint8_t* data,
                         int32_t length) {
    if (length < 0) return -1;
    std::unique_ptr<uint8_t[]> copy;
    if (length > 0) {
        copy.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
        if (!copy) return -1;
        std::memcpy(copy.get(), data, static_cast<size_t>(length));
    }
    const cdb16 cdb = uart_transmit_cdb(with_pin, tx_pin, baud, static_cast<uint32_t>(length));
    return scsi_send(dev, cdb, copy.get(), length, data_direction::to_device, k_timeout_s);
}

cmd_status uart_receive_count(bridge_dev* dev, uint32_t* count) {
    alignas(4) uint8_t raw[k_uart_count_len] = {};
    const cmd_status status = read_fixed(dev, uart_count_cdb(), raw, k_uart_count_len);
    if (status == 0) *count = get_le32(raw);
    return status;
}

cmd_status uart_receive(bridge_dev* dev, uint8_t* buffer, int32_t count, uint32_t* received) {
    *received = 0;
    if (count < 0) return -1;
    send_result result;
    const cmd_status status = scsi_send(dev, uart_receive_cdb(static_cast<uint32_t>(count)), buffer, count,
                                        data_direction::from_device, k_timeout_s, &result);
    if (status == 0) *received = result.transferred;
    return status;
}

// The clear command has no data phase; the bridge expects it with the data-in direction.
cmd_status uart_clear(bridge_dev* dev) {
    return scsi_send(dev, uart_clear_cdb(), nullptr, 0, data_direction::from_device, k_timeout_s);
}

cmd_status get_raid_mode(bridge_dev* dev, uint8_t* mode) {
    alignas(4) uint8_t raw = 0;
    const cmd_status status = read_fixed(dev, raid_get_cdb(), &raw, k_raid_mode_len);
    if (status == 0) *mode = raw;
    return status;
}

cmd_status set_raid_mode(bridge_dev* dev, uint8_t mode) {
    if (mode > k_raid_max_mode) return -1;
    return scsi_send(dev, raid_set_cdb(mode), nullptr, 0, data_direction::to_device, k_timeout_s);
}

}  // namespace zelko
