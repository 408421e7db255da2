#include "zelko/bridge/pcie_ata_report.h"

#include <cstdio>

#include "zelko/common/cursor.h"
#include "zelko/common/print_level.h"

namespace zelko {

void print_hex_dump(std::FILE* out, const uint8_t* data, size_t length) {
    if (!reports_enabled()) return;
    for (size_t j = 0; j < length; ++j) std::fprintf(out, "%02x%s", data[j], j % 16 == 15 ? "\n" : " ");
    std::fprintf(out, "\n");
}

void smart_table_print(std::FILE* out, const uint8_t* data, size_t length) {
    if (!reports_enabled()) return;
    read_cursor smart(data, length);
    const uint8_t version_low = smart.u8_at(k_smart_version);
    const uint8_t version_high = smart.u8_at(k_smart_version + 1);
    std::fprintf(out, "version: %02x %02x\n\n", version_low, version_high);
    std::fprintf(out, "  id   current    worst   threshold          data\n");
    for (size_t i = 0; i < k_smart_slots; ++i) {
        const size_t slot = k_smart_first_slot + i * k_smart_slot_size;
        if (!smart.has(slot, k_smart_slot_size)) break;
        const uint8_t id = smart.u8_at(slot + k_smart_slot_id);
        if (id == 0) continue;
        std::fprintf(out, "0x%02X      0x%02X     0x%02X        0x%02x    0x%08X\n", id,
                     smart.u8_at(slot + k_smart_slot_current), smart.u8_at(slot + k_smart_slot_worst),
                     smart.u8_at(slot + k_smart_slot_threshold), smart.le32_at(slot + k_smart_slot_raw));
    }
}

}  // namespace zelko
