// A SATA disk's SMART READ DATA and SET FEATURES, reached through ATA PASS-THROUGH(12).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// ATA PASS-THROUGH(12) fields: protocols, and the flags of a data-in command whose
// length is counted in blocks of the sector count.
constexpr uint8_t k_ata_protocol_non_data = 0x06;
constexpr uint8_t k_ata_protocol_pio_in = 0x08;
constexpr uint8_t k_ata_flags_in_blocks = 0x0E;

// SMART READ DATA: version, 30 attribute slots of 12 bytes from byte 2, checksum last.
constexpr size_t k_smart_attribute_slots = 30;
constexpr size_t k_smart_slot_bytes = 12;
constexpr size_t k_smart_slots_start = 2;
constexpr size_t k_smart_checksum = 511;

struct smart_attribute {
    uint8_t id = 0;
    uint8_t current = 0;  // normalised value
    uint8_t worst = 0;
    uint64_t raw = 0;       // 48 bits
    uint8_t threshold = 0;  // kept in the slot's last byte
};

// Writes the attribute into the slot that holds its id, or the first empty one; false
// when all 30 slots hold other attributes. Byte 511 is made the checksum again.
bool smart_put_attribute(std::vector<uint8_t>& smart, const smart_attribute& attribute);
// Empties the slot that holds `id`; false when there is none.
bool smart_remove_attribute(std::vector<uint8_t>& smart, uint8_t id);
std::vector<smart_attribute> smart_attributes(const std::vector<uint8_t>& smart);
// The byte that makes the 512 bytes sum to 0 modulo 256.
uint8_t smart_checksum(const std::vector<uint8_t>& smart);

// SET FEATURES subcommands the disk supports, by name; null for the ones it aborts.
const char* set_features_name(uint8_t feature);
// SET FEATURES received, kept as FEATURES and COUNT byte pairs, the latest last.
constexpr size_t k_set_features_kept = 32;
