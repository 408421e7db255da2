#include "model_fixture.h"

#include <cstdio>

#include "lab/text.h"

std::string served::sense() const {
    if (answer.status == 0) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%02X/%02X/%02X", answer.sense_key, answer.sense_asc, answer.sense_ascq);
    return text;
}

bridge_record make_bridge(uint32_t disk, int generation) {
    bridge_record record;
    record.id = "PhysicalDrive1";
    record.state.name = "PhysicalDrive1";
    apply_generation_defaults(record.params, generation);
    apply_disk_defaults(record, disk);
    return record;
}

std::array<uint8_t, 16> cdb_of(const std::string& hex) {
    std::array<uint8_t, 16> cdb{};
    const std::vector<std::string> words = split_words(hex);
    for (size_t i = 0; i < words.size() && i < 16; ++i) parse_hex_byte(words[i], &cdb[i]);
    return cdb;
}

served serve_in(bridge_record& record, const std::string& cdb_hex, uint32_t length, bool cdrom_view) {
    const auto cdb = cdb_of(cdb_hex);
    block_request request;
    request.cdb = cdb.data();
    request.data_in = true;
    request.length = length;
    request.cdrom_view = cdrom_view;
    served result;
    serve_request(record, request, result.answer);
    return result;
}

served serve_out(bridge_record& record, const std::string& cdb_hex, const std::vector<uint8_t>& data) {
    const auto cdb = cdb_of(cdb_hex);
    block_request request;
    request.cdb = cdb.data();
    request.data_in = false;
    request.length = static_cast<uint32_t>(data.size());
    request.data_out = data.empty() ? nullptr : data.data();
    served result;
    serve_request(record, request, result.answer);
    return result;
}

served serve_block(bridge_record& record, const block_case& c) {
    return c.data_in ? serve_in(record, c.cdb, c.length) : serve_out(record, c.cdb, std::vector<uint8_t>(c.length, 0));
}

void expect_senses(bridge_record& record, const std::vector<block_case>& cases) {
    for (const block_case& c : cases) {
        EXPECT_EQ(serve_block(record, c).sense(), c.sense) << c.cdb << (c.data_in ? " in " : " out ") << c.length;
    }
}
