// The Identify Controller, SMART / Health and sanitize reports print what the NVMe disk
// sent: any 4096-byte structure and any 512-byte log page must print without a read
// outside them, at every report level (NPSS up to 255 included).
//
// Input: byte 0 chooses the report level (-1 to 4); the rest fills the structures,
// zero-padded when short.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "zelko/common/print_level.h"
#include "fuzz_check.h"
#include "zelko/nvme/id_ctrl_report.h"
#include "zelko/nvme/log_reports.h"

using namespace zelko;

namespace {

// Exactly `length` bytes on the heap, so that a read past them is caught.
std::unique_ptr<uint8_t[]> exact(const uint8_t* data, size_t size, size_t length) {
    auto bytes = std::make_unique<uint8_t[]>(length);
    std::memcpy(bytes.get(), data, size < length ? size : length);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reports are the subject, not their text.
    require(std::freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    set_print_level(static_cast<int32_t>(data[0] % 6) - 1);
    ++data;
    --size;
    const auto id_ctrl = exact(data, size, k_id_ctrl_len);
    print_nvme_id_ctrl(stdout, id_ctrl.get());
    const auto psd = exact(data, size, k_psd_len);
    print_nvme_psd(stdout, psd.get(), static_cast<uint32_t>(size));
    const auto log = exact(data, size, k_log_report_len);
    print_nvme_smart_log(stdout, log.get());
    print_nvme_sanitize_log(stdout, log.get());
    return 0;
}
