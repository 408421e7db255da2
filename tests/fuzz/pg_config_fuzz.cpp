// Configuration files come from users: any bytes must parse and encode without touching
// memory outside the file or the 2048-byte record, and an encoded record must walk and
// decode to its end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "zelko/pg/config_file.h"

using namespace zelko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto file = std::make_unique<uint8_t[]>(size + 1);
    if (size != 0) std::memcpy(file.get(), data, size);
    std::vector<PgEntry> entries;
    const cmd_status parsed = parse_pg_config(file.get(), size, &entries);
    require(parsed == 0 || parsed == -1);
    require(parsed != 0 || !entries.empty());
    for (const PgEntry& entry : entries) require(find_pg_key_by_tag(entry.tag) != nullptr);
    if (parsed != 0) return 0;

    auto record = std::make_unique<uint8_t[]>(k_pg_record_len);
    if (encode_pg_record(entries, record.get(), k_pg_record_len) != 0) return 0;
    // Every entry of the file is a key tag, so the walk reaches the end marker or the end
    // of a full record, and decoding never runs past it.
    const pg_walk walk = find_pg_entry(record.get(), k_pg_record_len, k_tag_end);
    require(walk.code == 0 && !walk.found);
    PgInfo info;
    require(decode_pg_record(record.get(), k_pg_record_len, &info) == 0);
    for (size_t i = walk.position; i < k_pg_record_len; ++i) require(record[i] == 0);
    return 0;
}
