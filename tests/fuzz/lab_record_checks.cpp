#include "lab_record_checks.h"

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "lab/model/block.h"
#include "lab/host/serve.h"
#include "lab/record/text.h"

namespace {

// Command blocks as the tool sends them.
struct tool_block {
    const char* cdb;
    bool data_in;
    uint32_t length;
};

constexpr tool_block k_tool_blocks[] = {
    {"12 00 00 02 00", true, 512},
    {"E2 00 00 00 92 00 00 00 C8 00 70 B3 04", true, 4},
    {"E2 00 00 00 92 00 00 00 C4 00 50 B3 04", true, 4},
    {"E2 00 00 00 92 00 00 00 00 40 00 AC 60", true, 96},
    {"E2 00 00 00 BB 00 00 00 00 00 00 00 10", true, 16},
    {"E2 00 00 00 A8 13 00 00 00 00 00 00 48", true, 72},
    {"A1 08 0E 00 01 00 00 00 00 EC", true, 512},
    {"E2 00 00 00 C3 00 00 00 00 00 00 00 04", true, 4},
    {"E2 00 00 00 96 00 00 00 FC 07 00 00 04", true, 4},
    {"E2 00 00 00 C4 00 00 00 00 00 00 00 00 10", true, 4096},
    {"E2 00 00 00 A5 00 00 00 00 00 00 00 14", true, 20},
    {"E2 00 00 00 CD 00 00 00 00 00 00 00 02", true, 2},
    {"E2 00 00 00 CF 00 00 00 00 00 00 00 01", true, 1},
    {"E2 00 00 00 B5 00 00 00 00 00 00 00 80", true, 128},
    {"E2 00 00 00 D2 00 00 00 00 00 00 00 01", true, 1},
    {"E2 00 00 00 A2 00 00 00 94 00 70 B3 04", true, 4},
    {"E3 00 00 00 23 00 00 00 94 00 70 B3 04", false, 4},
    {"E3 00 03 04 3F 00 00 00 50 00 01 00 01", false, 1},
    {"E3 00 00 00 3D 01 00 00 50 00 00 00 03", false, 3},
    {"E2 00 00 00 BC 01 00 00 50 00 00 00 FF", true, 255},
    {"E2 00 00 00 BC 00 01 F0 50 00 01 00 20", true, 32},
    {"E3 00 00 00 41 05 02 00 00 00 00 00 01", false, 1},
    {"E2 00 00 00 C5 1F 00 00 00 00 00 00 01", true, 1},
    {"E3 00 00 00 4E 00 00 00 80 25 00 00 01", false, 1},
    {"E3 00 00 00 38 83 00 00 80 25 00 00 05", false, 5},
    {"E2 00 00 00 BA 00 00 00 00 00 00 00 04", true, 4},
    {"E2 00 00 00 B8 00 00 00 00 00 00 00 00 04", true, 1024},
    {"E3 00 00 00 52 02 00 00 52 41 49 44", false, 0},
    {"E2 00 00 00 B3 00 00 00 F0 00 00 00 00 01", true, 256},
    {"E3 00 00 00 33 00 00 00 04 00 00 00 04", false, 4},
    {"E3 00 00 00 33 00 00 00 FE 00 00 00 04", false, 4},
    {"E3 00 00 00 4B 00 00 00 00 00 00 00 01", false, 1},
    {"E2 00 00 00 B4 00 00 00 00 F0 FF FD 00 20", true, 8192},
    {"E3 00 00 00 34 00 00 00 10 3F 00 FE 00 01", false, 256},
    {"A1 08 0E D0 01 01 4F C2 A0 B0", true, 512},
    {"A1 06 0E 02 00 00 00 00 00 EF", false, 0},
    {"E3 00 00 00 30 00 00 00 00 00 00 00 04", false, 4},
};

std::vector<uint8_t> cdb_bytes(const char* hex) {
    std::vector<uint8_t> cdb(16, 0);
    const std::vector<std::string> words = split_words(hex);
    for (size_t i = 0; i < words.size() && i < cdb.size(); ++i) require(parse_hex_byte(words[i], &cdb[i]));
    return cdb;
}

}  // namespace

void require_sound(const bridge_record& record) {
    require(record.params.flash_size >= k_flash_size_min && record.params.flash_size <= k_flash_size_max);
    // Every area the device models serve lies inside the flash.
    for (const lab_memory_area& area : memory_areas())
        require(memory_range_ok(record, area.which, area.offset, area.length));
    require(record.disk.ata_features.size() <= 64 && record.disk.ata_features.size() % 2 == 0);
    const bridge_pins& pins = record.pins;
    require(pins.i2c_slaves.size() <= k_i2c_max_slaves);
    for (const i2c_slave& slave : pins.i2c_slaves) {
        require(slave.bus < k_i2c_bus_count);
        require(slave.memory.size() == k_i2c_eeprom_size);
    }
    require(pins.uart_received.size() <= k_uart_rx_capacity);
    size_t sent = 0;
    for (const uart_transmission& t : pins.uart_sent) sent += t.text.size();
    require(sent <= k_uart_tx_log_limit);
    for (const fault_rule& rule : record.faults) require(rule.pattern_len >= 1 && rule.pattern_len <= 16);
    // Scripted sanitize log answers: a bounded list and a position inside it.
    const std::vector<uint32_t>& answers = record.nvme.sanitize_log;
    require(answers.size() <= 256);
    require(answers.empty() ? record.nvme.sanitize_log_next == 0 : record.nvme.sanitize_log_next < answers.size());
}

void require_round_trip(bridge_record& record) {
    const std::string saved = encode_bridge(record);
    bridge_record back;
    back.id = record.id;
    std::string error;
    require(decode_bridge(saved, &back, &error));
    require_sound(back);
    require(encode_bridge(back) == saved);
}

void serve_tool_blocks(bridge_record& record) {
    for (const tool_block& block : k_tool_blocks) {
        const std::vector<uint8_t> cdb = cdb_bytes(block.cdb);
        const std::vector<uint8_t> out(block.length, 0x5A);
        block_request request;
        request.cdb = cdb.data();
        request.data_in = block.data_in;
        request.length = block.length;
        request.data_out = block.data_in || block.length == 0 ? nullptr : out.data();
        block_answer answer;
        serve_request(record, request, answer);
        if (answer.status == 0 && answer.os_error == 0 && block.data_in) require(answer.data.size() <= block.length);
    }
}
