// The disk behind the bridge: disk status (0xBB), the disk information block (0xA8 with
// byte 5 0x13) and ATA PASS-THROUGH(12) carrying IDENTIFY DEVICE. For an NVMe disk the
// bridge answers IDENTIFY with the NVMe disk's model, serial and firmware revision in
// ATA form; a SATA disk also reports its security words.
#include <algorithm>
#include <cstring>

#include "zelko/common/bytes.h"
#include "lab/model/disk/ata.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr uint32_t k_status_len = 16;
constexpr uint32_t k_info_block_len = 72;
constexpr uint32_t k_identify_len = 512;

// IDENTIFY DEVICE words.
constexpr int k_word_config = 0;
constexpr int k_word_serial = 10;    // 10 words
constexpr int k_word_firmware = 23;  // 4 words
constexpr int k_word_model = 27;     // 20 words
constexpr int k_word_capabilities = 49;
constexpr int k_word_valid = 53;
constexpr int k_word_lba28 = 60;  // 2 words
constexpr int k_word_major_version = 80;
constexpr int k_word_command_set_2 = 83;
constexpr int k_word_erase_time = 89;
constexpr int k_word_enhanced_erase_time = 90;
constexpr int k_word_master_password = 92;
constexpr int k_word_lba48 = 100;  // 4 words
constexpr int k_word_security_status = 128;
constexpr int k_word_rotation_rate = 217;
constexpr int k_word_integrity = 255;

constexpr uint16_t k_config_fixed = 0x0040;
constexpr uint16_t k_capability_lba_dma = 0x0300;
constexpr uint16_t k_words_valid = 0x0006;
constexpr uint16_t k_ata8_to_acs3 = 0x07F0;
constexpr uint16_t k_lba48_supported = 0x4400;
constexpr uint16_t k_non_rotating = 0x0001;
constexpr uint16_t k_integrity_signature = 0x00A5;
constexpr uint64_t k_lba28_max = 0x0FFFFFFF;

bool has_disk(const bridge_record& record) { return record.disk.kind != k_disk_none; }

void put_word(uint8_t* data, int word, uint16_t value) { put_le16(data + 2 * word, value); }

// ATA text: two characters a word, the first in the high byte, space-padded.
void put_ata_string(uint8_t* data, int first_word, int words, const std::string& text) {
    for (int i = 0; i < 2 * words; ++i) {
        const char c = static_cast<size_t>(i) < text.size() ? text[static_cast<size_t>(i)] : ' ';
        data[2 * first_word + (i ^ 1)] = static_cast<uint8_t>(c);
    }
}

void put_padded(uint8_t* field, size_t size, const std::string& text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), std::min(text.size(), size));
}

std::vector<uint8_t> identify_data(const bridge_record& record) {
    const disk_state& p = record.disk;
    std::vector<uint8_t> data(k_identify_len, 0);
    uint8_t* d = data.data();
    put_word(d, k_word_config, k_config_fixed);
    put_ata_string(d, k_word_serial, 10, p.serial);
    put_ata_string(d, k_word_firmware, 4, p.firmware);
    put_ata_string(d, k_word_model, 20, p.model);
    put_word(d, k_word_capabilities, k_capability_lba_dma);
    put_word(d, k_word_valid, k_words_valid);
    const uint64_t sectors = static_cast<uint64_t>(p.capacity_sectors);
    put_le32(d + 2 * k_word_lba28, static_cast<uint32_t>(std::min(sectors, k_lba28_max)));
    put_word(d, k_word_major_version, k_ata8_to_acs3);
    put_word(d, k_word_command_set_2, k_lba48_supported);
    put_le64(d + 2 * k_word_lba48, sectors);
    put_word(d, k_word_rotation_rate, k_non_rotating);
    if (p.kind == k_disk_sata) {
        put_word(d, k_word_erase_time, static_cast<uint16_t>(p.erase_time));
        put_word(d, k_word_enhanced_erase_time, static_cast<uint16_t>(p.enhanced_erase_time));
        put_word(d, k_word_master_password, static_cast<uint16_t>(p.master_password_id));
        put_word(d, k_word_security_status, static_cast<uint16_t>(p.security_status));
    }
    // Integrity word: signature A5h in the low byte, and a high byte that makes the
    // sum of all 512 bytes 0 modulo 256.
    put_word(d, k_word_integrity, k_integrity_signature);
    uint8_t sum = 0;
    for (uint32_t i = 0; i < k_identify_len - 1; ++i) sum = static_cast<uint8_t>(sum + d[i]);
    d[k_identify_len - 1] = static_cast<uint8_t>(0x100 - sum);
    return data;
}

}  // namespace

void handle_disk_status(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, k_status_len) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.assign(k_status_len, 0);
    put_le32(&answer.data[0], record.disk.kind == k_disk_sata ? 1u : 0u);
    put_le32(&answer.data[4], record.disk.state);
    put_le32(&answer.data[8], record.disk.pcie_link);
}

// The lab's information block: disk type, state and PCIe link (32-bit little-endian),
// then the serial (20 characters) and the model (40 characters), space-padded.
void handle_disk_info_block(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!vendor_length_is(request, k_info_block_len) || vendor_address_field(request) != 0) {
        answer_invalid_field(answer);
        return;
    }
    if (!has_disk(record)) {
        answer_no_disk(answer);
        return;
    }
    answer.data.assign(k_info_block_len, 0);
    put_le32(&answer.data[0], record.disk.kind == k_disk_sata ? 1u : 0u);
    put_le32(&answer.data[4], record.disk.state);
    put_le32(&answer.data[8], record.disk.pcie_link);
    put_padded(&answer.data[12], 20, record.disk.serial);
    put_padded(&answer.data[32], 40, record.disk.model);
}

void handle_ata_identify(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t* cdb = request.cdb;
    if (cdb[1] != k_ata_protocol_pio_in || cdb[2] != k_ata_flags_in_blocks || cdb[4] != 1 ||
        request.length != k_identify_len) {
        answer_invalid_field(answer);
        return;
    }
    if (!has_disk(record)) {
        answer_no_disk(answer);
        return;
    }
    answer.data = identify_data(record);
}
