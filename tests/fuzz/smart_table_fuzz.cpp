// SMART READ DATA comes from the disk behind the bridge: a block of any content and any
// length prints its table without reading outside the block, and prints one row per slot
// in use.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "zelko/bridge/pcie_ata_report.h"
#include "fuzz_check.h"

using namespace zelko;

namespace {

constexpr size_t k_smart_len = 512;

size_t slots_in_use(const uint8_t* data, size_t size) {
    size_t used = 0;
    for (size_t i = 0; i < k_smart_slots; ++i) {
        const size_t slot = k_smart_first_slot + i * k_smart_slot_size;
        if (slot + k_smart_slot_size <= size && data[slot] != 0) ++used;
    }
    return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The block on the heap at exactly its size, so that a read past it is caught.
    const size_t length = size < k_smart_len ? size : k_smart_len;
    auto block = std::make_unique<uint8_t[]>(length == 0 ? 1 : length);
    if (length != 0) std::memcpy(block.get(), data, length);

    char text[8192];
    std::FILE* out = fmemopen(text, sizeof text, "w");
    if (out == nullptr) return 0;
    smart_table_print(out, block.get(), length);
    const long written = std::ftell(out);
    std::fclose(out);
    size_t lines = 0;
    for (long i = 0; i < written; ++i) lines += text[i] == '\n' ? 1 : 0;
    require(lines == 3 + slots_in_use(block.get(), length));
    return 0;
}
