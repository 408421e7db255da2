// A lab bridge's state file comes from a directory anybody can edit: any bytes must load
// as a sound record or give an error, never a crash, an out-of-bounds access, a huge
// allocation or a hang. A record that loads saves to a file that loads back to the same
// record, the device models serve it without trusting it further, and what they leave
// behind saves and loads again.
#include <string>

#include "fuzz_check.h"
#include "lab/record/state.h"
#include "lab_record_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bridge_record record;
    record.id = "PhysicalDrive1";
    std::string error;
    if (!decode_bridge(input_text(data, size), &record, &error)) {
        require(!error.empty());
        return 0;
    }
    require_sound(record);
    for (const persisted_field& field : persisted_fields()) field_show_text(record, field, 0);
    require_round_trip(record);
    serve_tool_blocks(record);
    require_sound(record);
    require_round_trip(record);
    return 0;
}
