// Scripted answers of a bridge for unit tests: INQUIRY data, IDENTIFY DEVICE data and
// the sequence of answers the dispatcher's device preparation consumes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "tests/unit/fake_port.h"

namespace zelko {

namespace bridge_script {

inline std::vector<uint8_t> inquiry(const std::string& revision = "1.01", const std::string& vendor = "Morvelt ",
                                    const std::string& product = "USB3 NVMe Bridge") {
    std::vector<uint8_t> data(512, 0);
    data[0] = 0x00;
    data[4] = 31;
    std::memset(&data[8], ' ', 28);
    std::memcpy(&data[8], vendor.data(), std::min<size_t>(vendor.size(), 8));
    std::memcpy(&data[16], product.data(), std::min<size_t>(product.size(), 16));
    std::memcpy(&data[32], revision.data(), std::min<size_t>(revision.size(), 4));
    return data;
}

inline std::vector<uint8_t> le32(uint32_t value) {
    std::vector<uint8_t> data(4);
    put_le32(data.data(), value);
    return data;
}

// IDENTIFY DEVICE data with ATA strings (two characters per word, first character high).
inline std::vector<uint8_t> identify(const std::string& model, const std::string& firmware, const std::string& serial) {
    std::vector<uint8_t> data(512, 0);
    auto put_string = [&data](int first_word, int words, const std::string& text) {
        for (int i = 0; i < words * 2; ++i) {
            const char c = i < static_cast<int>(text.size()) ? text[i] : ' ';
            const int byte = 2 * first_word + (i ^ 1);
            data[byte] = static_cast<uint8_t>(c);
        }
    };
    put_string(10, 10, serial);
    put_string(23, 4, firmware);
    put_string(27, 20, model);
    return data;
}

inline std::vector<uint8_t> status_data(uint32_t type, uint32_t state, uint32_t pcie_link) {
    std::vector<uint8_t> data(16, 0);
    put_le32(&data[0], type);
    put_le32(&data[4], state);
    put_le32(&data[8], pcie_link);
    return data;
}

template <typename T>
std::vector<T> cat(std::vector<T> first, const std::vector<T>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Answers to identify_bridge (INQUIRY, chip identity, chip version), then `after`.
inline std::vector<fake::answer> identified(const std::string& revision = "1.01", uint32_t chip_id = 0xA0020001,
                                            const std::vector<fake::answer>& after = {}) {
    return cat<fake::answer>({{.data = inquiry(revision)}, {.data = le32(chip_id)}, {.data = le32(0x00010000)}}, after);
}

// The blocks identify_bridge sends to a generation whose registers sit at `base`
// ("50 B3" or "70 B3"), as bridge_command_test::sent_blocks shows them.
inline std::vector<std::string> identification_blocks(const std::string& base) {
    return {"12 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 in 512",
            "E2 00 00 00 92 00 00 00 C8 00 " + base + " 04 00 00 00 in 4",
            "E2 00 00 00 92 00 00 00 C4 00 " + base + " 04 00 00 00 in 4"};
}

inline void script_identify(const std::string& revision = "1.01", uint32_t chip_id = 0xA0020001) {
    for (const fake::answer& a : identified(revision, chip_id)) fake::script(a);
}

// Answers to the preparation of a device-class command: identification, the unlock read
// and the bridge name's INQUIRY.
inline void script_device_prep(const std::string& revision = "1.01") {
    script_identify(revision);
    fake::script_ok(std::vector<uint8_t>(96, 0));
    fake::script_ok(inquiry(revision));
}

}  // namespace bridge_script

}  // namespace zelko
