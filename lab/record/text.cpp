#include "lab/record/text.h"

#include <cstdio>
#include <limits>

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_magnitude(const std::string& text, size_t start, uint64_t limit, uint64_t* value) {
    uint64_t base = 10;
    if (text.size() > start + 2 && text[start] == '0' && (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    if (start >= text.size()) return false;
    uint64_t result = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const int digit = hex_digit(text[i]);
        if (digit < 0 || static_cast<uint64_t>(digit) >= base) return false;
        if (result > (limit - static_cast<uint64_t>(digit)) / base) return false;
        result = result * base + static_cast<uint64_t>(digit);
    }
    *value = result;
    return true;
}

}  // namespace

bool parse_u32(const std::string& text, uint32_t* value) {
    uint64_t result = 0;
    if (!parse_magnitude(text, 0, std::numeric_limits<uint32_t>::max(), &result)) return false;
    *value = static_cast<uint32_t>(result);
    return true;
}

bool parse_i64(const std::string& text, int64_t* value) {
    const bool negative = !text.empty() && text[0] == '-';
    uint64_t result = 0;
    if (!parse_magnitude(text, negative ? 1 : 0, static_cast<uint64_t>(std::numeric_limits<int64_t>::max()), &result)) {
        return false;
    }
    *value = negative ? -static_cast<int64_t>(result) : static_cast<int64_t>(result);
    return true;
}

bool parse_hex_byte(const std::string& text, uint8_t* value) {
    if (text.size() != 2) return false;
    const int high = hex_digit(text[0]);
    const int low = hex_digit(text[1]);
    if (high < 0 || low < 0) return false;
    *value = static_cast<uint8_t>(high * 16 + low);
    return true;
}

namespace {

// `text` with every byte `keep` refuses written as `format` of the byte.
template <class Keep>
std::string escape_bytes(const std::string& text, Keep keep, const char* format) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (keep(byte)) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, format, byte);
            out += escaped;
        }
    }
    return out;
}

}  // namespace

std::string printable_line(const std::string& text) {
    return escape_bytes(
        text, [](unsigned char byte) { return byte >= ' ' && byte != 0x7F; }, "\\x%02X");
}

std::string escape_text(const std::string& text) {
    return escape_bytes(
        text, [](unsigned char byte) { return byte > ' ' && byte <= '~' && byte != '%'; }, "%%%02X");
}

bool unescape_text(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->push_back(text[i]);
            continue;
        }
        uint8_t byte = 0;
        if (i + 2 >= text.size()) return false;
        if (!parse_hex_byte(text.substr(i + 1, 2), &byte)) return false;
        out->push_back(static_cast<char>(byte));
        i += 2;
    }
    return true;
}

std::string hex_bytes(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i != 0) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0F];
    }
    return out;
}

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string format_hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

bool parse_u64(const std::string& text, uint64_t* value) {
    int64_t number = 0;
    if (!parse_i64(text, &number) || number < 0) return false;
    *value = static_cast<uint64_t>(number);
    return true;
}
