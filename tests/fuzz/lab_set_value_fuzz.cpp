// `set NAME KEY VALUE` and `create NAME --KEY VALUE` hand user text to the record's field
// parsers: numbers, texts, choices and the pins' forms (gpio_in, i2c_slaves, uart_rx with
// text or "hex:" pairs). Whatever a run of them accepts must leave a sound record that
// saves and loads back unchanged, and that the device models serve.
//
// Input: commands separated by zero bytes (a command-line word holds any other byte),
// each the key, one space and the value.
#include <string>

#include "fuzz_check.h"
#include "lab/record/state.h"
#include "lab_record_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = input_text(data, size);
    bridge_record record;
    record.id = "PhysicalDrive1";
    record.state.name = "PhysicalDrive1";
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        const std::string command = text.substr(start, end - start);
        start = end + 1;
        const size_t space = command.find(' ');
        if (space == std::string::npos) continue;
        const persisted_field* field = find_field(command.substr(0, space));
        if (field == nullptr || !field->settable) continue;
        std::string error;
        if (!field_set_text(record, *field, command.substr(space + 1), &error)) require(!error.empty());
    }
    require_sound(record);
    for (const persisted_field& field : persisted_fields()) field_show_text(record, field, 0);
    require_round_trip(record);
    serve_tool_blocks(record);
    require_round_trip(record);
    return 0;
}
