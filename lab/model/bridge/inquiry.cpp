// INQUIRY: the standard page with the device's vendor, product and revision, space-padded
// as a device returns them, and the vital product data pages a host's storage stack asks
// for: the list of pages (00h) and the unit serial number (80h, the disk's serial).
// Through its CD-ROM volume name a bridge presents its "USB CD-ROM" unit.
#include <algorithm>
#include <cstring>

#include "zelko/common/bytes.h"
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
constexpr uint8_t k_vpd_pages = 0x00;
constexpr uint8_t k_vpd_serial = 0x80;
constexpr uint8_t k_vpd_header_len = 4;

// A vital product data page: peripheral type, page code, 16-bit length, then `body`.
std::vector<uint8_t> vpd_page(uint8_t type, uint8_t page, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> data(k_vpd_header_len + body.size(), 0);
    data[0] = type;
    data[1] = page;
    put_be16(&data[2], static_cast<uint16_t>(body.size()));
    std::copy(body.begin(), body.end(), data.begin() + k_vpd_header_len);
    return data;
}

// The page, or false for a page the device does not have.
bool vpd_data(const bridge_record& record, uint8_t type, uint8_t page, std::vector<uint8_t>* data) {
    if (page == k_vpd_pages) {
        *data = vpd_page(type, page, {k_vpd_pages, k_vpd_serial});
        return true;
    }
    if (page == k_vpd_serial) {
        *data = vpd_page(type, page, std::vector<uint8_t>(record.disk.serial.begin(), record.disk.serial.end()));
        return true;
    }
    return false;
}

void put_padded(uint8_t* field, size_t size, const std::string& text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), text.size() < size ? text.size() : size);
}

}  // namespace

void handle_inquiry(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint32_t allocation = get_be16(request.cdb + 3);
    const uint8_t type = request.cdrom_view ? k_type_cdrom : k_type_disk;
    std::vector<uint8_t> data;
    if ((request.cdb[1] & k_evpd) != 0) {
        if (!vpd_data(record, type, request.cdb[2], &data)) {
            answer_invalid_field(answer);
            return;
        }
        if (allocation < data.size()) data.resize(allocation);
        answer.data = std::move(data);
        return;
    }
    if (request.cdb[2] != 0) {
        answer_invalid_field(answer);
        return;
    }
    data.assign(k_standard_len, 0);
    data[0] = type;
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
