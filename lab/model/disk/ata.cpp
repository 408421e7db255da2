// ATA PASS-THROUGH(12) to a SATA disk: SMART READ DATA (0xB0 with FEATURES 0xD0) answers
// the disk's 512-byte SMART data; SET FEATURES (0xEF) takes the subcommands the disk
// supports and is recorded; others are aborted (ABORTED COMMAND). Neither reaches an
// NVMe disk.
#include "lab/model/disk/ata.h"

#include "zelko/common/bytes.h"
#include "lab/model/disk/disk_spaces.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr uint8_t k_smart_read_data = 0xD0;
constexpr uint8_t k_smart_lba_mid = 0x4F;
constexpr uint8_t k_smart_lba_high = 0xC2;

struct feature_name {
    uint8_t feature;
    const char* name;
};
constexpr feature_name k_features[] = {
    {0x02, "enable write cache"},
    {0x82, "disable write cache"},
    {0x03, "set transfer mode"},
    {0x05, "enable APM"},
    {0x85, "disable APM"},
    {0x10, "enable SATA feature"},
    {0x90, "disable SATA feature"},
    {0xAA, "enable read look-ahead"},
    {0x55, "disable read look-ahead"},
    {0x66, "keep settings over reset"},
    {0xCC, "revert to defaults over reset"},
};

size_t slot_at(size_t i) { return k_smart_slots_start + i * k_smart_slot_bytes; }

void put_slot(std::vector<uint8_t>& smart, size_t i, const smart_attribute& a) {
    uint8_t* s = &smart[slot_at(i)];
    for (size_t b = 0; b < k_smart_slot_bytes; ++b) s[b] = 0;
    s[0] = a.id;
    s[1] = 0x32;  // flags: online collection, event count
    s[3] = a.current;
    s[4] = a.worst;
    put_le32(s + 5, static_cast<uint32_t>(a.raw));
    put_le16(s + 9, static_cast<uint16_t>(a.raw >> 32));
    s[11] = a.threshold;
}

void seal(std::vector<uint8_t>& smart) { smart[k_smart_checksum] = smart_checksum(smart); }

bool has_sata_disk(const bridge_record& record, block_answer& answer) {
    if (record.disk.kind == k_disk_none) {
        answer_no_disk(answer);
        return false;
    }
    if (record.disk.kind != k_disk_sata) {
        answer_invalid_field(answer);
        return false;
    }
    return true;
}

}  // namespace

uint8_t smart_checksum(const std::vector<uint8_t>& smart) {
    uint8_t sum = 0;
    for (size_t i = 0; i < k_smart_checksum && i < smart.size(); ++i) sum = static_cast<uint8_t>(sum + smart[i]);
    return static_cast<uint8_t>(0x100 - sum);
}

bool smart_put_attribute(std::vector<uint8_t>& smart, const smart_attribute& attribute) {
    if (smart.size() != k_smart_data_size || attribute.id == 0) return false;
    size_t free_slot = k_smart_attribute_slots;
    for (size_t i = 0; i < k_smart_attribute_slots; ++i) {
        const uint8_t id = smart[slot_at(i)];
        if (id == attribute.id) {
            free_slot = i;
            break;
        }
        if (id == 0 && free_slot == k_smart_attribute_slots) free_slot = i;
    }
    if (free_slot == k_smart_attribute_slots) return false;
    put_slot(smart, free_slot, attribute);
    seal(smart);
    return true;
}

bool smart_remove_attribute(std::vector<uint8_t>& smart, uint8_t id) {
    if (smart.size() != k_smart_data_size || id == 0) return false;
    for (size_t i = 0; i < k_smart_attribute_slots; ++i) {
        if (smart[slot_at(i)] != id) continue;
        put_slot(smart, i, {});
        seal(smart);
        return true;
    }
    return false;
}

std::vector<smart_attribute> smart_attributes(const std::vector<uint8_t>& smart) {
    std::vector<smart_attribute> list;
    if (smart.size() != k_smart_data_size) return list;
    for (size_t i = 0; i < k_smart_attribute_slots; ++i) {
        const uint8_t* s = &smart[slot_at(i)];
        if (s[0] == 0) continue;
        list.push_back({.id = s[0],
                        .current = s[3],
                        .worst = s[4],
                        .raw = get_le32(s + 5) | (static_cast<uint64_t>(get_le16(s + 9)) << 32),
                        .threshold = s[11]});
    }
    return list;
}

const char* set_features_name(uint8_t feature) {
    for (const feature_name& f : k_features) {
        if (f.feature == feature) return f.name;
    }
    return nullptr;
}

// Version 0x0010; a young SSD's attributes; offline collection and self-tests supported.
std::vector<uint8_t> smart_data_power_on() {
    std::vector<uint8_t> smart(k_smart_data_size, 0);
    smart[0] = 0x10;
    const smart_attribute attributes[] = {
        {0x05, 100, 100, 0, 10},               // reallocated sectors
        {0x09, 100, 100, 1234, 0},             // power-on hours
        {0x0C, 100, 100, 56, 0},               // power cycles
        {0xA7, 100, 100, 0, 0},                // wear levelling
        {0xC2, 67, 55, 0x0037000F0021ull, 0},  // temperature: now 33, lowest 15, highest 55
        {0xF1, 100, 100, 0x0001E240, 0},       // host writes in units of 32 MiB
    };
    for (size_t i = 0; i < sizeof attributes / sizeof attributes[0]; ++i) put_slot(smart, i, attributes[i]);
    smart[362] = 0x82;              // offline data collection: completed, automatic
    put_le16(&smart[364], 0x0078);  // its time, seconds
    smart[367] = 0x7B;              // offline capabilities
    put_le16(&smart[368], 0x0003);  // SMART capabilities: saves data over power cycles
    smart[370] = 0x01;              // error logging
    smart[372] = 2;                 // short self-test, minutes
    smart[373] = 30;                // extended self-test, minutes
    seal(smart);
    return smart;
}

void handle_ata_smart_read(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t* cdb = request.cdb;
    if (cdb[1] != k_ata_protocol_pio_in || cdb[2] != k_ata_flags_in_blocks || cdb[3] != k_smart_read_data ||
        cdb[4] != 1 || cdb[6] != k_smart_lba_mid || cdb[7] != k_smart_lba_high || request.length != k_smart_data_size) {
        answer_invalid_field(answer);
        return;
    }
    if (!has_sata_disk(record, answer)) return;
    answer.data.assign(k_smart_data_size, 0);
    space_read(record, lab_memory::smart_data, 0, answer.data.data(), k_smart_data_size);
}

void handle_ata_set_features(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t* cdb = request.cdb;
    if (cdb[1] != k_ata_protocol_non_data) {
        answer_invalid_field(answer);
        return;
    }
    if (!has_sata_disk(record, answer)) return;
    if (set_features_name(cdb[3]) == nullptr) {
        answer_check(answer, 0x0B, 0x00, 0x00);  // the disk aborts the command
        return;
    }
    std::vector<uint8_t>& kept = record.disk.ata_features;
    if (kept.size() >= 2 * k_set_features_kept) kept.erase(kept.begin(), kept.begin() + 2);
    kept.push_back(cdb[3]);
    kept.push_back(cdb[4]);
    record.dirty = true;
}
