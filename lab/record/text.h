// The lab's one module of text helpers: strict number parsing for its own files and verbs
// (malformed text is an error here, never 0), the one hex form, the escaping of text values
// in state files and in messages, and words.
//
// Two escapes, one for each destination, never mixed: a text value in a state file is one
// word with %XX for every byte outside '!'..'~' and '%' itself (the file's format); a text
// shown to a person keeps printable bytes and writes every other byte as \xNN.
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
// Hex pairs, words of whole pairs between spaces ("0A 1B" or "0A1B"); empty text is no
// bytes.
bool parse_hex_pairs(const std::string& text, std::vector<uint8_t>* bytes);

// Upper-case hex digits of `value`, zero-padded to `digits`: "00AB".
std::string hex_digits(uint64_t value, int digits);
// The same after "0x": the form every hex number of the lab is written in ("0x00AB").
std::string hex_number(uint64_t value, int digits);
// Upper-case hex pairs, `separator` between them ("0A 1B", or "0A1B" with "").
std::string hex_bytes(const uint8_t* bytes, size_t count, const char* separator = " ");

// The state file's escape: every byte outside '!'..'~' and '%' itself as %XX, so that a
// value is one word.
std::string escape_text(const std::string& text);
bool unescape_text(const std::string& text, std::string* out);

// The message escape: `text` fit for one line of a message, control bytes (line ends among
// them) shown as \xNN, everything else as it is.
std::string printable_line(const std::string& text);
// `text` between double quotes, escaped as printable_line does, with bytes beyond '~' as
// \xNN too and the quote and the backslash preceded by a backslash, so that it reads back
// unchanged.
std::string quoted_text(const std::string& text);

// Words separated by spaces.
std::vector<std::string> split_words(const std::string& text);
// The pieces between `separator`s: "a,,b" is "a", "", "b"; empty text is one empty piece.
std::vector<std::string> split_at(const std::string& text, char separator);
