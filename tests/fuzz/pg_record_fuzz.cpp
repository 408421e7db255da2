// The PG record comes from the bridge's flash: any bytes must walk, decode and take edits
// without a read or write outside the record, and an edit must leave what it promises.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "zelko/pg/pg_record.h"

using namespace zelko;

namespace {

bool terminated_within(const char* text, size_t size) { return std::memchr(text, '\0', size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The record at its exact length on the heap (up to the 2048 bytes of the real one),
    // so that a byte read or written past it is caught.
    const size_t length = size < k_pg_record_len ? size : k_pg_record_len;
    auto record = std::make_unique<uint8_t[]>(length + 1);
    if (length != 0) std::memcpy(record.get(), data, length);

    PgInfo info;
    decode_pg_record(record.get(), length, &info);
    require(terminated_within(info.PRODUCT, sizeof info.PRODUCT));
    require(terminated_within(info.MANUFACTURE, sizeof info.MANUFACTURE));
    require(terminated_within(info.SERIAL, sizeof info.SERIAL));
    require(terminated_within(info.SCSI_VENDOR, sizeof info.SCSI_VENDOR));
    require(terminated_within(info.SCSI_PRODUCT, sizeof info.SCSI_PRODUCT));

    const uint8_t tag = size > length ? data[length] : k_tag_vid;
    const pg_walk walk = find_pg_entry(record.get(), length, tag);
    require(walk.code == 0 || walk.code == -1);
    require(walk.position <= length);
    if (walk.found) require(record[walk.position] == tag);

    const uint8_t value[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const size_t value_size = pg_entry_size(tag, 0) <= sizeof value ? pg_entry_size(tag, 0) : 0;
    if (remove_pg_entry(record.get(), length, tag) == 0 &&
        put_pg_entry(record.get(), length, tag, value, value_size) == 0) {
        const pg_walk again = find_pg_entry(record.get(), length, tag);
        require(again.code == 0 && again.found);
        require(std::memcmp(record.get() + again.position + 1, value, value_size) == 0);
    }
    return 0;
}
