// Opening device paths, identifying Morvelt bridges and the disk behind them, and
// finding the bridges on the machine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zelko/device/transport.h"

namespace zelko {

// Generation of a bridge, chosen by its INQUIRY product revision: 0 or 1; -1 no bridge.
using bridge_gen = int;

// The 16-byte disk status read with sub-command 0xBB.
struct disk_status {
    uint32_t disk_type = 0;   // 0 NVMe disk, 1 SATA disk
    uint32_t disk_state = 0;  // 1 and 3: a disk the scan identifies
    uint32_t pcie_link = 0;   // 1: the device behind the bridge is a PCIe device
    uint32_t reserved = 0;
};
constexpr uint32_t k_disk_type_nvme = 0;
constexpr uint32_t k_disk_type_sata = 1;

// Serial, firmware revision and model from IDENTIFY DEVICE, each zero-terminated.
struct disk_ident {
    char serial[21] = {};
    char firmware[9] = {};
    char model[42] = {};  // 40 characters, a zero byte and one spare byte
};
static_assert(sizeof(disk_ident) == 72, "disk_ident is a 72-byte record");

// ATA security summary: word 128, word 92 and the two erase times in minutes.
struct ata_security {
    uint16_t security_status = 0;
    uint16_t master_password_id = 0;
    uint16_t erase_minutes = 0;
    uint16_t enhanced_erase_minutes = 0;
};

struct dev_candidate {
    std::string path;
    uint8_t volume = 0;  // 1 for a volume path, 0 for a physical drive
};

// One bridge found by a scan.
struct bridge_node {
    char path[512] = {};
    char bridge[512] = {};
    disk_ident ident;
    uint8_t info_block[72] = {};
    ata_security security;
};

constexpr int k_inquiry_len = 512;
constexpr int k_bridge_name_len = 512;

bridge_dev_ptr dev_open(const char* path);
void dev_close(bridge_dev_ptr& dev);

cmd_status inquiry(bridge_dev* dev, uint8_t* buffer, int32_t length);
// The bridge's vendor and product identification from its INQUIRY, as a terminated text;
// `text` holds at least 25 characters (the dispatcher passes k_bridge_name_len).
cmd_status get_bridge_name(bridge_dev* dev, char* text);
bridge_gen identify_bridge(bridge_dev* dev);
// The generation of a 4-character INQUIRY product revision, -1 for one no bridge has.
bridge_gen generation_of_revision(const uint8_t* revision);
// Offset of the product revision in the INQUIRY data.
constexpr int k_inquiry_revision = 32;
bool is_bridge(bridge_dev* dev);
bool is_bridge_cdrom(bridge_dev* dev);
cmd_status unlock_fw_write(bridge_dev* dev);
cmd_status get_disk_status(bridge_dev* dev, disk_status* status);
cmd_status get_disk_ident(bridge_dev* dev, disk_ident* ident);
cmd_status get_disk_info_block(bridge_dev* dev, uint8_t* block);
cmd_status get_ata_security(bridge_dev* dev, ata_security* summary);

// Decoders of IDENTIFY DEVICE data (512 bytes), usable without a device.
void decode_disk_ident(const uint8_t* data, disk_ident* ident);
void decode_ata_security(const uint8_t* data, ata_security* summary);
uint16_t ata_erase_minutes(uint16_t word);

std::vector<dev_candidate> list_candidates();
std::vector<std::unique_ptr<bridge_node>> scan_bridges(bool keep_diskless);

}  // namespace zelko
