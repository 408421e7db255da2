#include "lab/model/nvme/pcie_function.h"

#include "zelko/common/bytes.h"
#include "lab/model/disk/disk_spaces.h"

using namespace zelko;

namespace {

// Identity of the function: the disk vendor's NVMe controller.
constexpr uint16_t k_device_id = 0x5016;
constexpr uint32_t k_class_nvme = 0x010802;  // mass storage, non-volatile memory, NVM Express
constexpr uint32_t k_bar0_power_on = 0xFE000000;
constexpr uint32_t k_bar_memory_64 = 0x4;  // BAR type bits: 64-bit memory space

// Command: memory space and bus master on; Status: capability list.
constexpr uint16_t k_command_power_on = 0x0006;
constexpr uint16_t k_status_cap_list = 0x0010;

// Link register fields.
constexpr uint32_t k_link_speed_mask = 0xF;
constexpr uint32_t k_link_width_shift = 4;
constexpr uint32_t k_link_width_mask = 0x3F;
constexpr uint32_t k_link_cap_aspm_l0s_l1 = 0x3u << 10;
constexpr uint32_t k_link_cap_l1_exit = 0x6u << 15;
constexpr uint16_t k_link_status_slot_clock = 0x1000;

// A register's write behaviour: the bits a write sets and the bits a written 1 clears,
// little-endian over `size` bytes (the 32-bit masks repeat for longer ranges).
struct reg_write_rule {
    uint32_t offset;
    uint32_t size;
    uint32_t writable;
    uint32_t clear_on_one;
};

// clang-format off
constexpr reg_write_rule k_conf_rules[] = {
    {k_conf_command,        2, 0x0546, 0},       // memory space, bus master, parity, SERR, INTx disable
    {k_conf_status,         2, 0,      0xF900},  // error bits
    {0x0C,                  1, 0xFF,   0},       // cache line size
    {k_conf_bar0,           4, 0xFFFFC000, 0},   // 16 KiB: the low 14 bits are fixed
    {k_conf_bar1,           4, 0xFFFFFFFF, 0},
    {0x3C,                  1, 0xFF,   0},       // interrupt line
    {k_cap_power + 4,       2, 0x0103, 0x8000},  // PMCSR: power state, PME enable; PME status
    {k_cap_msix + 2,        2, 0xC000, 0},       // MSI-X enable, function mask
    {k_cap_express + 0x08,  2, 0xFFFF, 0},       // Device Control (FLR not emulated)
    {k_cap_express + 0x0A,  2, 0,      0x000F},  // Device Status error bits
    {k_cap_express + 0x10,  2, 0x0FCB, 0},       // Link Control
    {k_cap_express + 0x28,  2, 0x075F, 0},       // Device Control 2
    {k_express_link_control2, 2, 0xFFFF, 0},     // Link Control 2
};

constexpr reg_write_rule k_bar0_rules[] = {
    {k_nvme_cc,        4, 0x00FFFFF1, 0},
    {k_nvme_csts,      4, 0,          0x10},     // NSSRO
    {k_nvme_aqa,       4, 0x0FFF0FFF, 0},
    {k_nvme_asq,       4, 0xFFFFF000, 0},
    {k_nvme_asq + 4,   4, 0xFFFFFFFF, 0},
    {k_nvme_acq,       4, 0xFFFFF000, 0},
    {k_nvme_acq + 4,   4, 0xFFFFFFFF, 0},
    {k_nvme_doorbells, 0x40, 0xFFFF, 0},         // 8 queue pairs, 16-bit values
    {k_msix_table, 16 * k_msix_vectors, 0xFFFFFFFF, 0},
};
// clang-format on

// The masks of the byte at `offset`; bytes no rule names are read-only.
void masks_at(const reg_write_rule* rules, size_t count, uint32_t offset, uint8_t* writable, uint8_t* clear) {
    *writable = 0;
    *clear = 0;
    for (size_t i = 0; i < count; ++i) {
        const reg_write_rule& r = rules[i];
        if (offset < r.offset || offset - r.offset >= r.size) continue;
        const uint32_t shift = 8 * ((offset - r.offset) % 4);
        *writable = static_cast<uint8_t>(r.writable >> shift);
        *clear = static_cast<uint8_t>(r.clear_on_one >> shift);
        return;
    }
}

template <size_t N>
void take_write(std::vector<uint8_t>& space, const reg_write_rule (&rules)[N], uint32_t offset, const uint8_t* data,
                size_t length) {
    for (size_t i = 0; i < length && offset + i < space.size(); ++i) {
        const uint32_t at = static_cast<uint32_t>(offset + i);
        uint8_t writable = 0;
        uint8_t clear = 0;
        masks_at(rules, N, at, &writable, &clear);
        uint8_t value = static_cast<uint8_t>((space[at] & ~writable) | (data[i] & writable));
        space[at] = static_cast<uint8_t>(value & ~(data[i] & clear));
    }
}

void put16(std::vector<uint8_t>& s, uint32_t offset, uint16_t v) { put_le16(&s[offset], v); }
void put32(std::vector<uint8_t>& s, uint32_t offset, uint32_t v) { put_le32(&s[offset], v); }

}  // namespace

bool link_width_valid(uint32_t width) {
    for (const uint32_t w : {1u, 2u, 4u, 8u, 12u, 16u, 32u}) {
        if (w == width) return true;
    }
    return false;
}

std::vector<uint8_t> pcie_conf_power_on() {
    std::vector<uint8_t> s(k_pcie_conf_size, 0);
    put16(s, k_conf_vendor, k_nvme_disk_vendor_id);
    put16(s, k_conf_vendor + 2, k_device_id);
    put16(s, k_conf_command, k_command_power_on);
    put16(s, k_conf_status, k_status_cap_list);
    put32(s, 0x08, (k_class_nvme << 8) | 0x01);  // class code, revision 1
    put32(s, k_conf_bar0, k_bar0_power_on | k_bar_memory_64);
    put16(s, 0x2C, k_nvme_disk_vendor_id);  // subsystem vendor and id
    put16(s, 0x2E, 0x0001);
    s[k_conf_cap_pointer] = k_cap_power;
    s[0x3D] = 0x01;  // interrupt pin INTA

    // Power management, version 3; D0, no soft reset on D3hot to D0.
    s[k_cap_power] = 0x01;
    s[k_cap_power + 1] = k_cap_msix;
    put16(s, k_cap_power + 2, 0x0003);
    put16(s, k_cap_power + 4, 0x0008);
    // MSI-X: 32 vectors, table and pending bits in BAR0.
    s[k_cap_msix] = 0x11;
    s[k_cap_msix + 1] = k_cap_express;
    put16(s, k_cap_msix + 2, k_msix_vectors - 1);
    put32(s, k_cap_msix + 4, k_msix_table);
    put32(s, k_cap_msix + 8, k_msix_pba);
    // PCI Express, version 2, endpoint; the last capability.
    s[k_cap_express] = 0x10;
    s[k_cap_express + 1] = 0x00;
    put16(s, k_cap_express + 2, 0x0002);
    put32(s, k_cap_express + 4, 0x10008FC2);     // Device Capabilities: 512-byte payload, FLR
    put16(s, k_cap_express + 8, 0x2810);         // Device Control: 256-byte payload, 512-byte reads
    put32(s, k_cap_express + 0x24, 0x0070081F);  // Device Capabilities 2
    put_link(s, {.max_gen = 4, .max_width = 4, .gen = 3, .width = 4});
    return s;
}

std::vector<uint8_t> pcie_bar0_power_on() {
    std::vector<uint8_t> s(k_pcie_bar0_size, 0);
    // CAP: 1024 entries a queue, contiguous queues, 10 s ready time-out, NVM command set,
    // subsystem reset; VS 1.4; enabled and ready with 64/16-byte queue entries.
    put_le64(&s[k_nvme_cap], 0x00000030140103FFull);
    put32(s, k_nvme_vs, 0x00010400);
    put32(s, k_nvme_cc, 0x00460001);
    put32(s, k_nvme_csts, 0x00000001);
    put32(s, k_nvme_aqa, 0x001F001F);
    put_le64(&s[k_nvme_asq], 0x0000000112340000ull);
    put_le64(&s[k_nvme_acq], 0x0000000112350000ull);
    // Every MSI-X vector starts masked.
    for (uint32_t v = 0; v < k_msix_vectors; ++v) put32(s, k_msix_table + 16 * v + 12, 1);
    return s;
}

pcie_link link_of(const std::vector<uint8_t>& conf) {
    if (conf.size() < k_pcie_conf_size) return {};
    const uint32_t cap = get_le32(&conf[k_express_link_cap]);
    const uint32_t status = get_le16(&conf[k_express_link_status]);
    return {.max_gen = cap & k_link_speed_mask,
            .max_width = (cap >> k_link_width_shift) & k_link_width_mask,
            .gen = status & k_link_speed_mask,
            .width = (status >> k_link_width_shift) & k_link_width_mask};
}

void put_link(std::vector<uint8_t>& conf, const pcie_link& link) {
    if (conf.size() < k_pcie_conf_size) return;
    const uint32_t cap = get_le32(&conf[k_express_link_cap]);
    const uint32_t kept = cap & ~(k_link_speed_mask | (k_link_width_mask << k_link_width_shift));
    put32(conf, k_express_link_cap,
          kept | k_link_cap_aspm_l0s_l1 | k_link_cap_l1_exit | link.max_gen | (link.max_width << k_link_width_shift));
    put32(conf, k_express_link_cap2, ((1u << link.max_gen) - 1) << 1);  // supported speeds vector
    const uint16_t control2 = get_le16(&conf[k_express_link_control2]);
    put16(conf, k_express_link_control2, static_cast<uint16_t>((control2 & ~k_link_speed_mask) | link.max_gen));
    put16(conf, k_express_link_status,
          static_cast<uint16_t>(k_link_status_slot_clock | link.gen | (link.width << k_link_width_shift)));
}

uint64_t bar0_address(const std::vector<uint8_t>& conf) {
    if (conf.size() < k_pcie_conf_size) return 0;
    return (static_cast<uint64_t>(get_le32(&conf[k_conf_bar1])) << 32) | (get_le32(&conf[k_conf_bar0]) & ~0xFu);
}

void conf_take_write(std::vector<uint8_t>& conf, uint32_t offset, const uint8_t* data, size_t length) {
    take_write(conf, k_conf_rules, offset, data, length);
}

// A controller enable or shutdown request completes at once: CSTS follows CC.
void bar0_take_write(std::vector<uint8_t>& bar0, uint32_t offset, const uint8_t* data, size_t length) {
    take_write(bar0, k_bar0_rules, offset, data, length);
    const uint32_t cc = get_le32(&bar0[k_nvme_cc]);
    uint32_t csts = get_le32(&bar0[k_nvme_csts]) & ~0xDu;
    csts |= cc & 1;                              // RDY follows EN
    if (((cc >> 14) & 3) != 0) csts |= 2u << 2;  // SHST: shutdown complete
    put32(bar0, k_nvme_csts, csts);
}

void pcie_function_reset(bridge_record& record) {
    std::vector<uint8_t> conf = pcie_conf_power_on();
    put_link(conf, link_of(space_bytes(record, lab_memory::pcie_conf)));
    space_write(record, lab_memory::pcie_conf, 0, conf.data(), conf.size());
    const std::vector<uint8_t> bar0 = pcie_bar0_power_on();
    space_write(record, lab_memory::pcie_bar0, 0, bar0.data(), bar0.size());
}
