#include "zelko/device/discovery.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "zelko/common/bytes.h"
#include "zelko/common/cursor.h"

namespace zelko {

namespace {

// INQUIRY data offsets.
constexpr int k_inq_vendor = 8;     // 8 characters
constexpr int k_inq_product = 16;   // 16 characters
constexpr int k_inq_revision = 32;  // 4 characters

// IDENTIFY DEVICE word numbers.
constexpr int k_id_serial = 10;    // words 10..19
constexpr int k_id_firmware = 23;  // words 23..26
constexpr int k_id_model = 27;     // words 27..46
constexpr int k_id_erase_time = 89;
constexpr int k_id_enhanced_erase_time = 90;
constexpr int k_id_master_password = 92;
constexpr int k_id_security_status = 128;

constexpr int k_unlock_len = 96;

struct generation_row {
    const char* revisions[4];
    uint32_t id_ranges[2][2];  // inclusive ranges of accepted chip identities; {0, 0} unused
};

constexpr generation_row k_generations[2] = {
    {{"1.00", "2.00", nullptr, nullptr}, {{0xA0010001, 0xA0010003}, {0, 0}}},
    {{"1.01", "2.01", "1.02", "2.02"}, {{0xA0020000, 0xA0020003}, {0xA0030000, 0xA0030001}}},
};

// The chip version's third byte must not exceed this.
constexpr uint32_t k_max_chip_version_byte2 = 0x2F;

std::unique_ptr<uint8_t[]> zeroed(size_t size) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

bool chip_identity_accepted(int gen, uint32_t chip_id) {
    for (const auto& range : k_generations[gen].id_ranges) {
        if (range[1] != 0 && chip_id >= range[0] && chip_id <= range[1]) return true;
    }
    return false;
}

cmd_status identify_device(bridge_dev* dev, uint8_t* buffer) {
    cdb16 cdb{};
    cdb[0] = 0xA1;  // ATA PASS-THROUGH (12)
    cdb[1] = 0x08;  // protocol: PIO data-in
    cdb[2] = 0x0E;  // from the device, length in blocks, taken from the sector count
    cdb[4] = 0x01;  // sector count
    cdb[9] = 0xEC;  // IDENTIFY DEVICE
    return read_fixed(dev, cdb, buffer, k_ata_identify_len);
}

// Copies `words` IDENTIFY words starting at `first` as ATA text: high byte first.
void copy_ata_string(read_cursor& identify, int first, int words, char* out) {
    for (int i = 0; i < words; ++i) {
        const uint16_t w = identify.le16_at(2 * static_cast<size_t>(first + i));
        out[2 * i] = static_cast<char>(w >> 8);
        out[2 * i + 1] = static_cast<char>(w & 0xFF);
    }
}

uint16_t identify_word(read_cursor& identify, int word) { return identify.le16_at(2 * static_cast<size_t>(word)); }

}  // namespace

bridge_dev_ptr dev_open(const char* path) {
    port_handle* handle = port_open(path);
    if (handle == nullptr) return nullptr;
    return std::make_unique<bridge_dev>(handle);
}

void dev_close(bridge_dev_ptr& dev) { dev.reset(); }

cmd_status inquiry(bridge_dev* dev, uint8_t* buffer, int32_t length) {
    cdb16 cdb{};
    cdb[0] = 0x12;
    cdb[3] = static_cast<uint8_t>(length >> 8);
    cdb[4] = static_cast<uint8_t>(length & 0xFF);
    return scsi_send(dev, cdb, buffer, length, data_direction::from_device, k_timeout_s);
}

cmd_status get_bridge_name(bridge_dev* dev, char* text) {
    auto work = zeroed(k_inquiry_len);
    if (!work) return -1;
    const cmd_status status = inquiry(dev, work.get(), k_inquiry_len);
    // The text is terminated whatever the caller's buffer held, and empty on failure.
    if (status == 0) std::memcpy(text, work.get() + k_inq_vendor, k_bridge_name_chars);
    text[status == 0 ? k_bridge_name_chars : 0] = '\0';
    return status;
}

bridge_gen generation_of_revision(const uint8_t* revision) {
    for (int gen = 0; gen < 2; ++gen) {
        for (const char* known : k_generations[gen].revisions) {
            if (known != nullptr && std::memcmp(revision, known, 4) == 0) return gen;
        }
    }
    return -1;
}

bridge_gen identify_bridge(bridge_dev* dev) {
    auto data = zeroed(k_inquiry_len);
    if (!data || inquiry(dev, data.get(), k_inquiry_len) != 0) return -1;
    const int gen = generation_of_revision(data.get() + k_inq_revision);
    if (gen < 0) return -1;

    alignas(4) uint8_t raw[4] = {};
    if (mem_read(dev, k_register_base[gen] + k_reg_chip_identity, raw, 4) != 0) return -1;
    const uint32_t chip_id = get_le32(raw);
    std::memset(raw, 0, sizeof raw);  // a short answer must not leave the identity's bytes behind
    if (mem_read(dev, k_register_base[gen] + k_reg_chip_version, raw, 4) != 0) return -1;
    const uint32_t chip_ver = get_le32(raw);
    if (((chip_ver >> 16) & 0xFF) > k_max_chip_version_byte2) return -1;
    return chip_identity_accepted(gen, chip_id) ? gen : -1;
}

bool is_bridge(bridge_dev* dev) {
    const bridge_gen gen = identify_bridge(dev);
    return gen == 0 || gen == 1;
}

bool is_bridge_cdrom(bridge_dev* dev) {
    auto data = zeroed(k_inquiry_len);
    if (!data || inquiry(dev, data.get(), k_inquiry_len) != 0) return false;
    return std::memcmp(data.get() + k_inq_vendor, "Morvelt ", 8) == 0 &&
           std::memcmp(data.get() + k_inq_product, "USB CD-ROM", 10) == 0;
}

cmd_status unlock_fw_write(bridge_dev* dev) {
    auto buffer = zeroed(k_unlock_len);
    if (!buffer) return -1;
    return mem_read(dev, k_config_window, buffer.get(), k_unlock_len);
}

cmd_status get_disk_status(bridge_dev* dev, disk_status* status) {
    if (status == nullptr) return -1;
    alignas(4) uint8_t raw[16] = {};
    const cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_read, .sub = 0xBB, .length = 16});
    const cmd_status result = read_fixed(dev, cdb, raw, 16);
    if (result == 0) {
        read_cursor in(raw, sizeof raw);
        status->disk_type = in.le32();
        status->disk_state = in.le32();
        status->pcie_link = in.le32();
        status->reserved = in.le32();
    }
    return result;
}

void decode_disk_ident(const uint8_t* data, disk_ident* ident) {
    read_cursor identify(data, k_ata_identify_len);
    copy_ata_string(identify, k_id_serial, 10, ident->serial);
    copy_ata_string(identify, k_id_firmware, 4, ident->firmware);
    copy_ata_string(identify, k_id_model, 20, ident->model);
    ident->serial[20] = '\0';
    ident->firmware[8] = '\0';
    ident->model[40] = '\0';
}

uint16_t ata_erase_minutes(uint16_t word) {
    const uint16_t units = (word & 0x8000) != 0 ? (word & 0x7FFF) : (word & 0x00FF);
    return static_cast<uint16_t>(units * 2);
}

void decode_ata_security(const uint8_t* data, ata_security* summary) {
    read_cursor identify(data, k_ata_identify_len);
    summary->security_status = identify_word(identify, k_id_security_status);
    summary->master_password_id = identify_word(identify, k_id_master_password);
    summary->erase_minutes = ata_erase_minutes(identify_word(identify, k_id_erase_time));
    summary->enhanced_erase_minutes = ata_erase_minutes(identify_word(identify, k_id_enhanced_erase_time));
}

cmd_status get_disk_ident(bridge_dev* dev, disk_ident* ident) {
    auto data = zeroed(k_ata_identify_len);
    if (!data) return -1;
    const cmd_status status = identify_device(dev, data.get());
    if (status == 0) decode_disk_ident(data.get(), ident);
    return status;
}

cmd_status get_ata_security(bridge_dev* dev, ata_security* summary) {
    auto data = zeroed(k_ata_identify_len);
    if (!data) return -1;
    const cmd_status status = identify_device(dev, data.get());
    if (status == 0) decode_ata_security(data.get(), summary);
    return status;
}

cmd_status get_disk_info_block(bridge_dev* dev, uint8_t* block) {
    const cdb16 cdb = vendor_cdb({.opcode = k_op_vendor_read, .sub = 0xA8, .p5 = 0x13, .length = k_info_block_len});
    send_result result;
    const cmd_status status =
        scsi_send(dev, cdb, block, k_info_block_len, data_direction::from_device, k_timeout_s, &result);
    if (result.sense[13] != 0) return result.sense[13];
    if (status == 0 && result.residual != 0) return k_status_short_answer;
    return status;
}

std::vector<dev_candidate> list_candidates() {
    std::vector<dev_candidate> candidates;
    for (const port_candidate_path& candidate : port_candidate_paths()) {
        port_handle* handle = port_open(candidate.path.c_str());
        if (handle == nullptr) continue;
        bool usb = false;
        if (port_query_bus_is_usb(handle, &usb) && usb) {
            candidates.push_back({candidate.path, static_cast<uint8_t>(candidate.volume ? 1 : 0)});
        }
        port_close(handle);
    }
    return candidates;
}

std::vector<std::unique_ptr<bridge_node>> scan_bridges(bool keep_diskless) {
    std::vector<std::unique_ptr<bridge_node>> found;
    for (const dev_candidate& candidate : list_candidates()) {
        bridge_dev_ptr dev = dev_open(candidate.path.c_str());
        if (!dev) continue;
        if (!is_bridge(dev.get())) continue;
        if (candidate.volume != 0 && !is_bridge_cdrom(dev.get())) continue;

        auto node = std::unique_ptr<bridge_node>(new (std::nothrow) bridge_node());
        if (!node) continue;
        disk_status status;
        const bool status_ok = get_disk_status(dev.get(), &status) == 0;
        if (status_ok && (status.disk_state == 1 || status.disk_state == 3)) {
            get_disk_ident(dev.get(), &node->ident);
            get_disk_info_block(dev.get(), node->info_block);
            if (status.disk_type == k_disk_type_sata) get_ata_security(dev.get(), &node->security);
        } else if (!keep_diskless) {
            continue;
        }
        if (get_bridge_name(dev.get(), node->bridge) != 0) continue;
        std::snprintf(node->path, sizeof node->path, "%s", candidate.path.c_str());
        found.push_back(std::move(node));
    }
    return found;
}

}  // namespace zelko
