// The result record of a request carries sense data the device wrote: any record, with
// any sense bytes and any category, is described in one line without reading outside
// the record, and the sense decoder reads only its k_sense_len bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "zelko/device/result.h"
#include "fuzz_check.h"

using namespace zelko;

namespace {

constexpr size_t k_head = 1 + 1 + 4 + 4 + 4;  // category, SCSI status, OS error, residual, transferred
constexpr uint8_t k_categories = static_cast<uint8_t>(result_category::time_out) + 1;

uint32_t u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < k_head) return 0;
    send_result result;
    result.category = static_cast<result_category>(data[0] % k_categories);
    result.scsi_status = data[1];
    result.os_error = static_cast<int>(u32(data + 2));
    // Lengths within what a request can carry: a data phase is at most INT32_MAX bytes.
    result.residual = u32(data + 6) & 0x3FFFFFFF;
    result.transferred = u32(data + 10) & 0x3FFFFFFF;
    result.status = result.scsi_status != 0 ? result.scsi_status : result.os_error;
    const size_t sense_bytes = size - k_head < k_sense_len ? size - k_head : k_sense_len;
    std::memcpy(result.sense, data + k_head, sense_bytes);

    const std::string line = describe(result);
    require(!line.empty() && line.size() < 128);
    require(line.find('\n') == std::string::npos);

    // The decoder on exactly k_sense_len bytes of the heap, so that a read past them is caught.
    auto sense = std::make_unique<uint8_t[]>(k_sense_len);
    std::memcpy(sense.get(), result.sense, k_sense_len);
    const sense_code code = decode_sense(sense.get());
    require(code.key <= 0x0F);
    require(code.valid || (code.key == 0 && code.asc == 0 && code.ascq == 0));
    return 0;
}
