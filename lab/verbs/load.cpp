// `load NAME MEMORY OFFSET FILE`: writes a file's bytes into one of a bridge's memories at
// OFFSET, as if the device had written them (lab/record/memory_load.h).
#include "lab/record/memory_load.h"
#include "lab/record/text.h"
#include "lab/verbs/verbs.h"

int verb_load(const std::string& dir, const verb_args& args) {
    if (args.size() != 4) return verb_usage_of("load");
    const lab_memory_row* memory = find_memory(args[1]);
    if (memory == nullptr) return verb_fail("unknown memory '" + args[1] + "' (" + memory_name_list() + ")");
    uint64_t offset = 0;
    if (!parse_u64(args[2], &offset)) return verb_fail("OFFSET is a number, not '" + args[2] + "'");
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    const auto edit = [&](bridge_record& record, std::string* why) {
        return memory_load_file(record, *memory, offset, args[3], why);
    };
    if (!edit_device(dir, ref, edit, &error)) return verb_fail(error);
    return 0;
}
