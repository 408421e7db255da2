#include "lab/host/lab_files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool lab_read_exact_file(const std::string& path, uint64_t size, const std::string& what, std::vector<uint8_t>* bytes,
                         std::string* error) {
    std::error_code failed;
    const std::filesystem::file_status status = std::filesystem::status(path, failed);
    if (failed || !std::filesystem::exists(status)) {
        *error = "cannot read " + path;
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        *error = path + " is no file";
        return false;
    }
    const uintmax_t found = std::filesystem::file_size(path, failed);
    if (failed || found != size) {
        *error = path + " is not " + what;
        return false;
    }
    bytes->assign(static_cast<size_t>(size), 0);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool read = file != nullptr && std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    // A file only read from: its close has nothing left to lose.
    if (file != nullptr) (void)std::fclose(file);
    if (!read) *error = "cannot read " + path;
    return read;
}

bool lab_write_output_file(const std::string& path, const void* bytes, size_t length, std::string* error) {
    std::error_code failed;
    const std::filesystem::file_status status = std::filesystem::status(path, failed);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        *error = path + " is no file";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(bytes, 1, length, file) == length;
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written) *error = "cannot write " + path;
    return written;
}
