#include "lab/host/names.h"

#include <cctype>

namespace {

constexpr const char* k_drive_prefix = "PhysicalDrive";
constexpr char k_first_volume = 'c';
constexpr char k_last_volume = 'l';

bool equal_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// "PhysicalDriveN" in any case, N one digit.
bool drive_name(const std::string& text, std::string* name) {
    const std::string prefix = k_drive_prefix;
    if (text.size() != prefix.size() + 1) return false;
    if (!equal_ignoring_case(text.substr(0, prefix.size()), prefix)) return false;
    const char digit = text.back();
    if (digit < '0' || digit > '9') return false;
    *name = prefix + digit;
    return true;
}

bool volume_name(const std::string& text, std::string* name) {
    if (text.size() != 1) return false;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (letter < k_first_volume || letter > k_last_volume) return false;
    *name = std::string(1, letter);
    return true;
}

}  // namespace

const std::vector<std::string>& lab_all_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (char digit = '0'; digit <= '9'; ++digit) all.push_back(std::string(k_drive_prefix) + digit);
        for (char letter = k_first_volume; letter <= k_last_volume; ++letter) all.push_back(std::string(1, letter));
        return all;
    }();
    return names;
}

std::string lab_path_of_name(const std::string& name) {
    if (lab_name_is_volume(name)) return "\\\\.\\" + name + ":";
    return "\\\\.\\" + name;
}

bool lab_name_is_volume(const std::string& name) {
    return name.size() == 1 && name[0] >= k_first_volume && name[0] <= k_last_volume;
}

bool lab_name_of_path(const std::string& path, std::string* name) {
    const std::string device_prefix = "\\\\.\\";
    if (path.compare(0, device_prefix.size(), device_prefix) != 0) return false;
    const std::string rest = path.substr(device_prefix.size());
    if (rest.size() == 2 && rest[1] == ':') return volume_name(rest.substr(0, 1), name);
    return drive_name(rest, name);
}

bool lab_normalize_name(const std::string& text, std::string* name) {
    return lab_name_of_path(text, name) || drive_name(text, name) || volume_name(text, name);
}

bool lab_name_is_canonical(const std::string& text) {
    std::string name;
    return lab_normalize_name(text, &name) && name == text;
}
