// Number conversions of the command line and of text files, with the semantics of a
// platform whose `long` is 32 bits, so that the tool behaves the same everywhere.
//
// - parse_atol: decimal, optional sign; beyond the 32-bit range the result saturates.
// - parse_strtoul: base 10 or 16 (base 16 accepts a "0x" prefix); a magnitude beyond
//   0xFFFFFFFF gives 0xFFFFFFFF, a leading '-' negates modulo 2^32.
// - parse_strtol: saturates at 0x7FFFFFFF and -0x80000000.
// Leading white space is skipped, parsing stops at the first character that is not a
// digit of the base, and text without any digit gives 0.
#pragma once

#include <cstdint>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

int32_t parse_atol(const char* text);
uint32_t parse_strtoul(const char* text, int base);
int32_t parse_strtol(const char* text, int base);

// Splits `text` at spaces the way strtok with " " does (runs of spaces separate tokens,
// leading and trailing spaces are dropped) and parses at most `max` tokens with
// parse_strtoul in `base`, each kept as its low 8 bits. The text itself is left
// unchanged. Returns the number of bytes stored.
int parse_byte_list(const char* text, int base, uint8_t* out, int max);

}  // namespace zelko
ZELKO_API_END
