#include "zelko/pg/pg_read.h"

#include <algorithm>
#include <cstring>

#include "zelko/common/cursor.h"

namespace zelko {

cdb16 pg_sector_read_cdb() {
    return vendor_cdb({.opcode = k_op_vendor_read,
                       .sub = 0x92,
                       .address = k_pg_sector_read,
                       .length = static_cast<uint32_t>(k_pg_sector_len)});
}

cmd_status read_pg_record(bridge_dev* dev, uint8_t* out, size_t length) {
    alignas(4) uint8_t sector[k_pg_sector_len] = {};
    const cmd_status status = mem_read(dev, k_pg_sector_read, sector, static_cast<int32_t>(sizeof sector));
    if (status != 0) return status;
    std::memcpy(out, sector + k_pg_record_offset, std::min(length, k_pg_record_len));
    return 0;
}

cmd_status get_pg_value(bridge_dev* dev, uint8_t tag, void* out, size_t width) {
    uint8_t record[k_pg_record_len] = {};
    const cmd_status status = read_pg_record(dev, record, sizeof record);
    if (status != 0) return status;
    const pg_walk walk = find_pg_entry(record, sizeof record, tag);
    if (walk.code != 0) return walk.code;
    std::memset(out, 0, width);
    if (!walk.found) return 0;
    const int64_t size = pg_entry_data_size(record, sizeof record, walk.position);
    if (size < 0 || static_cast<size_t>(size) > width) return -1;
    read_cursor(record, sizeof record).bytes_at(walk.position + 1, out, static_cast<size_t>(size));
    return 0;
}

cmd_status get_pg_serial(bridge_dev* dev, char* out, size_t capacity) {
    uint8_t record[k_pg_record_len] = {};
    const cmd_status status = read_pg_record(dev, record, sizeof record);
    if (status != 0) return status;
    const pg_walk walk = find_pg_entry(record, sizeof record, k_tag_serial);
    if (walk.code != 0) return walk.code;
    std::memset(out, 0, capacity + 1);
    if (!walk.found) return 0;
    if (pg_entry_data_size(record, sizeof record, walk.position) < 0) return -1;
    read_cursor in(record, sizeof record);
    const size_t start = walk.position + 1;
    const uint8_t n = in.u8_at(start);
    size_t chars = 0;
    for (size_t i = 2; i < n; i += 2) {
        if (chars == capacity) return -2;
        out[chars++] = static_cast<char>(in.u8_at(start + i));
    }
    return 0;
}

}  // namespace zelko
