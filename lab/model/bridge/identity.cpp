#include "lab/model/bridge/identity.h"

#include "lab/model/disk/disk_spaces.h"

namespace {

struct generation_defaults {
    const char* revisions[4];
    const char* revision;
    uint32_t chip_id;
    uint32_t chip_version;
};

constexpr generation_defaults k_generation_defaults[2] = {
    {{"1.00", "2.00", nullptr, nullptr}, "1.00", 0xA0010002, 0x00110002},
    {{"1.01", "2.01", "1.02", "2.02"}, "1.01", 0xA0020001, 0x00120003},
};

constexpr uint32_t k_register_bases[2] = {0xB3500000, 0xB3700000};

}  // namespace

int lab_generation_of_revision(const std::string& revision) {
    for (int gen = 0; gen < 2; ++gen) {
        for (const char* known : k_generation_defaults[gen].revisions) {
            if (known != nullptr && revision == known) return gen;
        }
    }
    return -1;
}

uint32_t lab_register_base(const bridge_record& record) {
    return k_register_bases[lab_generation_of_revision(record.params.revision) == 0 ? 0 : 1];
}

void apply_generation_defaults(bridge_params& params, int generation) {
    const generation_defaults& d = k_generation_defaults[generation == 0 ? 0 : 1];
    params.revision = d.revision;
    params.chip_id = d.chip_id;
    params.chip_version = d.chip_version;
}

void apply_disk_defaults(bridge_record& record, uint32_t disk) {
    bridge_params& p = record.params;
    record.disk.kind = disk;
    record.disk.security_status = 0;
    record.disk.master_password_id = 0;
    record.disk.erase_time = 0;
    record.disk.enhanced_erase_time = 0;
    if (disk == k_disk_nvme) {
        p.product = "USB3 NVMe Bridge";
        record.disk.model = "LNV-3000 NVMe SSD 1TB";
        record.disk.serial = "LAB2304NV0001";
        record.disk.firmware = "3B2QLAB1";
        record.disk.capacity_sectors = 1953525168;
        record.disk.pcie_link = 1;
        record.disk.state = 1;
    } else if (disk == k_disk_sata) {
        p.product = "USB3 SATA Bridge";
        record.disk.model = "LSA-500 SATA SSD 512GB";
        record.disk.serial = "LAB2211SA0007";
        record.disk.firmware = "SA1.0.3L";
        record.disk.capacity_sectors = 1000215216;
        record.disk.pcie_link = 0;
        record.disk.security_status = 0x0021;  // supported, enhanced erase supported
        record.disk.master_password_id = 0xFFFE;
        record.disk.erase_time = 0x0008;
        record.disk.enhanced_erase_time = 0x0010;
        record.disk.state = 1;
    } else {
        record.disk.model.clear();
        record.disk.serial.clear();
        record.disk.firmware.clear();
        record.disk.capacity_sectors = 0;
        record.disk.pcie_link = 0;
        record.disk.state = 0;
    }
    space_reset_all(record);
}

void apply_foreign_defaults(bridge_record& record) {
    bridge_params& p = record.params;
    p.kind = k_kind_foreign;
    p.vendor = "Generic";
    p.product = "Flash Disk";
    p.revision = "1.00";
    p.chip_id = 0;
    p.chip_version = 0;
    apply_disk_defaults(record, k_disk_none);
    p.product = "Flash Disk";
}

uint32_t default_uuid(const std::string& name) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : name) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return hash;
}
