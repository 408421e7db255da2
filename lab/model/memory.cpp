// Bridge memory read (0x92), register read (0xA2) and register write (0x23).
//
// The address space a memory read reaches: the register block of the bridge's
// generation (0x1000 bytes, little-endian 32-bit registers) and the flash read window
// (0xAC000000 + flash offset, the whole flash; the PG sector is at 0xAC004000). A read
// that does not lie wholly inside one of them is refused with 05/24/00.
#include "lab/model/memory.h"

#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"
#include "lab/model/bridge/identity.h"

using namespace zelko;

namespace {

struct register_default {
    uint32_t offset;
    uint32_t value[2];  // generation 0, generation 1
};

// Power-on values: the hot-plug control has its enable bits set.
constexpr register_default k_register_defaults[] = {
    {k_reg_offset_hotplug, {0x00000003, 0x00003300}},
};

bool inside(uint32_t address, uint32_t length, uint32_t base, uint32_t size) {
    return address >= base && length <= size && address - base <= size - length;
}

bool register_address(const bridge_record& record, const block_request& request, uint32_t* offset) {
    const uint32_t base = lab_register_base(record);
    const uint32_t address = vendor_address_field(request);
    if (!inside(address, 4, base, k_register_block_size) || (address & 3u) != 0) return false;
    *offset = address - base;
    return true;
}

}  // namespace

uint32_t bridge_register_value(const bridge_record& record, uint32_t offset) {
    if (offset == k_reg_offset_chip_identity) return record.params.chip_id;
    if (offset == k_reg_offset_chip_version) return record.params.chip_version;
    const auto written = record.state.registers.find(offset);
    if (written != record.state.registers.end()) return written->second;
    const int gen = lab_generation_of_revision(record.params.revision) == 0 ? 0 : 1;
    for (const register_default& reg : k_register_defaults) {
        if (reg.offset == offset) return reg.value[gen];
    }
    return 0;
}

void handle_mem_read(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t address = vendor_address_field(request);
    const uint32_t length = request.length;
    if (length == 0 || vendor_length_field(request) != length) {
        answer_invalid_field(answer);
        return;
    }
    const uint32_t base = lab_register_base(record);
    if (inside(address, length, base, k_register_block_size)) {
        answer.data.resize(length);
        for (uint32_t i = 0; i < length; ++i) {
            const uint32_t offset = address - base + i;
            answer.data[i] = static_cast<uint8_t>(bridge_register_value(record, offset & ~3u) >> (8 * (offset & 3u)));
        }
        return;
    }
    if (address >= k_flash_read_base && address - k_flash_read_base < k_flash_size_max) {
        answer_memory_read(record, lab_memory::flash, address - k_flash_read_base, length, answer);
        return;
    }
    answer_invalid_field(answer);
}

void answer_memory_read(bridge_record& record, lab_memory which, uint64_t offset, uint32_t length,
                        block_answer& answer) {
    if (!memory_range_ok(record, which, offset, length)) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.resize(length);
    if (!memory_read(record, which, offset, answer.data.data(), length)) {
        answer.data.clear();
        answer_check(answer, 0x03, 0x11, 0x00);
    }
}

void answer_memory_write(bridge_record& record, lab_memory which, uint64_t offset, const uint8_t* data, uint32_t length,
                         block_answer& answer) {
    if (!memory_range_ok(record, which, offset, length)) {
        answer_invalid_field(answer);
        return;
    }
    if (!memory_write(record, which, offset, data, length)) answer_check(answer, 0x03, 0x0C, 0x00);
}

void handle_reg_read(bridge_record& record, const block_request& request, block_answer& answer) {
    uint32_t offset = 0;
    if (!vendor_length_is(request, 4) || !register_address(record, request, &offset)) {
        answer_invalid_field(answer);
        return;
    }
    answer.data.resize(4);
    put_le32(answer.data.data(), bridge_register_value(record, offset));
}

void handle_reg_write(bridge_record& record, const block_request& request, block_answer& answer) {
    uint32_t offset = 0;
    if (!vendor_length_is(request, 4) || request.cdb[5] != 0 || !register_address(record, request, &offset)) {
        answer_invalid_field(answer);
        return;
    }
    // The identity registers are read-only; a write to them is accepted and has no effect.
    if (offset == k_reg_offset_chip_identity || offset == k_reg_offset_chip_version) return;
    record.state.registers[offset] = get_le32(request.data_out);
    record.dirty = true;
}
