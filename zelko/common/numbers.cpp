#include "zelko/common/numbers.h"

#include <cctype>
#include <string>

namespace zelko {

namespace {

struct scanned_number {
    bool negative = false;
    bool any_digit = false;
    bool overflow = false;   // magnitude beyond 0xFFFFFFFF
    uint64_t magnitude = 0;  // saturated at 0x100000000 once overflow is set
};

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

scanned_number scan(const char* text, int base) {
    scanned_number n;
    if (text == nullptr) return n;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '+' || *p == '-') {
        n.negative = (*p == '-');
        ++p;
    }
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit_value(p[2]) < 16) p += 2;
    for (; digit_value(*p) < base; ++p) {
        n.any_digit = true;
        if (n.overflow) continue;
        n.magnitude = n.magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit_value(*p));
        if (n.magnitude > 0xFFFFFFFFull) {
            n.overflow = true;
            n.magnitude = 0x100000000ull;
        }
    }
    if (!n.any_digit) n = scanned_number{};
    return n;
}

int32_t signed_saturated(const scanned_number& n) {
    if (n.negative) {
        if (n.magnitude >= 0x80000000ull) return INT32_MIN;
        return -static_cast<int32_t>(n.magnitude);
    }
    if (n.magnitude >= 0x7FFFFFFFull) return INT32_MAX;
    return static_cast<int32_t>(n.magnitude);
}

}  // namespace

int32_t parse_atol(const char* text) { return signed_saturated(scan(text, 10)); }

int32_t parse_strtol(const char* text, int base) { return signed_saturated(scan(text, base)); }

uint32_t parse_strtoul(const char* text, int base) {
    const scanned_number n = scan(text, base);
    if (n.overflow) return 0xFFFFFFFFu;
    const uint32_t value = static_cast<uint32_t>(n.magnitude);
    return n.negative ? static_cast<uint32_t>(0u - value) : value;
}

int parse_byte_list(const char* text, int base, uint8_t* out, int max) {
    int count = 0;
    const char* p = text;
    while (count < max) {
        while (*p == ' ') ++p;
        if (*p == '\0') break;
        const char* end = p;
        while (*end != '\0' && *end != ' ') ++end;
        out[count++] = static_cast<uint8_t>(parse_strtoul(std::string(p, end).c_str(), base));
        p = end;
    }
    return count;
}

}  // namespace zelko
