// The PCIe function behind an NVMe bridge: configuration reads (0xB3) and writes (0x33)
// at a register offset in bytes 8 to 11, memory reads (0xB4) and writes (0x34) at a
// 32-bit memory address. Memory space holds BAR0 where the BAR puts it; elsewhere it reads
// 0 and takes no writes. Data phases longer than 4096 bytes need the transfer flag
// cleared first, as on the real bridge; otherwise they are refused.
#include <algorithm>

#include "lab/model/disk/disk_spaces.h"
#include "lab/model/handlers.h"
#include "lab/model/nvme/pcie_function.h"

namespace {

constexpr uint32_t k_short_transfer = 4096;

bool function_reachable(const bridge_record& record) {
    return record.disk.kind == k_disk_nvme && record.disk.pcie_link != 0;
}

// The checks every block of the family passes: the length fields agree, the transfer
// flag allows a long phase, and the function is there.
bool accepted(const bridge_record& record, const block_request& request, block_answer& answer) {
    if (vendor_length_field(request) != request.length ||
        (request.length > k_short_transfer && record.state.xfer_flag != 0)) {
        answer_invalid_field(answer);
        return false;
    }
    if (record.disk.kind == k_disk_none) {
        answer_no_disk(answer);
        return false;
    }
    if (!function_reachable(record)) {
        answer_invalid_field(answer);
        return false;
    }
    return true;
}

// A configuration block also stays within the function's 4 KiB.
bool conf_accepted(const bridge_record& record, const block_request& request, block_answer& answer) {
    if (!accepted(record, request, answer)) return false;
    const uint32_t reg = vendor_address_field(request);
    if (reg > k_conf_reach || request.length > k_conf_reach - reg) {
        answer_invalid_field(answer);
        return false;
    }
    return true;
}

// The part of [address, address + length) that falls inside [base, base + size):
// offsets into the request and into the window, and its length.
struct overlap {
    uint64_t request_offset = 0;
    uint64_t window_offset = 0;
    uint64_t length = 0;
};
overlap overlap_of(uint64_t address, uint64_t length, uint64_t base, uint64_t size) {
    const uint64_t start = std::max(address, base);
    const uint64_t end = std::min(address + length, base + size);
    if (start >= end) return {};
    return {start - address, start - base, end - start};
}

}  // namespace

void handle_pcie_conf_read(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t reg = vendor_address_field(request);
    if (!conf_accepted(record, request, answer)) return;
    answer.data.assign(request.length, 0);
    const overlap o = overlap_of(reg, request.length, 0, k_pcie_conf_size);
    space_read(record, lab_memory::pcie_conf, o.window_offset, answer.data.data() + o.request_offset, o.length);
}

void handle_pcie_conf_write(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t reg = vendor_address_field(request);
    if (!conf_accepted(record, request, answer)) return;
    const overlap o = overlap_of(reg, request.length, 0, k_pcie_conf_size);
    if (o.length == 0) return;
    std::vector<uint8_t> conf = space_bytes(record, lab_memory::pcie_conf);
    conf_take_write(conf, static_cast<uint32_t>(o.window_offset), request.data_out + o.request_offset, o.length);
    space_write(record, lab_memory::pcie_conf, 0, conf.data(), conf.size());
}

void handle_pcie_mem_read(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!accepted(record, request, answer)) return;
    answer.data.assign(request.length, 0);
    const uint64_t base = bar0_address(space_bytes(record, lab_memory::pcie_conf));
    const overlap o = overlap_of(vendor_address_field(request), request.length, base, k_pcie_bar0_size);
    space_read(record, lab_memory::pcie_bar0, o.window_offset, answer.data.data() + o.request_offset, o.length);
}

void handle_pcie_mem_write(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!accepted(record, request, answer)) return;
    const uint64_t base = bar0_address(space_bytes(record, lab_memory::pcie_conf));
    const overlap o = overlap_of(vendor_address_field(request), request.length, base, k_pcie_bar0_size);
    if (o.length == 0) return;
    std::vector<uint8_t> bar0 = space_bytes(record, lab_memory::pcie_bar0);
    bar0_take_write(bar0, static_cast<uint32_t>(o.window_offset), request.data_out + o.request_offset, o.length);
    // What the write reached, and the status register that follows it.
    space_write(record, lab_memory::pcie_bar0, o.window_offset, bar0.data() + o.window_offset, o.length);
    space_write(record, lab_memory::pcie_bar0, k_nvme_csts, bar0.data() + k_nvme_csts, 4);
}
