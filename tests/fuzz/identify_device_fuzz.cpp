// IDENTIFY DEVICE data comes from the disk behind the bridge: any 512 bytes must decode
// into terminated texts and sane erase times without reading outside the block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "zelko/device/discovery.h"
#include "fuzz_check.h"

using namespace zelko;

namespace {

constexpr size_t k_identify_len = 512;

bool terminated_within(const char* text, size_t size) { return std::memchr(text, '\0', size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly 512 bytes on the heap, so that a read past the block is caught; a short
    // input is padded with zeros, a long one cut.
    auto identify = std::make_unique<uint8_t[]>(k_identify_len);
    std::memcpy(identify.get(), data, size < k_identify_len ? size : k_identify_len);

    disk_ident ident;
    decode_disk_ident(identify.get(), &ident);
    require(terminated_within(ident.serial, sizeof ident.serial));
    require(terminated_within(ident.firmware, sizeof ident.firmware));
    require(terminated_within(ident.model, sizeof ident.model - 1));
    require(ident.model[sizeof ident.model - 1] == '\0');  // the spare byte stays as given

    ata_security summary;
    decode_ata_security(identify.get(), &summary);
    for (const uint16_t minutes : {summary.erase_minutes, summary.enhanced_erase_minutes}) {
        require(minutes % 2 == 0);
    }
    // Without bit 15 a time is counted in the low byte only: at most 255 units of two minutes.
    for (const int word : {89, 90}) {
        const uint16_t value = static_cast<uint16_t>(identify[2 * word] | identify[2 * word + 1] << 8);
        const uint16_t minutes = word == 89 ? summary.erase_minutes : summary.enhanced_erase_minutes;
        if ((value & 0x8000) == 0) require(minutes <= 510);
    }
    return 0;
}
