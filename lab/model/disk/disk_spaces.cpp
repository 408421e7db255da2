#include "lab/model/disk/disk_spaces.h"

namespace {

struct power_on_row {
    lab_memory which;
    std::vector<uint8_t> (*content)();
};

constexpr power_on_row k_power_on[] = {
    {lab_memory::pcie_conf, pcie_conf_power_on},
    {lab_memory::pcie_bar0, pcie_bar0_power_on},
    {lab_memory::smart_data, smart_data_power_on},
};

std::vector<uint8_t> power_on(lab_memory which) {
    for (const power_on_row& row : k_power_on) {
        if (row.which == which) return row.content();
    }
    return {};
}

bool ensure_power_on(bridge_record& record, lab_memory which) {
    if (memory_written(record, which)) return true;
    const std::vector<uint8_t> bytes = power_on(which);
    return memory_write(record, which, 0, bytes.data(), bytes.size());
}

}  // namespace

bool space_read(bridge_record& record, lab_memory which, uint64_t offset, void* out, size_t length) {
    return ensure_power_on(record, which) && memory_read(record, which, offset, out, length);
}

bool space_write(bridge_record& record, lab_memory which, uint64_t offset, const void* data, size_t length) {
    return ensure_power_on(record, which) && memory_write(record, which, offset, data, length);
}

// Reading does not change the record's memories; memory_read takes a record only to find them.
std::vector<uint8_t> space_bytes(const bridge_record& record, lab_memory which) {
    if (!memory_written(record, which)) return power_on(which);
    std::vector<uint8_t> bytes(memory_size(record, which));
    if (!memory_read(const_cast<bridge_record&>(record), which, 0, bytes.data(), bytes.size())) return power_on(which);
    return bytes;
}

void space_reset_all(bridge_record& record) {
    for (const power_on_row& row : k_power_on) {
        const std::vector<uint8_t> bytes = row.content();
        memory_write(record, row.which, 0, bytes.data(), bytes.size());
    }
}
