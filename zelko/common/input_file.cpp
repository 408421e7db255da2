#include "zelko/common/input_file.h"

#include <filesystem>
#include <system_error>

namespace zelko {

input_file_ptr open_input_file(const char* path, uint64_t* size) {
    input_file_ptr none(nullptr, std::fclose);
    if (path == nullptr || path[0] == 0) return none;
    std::error_code error;
    const std::filesystem::path name(path);
    if (!std::filesystem::is_regular_file(name, error) || error) return none;
    const uintmax_t bytes = std::filesystem::file_size(name, error);
    if (error) return none;
    input_file_ptr file(std::fopen(path, "rb"), std::fclose);
    if (file && size != nullptr) *size = bytes;
    return file;
}

}  // namespace zelko
