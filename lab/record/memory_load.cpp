#include "lab/record/memory_load.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "lab/model/disk/disk_spaces.h"

namespace {

constexpr size_t k_chunk = 1u << 20;

}  // namespace

bool memory_load_file(bridge_record& record, const lab_memory_row& memory, uint64_t offset, const std::string& path,
                      std::string* error) {
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(path, code);
    if (code || !std::filesystem::is_regular_file(status)) {
        *error = code ? path + ": " + code.message() : path + " is not a regular file";
        return false;
    }
    const uint64_t size = std::filesystem::file_size(path, code);
    if (code) {
        *error = path + ": " + code.message();
        return false;
    }
    const uint64_t memory_bytes = memory_size(record, memory.which);
    if (!memory_range_ok(record, memory.which, offset, size)) {
        *error = path + " has " + std::to_string(size) + " bytes: they do not fit " + memory.name + " (" +
                 std::to_string(memory_bytes) + " bytes) at offset " + std::to_string(offset);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(k_chunk, size)));
    for (uint64_t done = 0; done < size;) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
        if (!in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(count))) {
            *error = "cannot read " + path;
            return false;
        }
        if (!space_write(record, memory.which, offset + done, chunk.data(), count)) {
            *error = std::string("cannot write ") + memory.name;
            return false;
        }
        done += count;
    }
    return true;
}
