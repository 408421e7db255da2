// `fill NAME MEMORY OFFSET LENGTH BYTE`: writes LENGTH bytes of the value BYTE into one of
// a bridge's memories (flash, led, media) at OFFSET, as if the device had written them:
// prepared flash contents, a disk with data on it, the benchmark's filled memories.
#include <algorithm>
#include <vector>

#include "lab/model/disk/disk_spaces.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

namespace {

constexpr size_t k_chunk = 1u << 20;

bool fill(bridge_record& record, const lab_memory_row& memory, uint64_t offset, uint64_t length, uint8_t value,
          std::string* error) {
    if (!memory_range_ok(record, memory.which, offset, length)) {
        *error = std::string(memory.name) + " has " + std::to_string(memory_size(record, memory.which)) +
                 " bytes: the range runs beyond it";
        return false;
    }
    const std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(k_chunk, length)), value);
    for (uint64_t done = 0; done < length;) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(bytes.size(), length - done));
        if (!space_write(record, memory.which, offset + done, bytes.data(), count)) {
            *error = std::string("cannot write ") + memory.name;
            return false;
        }
        done += count;
    }
    return true;
}

}  // namespace

int verb_fill(const std::string& dir, const verb_args& args) {
    if (args.size() != 5) return verb_usage_of("fill");
    const lab_memory_row* memory = find_memory(args[1]);
    if (memory == nullptr) return verb_fail("unknown memory '" + args[1] + "' (" + memory_name_list() + ")");
    uint64_t offset = 0;
    uint64_t length = 0;
    uint8_t value = 0;
    if (!parse_u64(args[2], &offset)) return verb_fail("OFFSET is a number, not '" + args[2] + "'");
    if (!parse_u64(args[3], &length)) return verb_fail("LENGTH is a number, not '" + args[3] + "'");
    uint32_t byte = 0;
    if (!parse_u32(args[4], &byte) || byte > 0xFF)
        return verb_fail("BYTE is a number up to 255, not '" + args[4] + "'");
    value = static_cast<uint8_t>(byte);
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    const auto edit = [&](bridge_record& record, std::string* why) {
        return fill(record, *memory, offset, length, value, why);
    };
    if (!edit_device(dir, ref, edit, &error)) return verb_fail(error);
    return 0;
}
