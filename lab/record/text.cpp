#include "lab/record/text.h"

#include <charconv>
#include <limits>

namespace {

// A number in `base` filling the whole of `text` from `start`, at most `limit`.
bool parse_magnitude(const std::string& text, size_t start, uint64_t limit, uint64_t* value) {
    int base = 10;
    if (text.size() > start + 2 && text[start] == '0' && (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    if (start >= text.size()) return false;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    uint64_t result = 0;
    const auto [end, failure] = std::from_chars(first, last, result, base);
    if (failure != std::errc() || end != last || result > limit) return false;
    *value = result;
    return true;
}

constexpr char k_hex_digits[] = "0123456789ABCDEF";

// `text` with every byte `keep` refuses written as `prefix` and two hex digits.
template <class Keep>
std::string escape_bytes(const std::string& text, Keep keep, const char* prefix) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (keep(byte)) {
            out += c;
        } else {
            out += prefix;
            out += hex_digits(byte, 2);
        }
    }
    return out;
}

bool shown_as_is(unsigned char byte) { return byte >= ' ' && byte != 0x7F; }

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

bool parse_u64(const std::string& text, uint64_t* value) {
    int64_t number = 0;
    if (!parse_i64(text, &number) || number < 0) return false;
    *value = static_cast<uint64_t>(number);
    return true;
}

bool parse_hex_byte(const std::string& text, uint8_t* value) {
    if (text.size() != 2) return false;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + 2, *value, 16);
    return failure == std::errc() && end == text.data() + 2;
}

bool parse_hex_pairs(const std::string& text, std::vector<uint8_t>* bytes) {
    std::vector<uint8_t> out;
    for (const std::string& word : split_words(text)) {
        if (word.size() % 2 != 0) return false;
        for (size_t i = 0; i < word.size(); i += 2) {
            uint8_t byte = 0;
            if (!parse_hex_byte(word.substr(i, 2), &byte)) return false;
            out.push_back(byte);
        }
    }
    *bytes = std::move(out);
    return true;
}

std::string hex_digits(uint64_t value, int digits) {
    std::string out;
    for (int shift = 60; shift >= 0; shift -= 4) {
        const auto digit = static_cast<unsigned>((value >> shift) & 0xF);
        if (!out.empty() || digit != 0 || shift < 4 * digits) out += k_hex_digits[digit];
    }
    return out;
}

std::string hex_number(uint64_t value, int digits) {
    std::string out = "0x";
    out += hex_digits(value, digits);
    return out;
}

std::string hex_bytes(const uint8_t* bytes, size_t count, const char* separator) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (i != 0) out += separator;
        out += k_hex_digits[bytes[i] >> 4];
        out += k_hex_digits[bytes[i] & 0x0F];
    }
    return out;
}

std::string escape_text(const std::string& text) {
    return escape_bytes(
        text, [](unsigned char byte) { return byte > ' ' && byte <= '~' && byte != '%'; }, "%");
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

std::string printable_line(const std::string& text) { return escape_bytes(text, shown_as_is, "\\x"); }

std::string quoted_text(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') out += '\\';
        if (shown_as_is(byte) && byte <= '~') {
            out += c;
        } else {
            out += "\\x";
            out += hex_digits(byte, 2);
        }
    }
    out += '"';
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

std::vector<std::string> split_at(const std::string& text, char separator) {
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        items.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return items;
        start = end + 1;
    }
}
