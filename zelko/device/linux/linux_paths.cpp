#include "zelko/device/linux/linux_paths.h"

#include <algorithm>

namespace zelko {

namespace {

bool all_in(std::string::const_iterator first, std::string::const_iterator last, char low, char high) {
    return std::all_of(first, last, [low, high](char c) { return c >= low && c <= high; });
}

// True when `name` is `prefix` followed by at least one character in [low, high] and
// nothing else.
bool prefix_then_only(const std::string& name, const char* prefix, size_t prefix_len, char low, char high) {
    if (name.size() <= prefix_len || name.compare(0, prefix_len, prefix) != 0) return false;
    return all_in(name.begin() + static_cast<std::ptrdiff_t>(prefix_len), name.end(), low, high);
}

}  // namespace

std::string node_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sysfs_path_is_usb(const std::string& resolved) {
    size_t start = 0;
    while (start <= resolved.size()) {
        size_t end = resolved.find('/', start);
        if (end == std::string::npos) end = resolved.size();
        if (prefix_then_only(resolved.substr(start, end - start), "usb", 3, '0', '9')) return true;
        start = end + 1;
    }
    return false;
}

bool is_whole_disk_name(const std::string& name) { return prefix_then_only(name, "sd", 2, 'a', 'z'); }

bool is_optical_name(const std::string& name) { return prefix_then_only(name, "sr", 2, '0', '9'); }

bool kernel_order(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace zelko
