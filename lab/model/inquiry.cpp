// Standard INQUIRY: the device's vendor, product and revision, space-padded as a device
// returns them. Through its CD-ROM volume name a bridge presents its "USB CD-ROM" unit.
#include <cstring>

#include "common/bytes.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr uint32_t k_standard_len = 36;
constexpr uint8_t k_evpd = 0x01;
constexpr uint8_t k_type_disk = 0x00;
constexpr uint8_t k_type_cdrom = 0x05;
constexpr uint8_t k_removable = 0x80;
constexpr uint8_t k_version_spc4 = 0x06;
constexpr uint8_t k_response_format = 0x02;
constexpr const char* k_cdrom_product = "USB CD-ROM";

void put_padded(uint8_t* field, size_t size, const std::string& text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), text.size() < size ? text.size() : size);
}

}  // namespace

void handle_inquiry(bridge_record& record, const block_request& request, block_answer& answer) {
    if ((request.cdb[1] & k_evpd) != 0 || request.cdb[2] != 0) {
        answer_invalid_field(answer);
        return;
    }
    const uint32_t allocation = get_be16(request.cdb + 3);
    std::vector<uint8_t> data(k_standard_len, 0);
    data[0] = request.cdrom_view ? k_type_cdrom : k_type_disk;
    data[1] = request.cdrom_view ? k_removable : 0;
    data[2] = k_version_spc4;
    data[3] = k_response_format;
    data[4] = k_standard_len - 5;
    put_padded(&data[8], 8, record.params.vendor);
    put_padded(&data[16], 16, request.cdrom_view ? std::string(k_cdrom_product) : record.params.product);
    put_padded(&data[32], 4, record.params.revision);
    if (allocation < data.size()) data.resize(allocation);
    answer.data = std::move(data);
}
