// Text helpers of the lab: strict number parsing for its own files and verbs (malformed
// text is an error here, never 0), the escaping of text values in state files, and hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decimal, or hexadecimal with a "0x" prefix. The whole text must be the number.
bool parse_u32(const std::string& text, uint32_t* value);
bool parse_i64(const std::string& text, int64_t* value);
// A number of parse_i64's range that is not negative (offsets and lengths).
bool parse_u64(const std::string& text, uint64_t* value);
// Two hexadecimal digits.
bool parse_hex_byte(const std::string& text, uint8_t* value);

// Escapes every byte outside '!'..'~' and '%' itself as %XX, so that a value is one word.
std::string escape_text(const std::string& text);
bool unescape_text(const std::string& text, std::string* out);

// `text` fit for one line of a message: control bytes (line ends among them) shown as
// \xNN, everything else as it is.
std::string printable_line(const std::string& text);

// Upper-case hex pairs separated by single spaces.
std::string hex_bytes(const uint8_t* bytes, size_t count);

// Words separated by spaces.
std::vector<std::string> split_words(const std::string& text);

std::string format_hex32(uint32_t value);  // "0x0000ABCD"
