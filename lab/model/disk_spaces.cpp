#include "lab/model/disk_spaces.h"

#include <cstring>

namespace {

struct space_row {
    disk_space which;
    uint32_t size;
    std::vector<uint8_t> bridge_live::*bytes;
    std::vector<uint8_t> (*power_on)();
};

const space_row k_spaces[] = {
    {disk_space::pcie_conf, k_pcie_conf_size, &bridge_live::pcie_conf, pcie_conf_power_on},
    {disk_space::pcie_bar0, k_pcie_bar0_size, &bridge_live::pcie_bar0, pcie_bar0_power_on},
    {disk_space::smart_data, k_smart_data_size, &bridge_live::smart_data, smart_data_power_on},
};

const space_row& row_of(disk_space which) {
    for (const space_row& row : k_spaces) {
        if (row.which == which) return row;
    }
    return k_spaces[0];
}

// The space's bytes, made from its power-on content when the record has none.
std::vector<uint8_t>& bytes_of(bridge_record& record, const space_row& row) {
    std::vector<uint8_t>& bytes = record.state.*row.bytes;
    if (bytes.size() != row.size) bytes = row.power_on();
    return bytes;
}

bool inside(uint64_t offset, size_t length, uint32_t size) { return offset <= size && length <= size - offset; }

}  // namespace

bool space_read(bridge_record& record, disk_space which, uint64_t offset, void* out, size_t length) {
    const space_row& row = row_of(which);
    if (!inside(offset, length, row.size)) return false;
    if (length != 0) std::memcpy(out, bytes_of(record, row).data() + offset, length);
    return true;
}

bool space_write(bridge_record& record, disk_space which, uint64_t offset, const void* data, size_t length) {
    const space_row& row = row_of(which);
    if (!inside(offset, length, row.size)) return false;
    if (length != 0) std::memcpy(bytes_of(record, row).data() + offset, data, length);
    record.dirty = true;
    return true;
}

uint64_t space_size(const bridge_record&, disk_space which) { return row_of(which).size; }

std::vector<uint8_t> space_bytes(const bridge_record& record, disk_space which) {
    const space_row& row = row_of(which);
    const std::vector<uint8_t>& bytes = record.state.*row.bytes;
    return bytes.size() == row.size ? bytes : row.power_on();
}

void space_reset_all(bridge_record& record) {
    for (const space_row& row : k_spaces) record.state.*row.bytes = row.power_on();
}
