// Opening device paths, identifying Morvelt bridges and the disk behind them, and
// finding the bridges on the machine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zelko/common/export.h"
#include "zelko/device/transport.h"

ZELKO_API_BEGIN
namespace zelko {

// Bytes of the INQUIRY data the bridge functions read, and of IDENTIFY DEVICE data.
constexpr int k_inquiry_len = 512;
constexpr int k_ata_identify_len = 512;
// Characters of a bridge name (INQUIRY vendor and product identification); a buffer for
// the name holds one more, for its terminating zero. The tool passes k_bridge_name_len.
constexpr int k_bridge_name_chars = 24;
constexpr int k_bridge_name_len = 512;
// Bytes of the disk information block (sub-command 0xA8).
constexpr int k_info_block_len = 72;
// Offset of the product revision in the INQUIRY data.
constexpr int k_inquiry_revision = 32;

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
    char bridge[k_bridge_name_len] = {};
    disk_ident ident;
    uint8_t info_block[k_info_block_len] = {};
    ata_security security;
};

// Opens `path` through the port. Returns the device, owned by the caller (closing it is
// releasing it, or dev_close); null when the path does not open.
bridge_dev_ptr dev_open(const char* path);
// Closes and releases `dev`, leaving it null; a null `dev` is left as it is.
void dev_close(bridge_dev_ptr& dev);

// Sends INQUIRY for `length` bytes into `buffer` (`length` bytes, at most 65535). Returns
// scsi_send's status.
cmd_status inquiry(bridge_dev* dev, uint8_t* buffer, int32_t length);
// The bridge's vendor and product identification from its INQUIRY: k_bridge_name_chars
// characters and a zero into `text`, which holds at least k_bridge_name_chars + 1 bytes
// (an empty text on failure). Returns the INQUIRY's status, or -1 without memory.
cmd_status get_bridge_name(bridge_dev* dev, char* text);
// The generation of a Morvelt bridge: 0 or 1 when the INQUIRY product revision, the chip
// identity and the chip version are a known bridge's; -1 for any other device or a failed
// read. Sends an INQUIRY and two memory reads.
bridge_gen identify_bridge(bridge_dev* dev);
// The generation of the 4-character product revision at `revision` (4 bytes read), -1 for
// one no bridge has.
bridge_gen generation_of_revision(const uint8_t* revision);
// True when identify_bridge finds a generation.
bool is_bridge(bridge_dev* dev);
// True when the INQUIRY names the bridge's own CD-ROM function ("Morvelt " "USB CD-ROM").
bool is_bridge_cdrom(bridge_dev* dev);
// The write-unlock read: 96 bytes of the configuration window, thrown away. Returns its
// status (k_status_short_answer for a short answer), or -1 without memory.
cmd_status unlock_fw_write(bridge_dev* dev);
// Reads the 16-byte disk status into `*status`. Returns read_fixed's status; -1 for a null
// `status`. `*status` is untouched on failure.
cmd_status get_disk_status(bridge_dev* dev, disk_status* status);
// IDENTIFY DEVICE (k_ata_identify_len bytes through ATA PASS-THROUGH), decoded into `*ident`.
// Returns read_fixed's status, or -1 without memory; `*ident` is untouched on failure.
cmd_status get_disk_ident(bridge_dev* dev, disk_ident* ident);
// Reads the k_info_block_len-byte disk information block into `block` (that many bytes).
// Returns the sense's ASCQ when the bridge refused with one, else read_fixed's status.
cmd_status get_disk_info_block(bridge_dev* dev, uint8_t* block);
// IDENTIFY DEVICE, summarised into `*summary`. Returns as get_disk_ident.
cmd_status get_ata_security(bridge_dev* dev, ata_security* summary);

// Decoders of IDENTIFY DEVICE data (k_ata_identify_len bytes at `data`), without a device.
void decode_disk_ident(const uint8_t* data, disk_ident* ident);
void decode_ata_security(const uint8_t* data, ata_security* summary);
// Minutes of an IDENTIFY erase-time word (2-minute units; bit 15 selects the extended form).
uint16_t ata_erase_minutes(uint16_t word);

// The port's candidate paths that open and answer as USB devices, in scan order. Returned
// by value: the caller owns the list.
std::vector<dev_candidate> list_candidates();
// The bridges found on the candidate paths, each identified and with its disk's identity
// when it has a usable disk (`keep_diskless` keeps those without). Each device is closed
// again; the caller owns the returned nodes.
std::vector<std::unique_ptr<bridge_node>> scan_bridges(bool keep_diskless);

}  // namespace zelko
ZELKO_API_END
