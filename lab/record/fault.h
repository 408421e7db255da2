// Fault rules: how a lab bridge misbehaves on purpose.
//
// A rule matches command blocks by a pattern of up to 16 bytes, hex pairs or ".." for
// any byte, compared with the start of the command block ("E2 .. .. .. BB"). Each match
// is counted (the count persists with the bridge); the rule fires on the matches after
// the first `after` ones and, when `first` is not 0, only on `first` of them:
// `--after 2 --first 1` fires on the third match only.
//
// What a firing rule does, by kind:
//   --status S [--sense K/ASC/ASCQ]  the block is not carried out; SCSI status S with
//                                    fixed-format sense (hex key, code and qualifier)
//   --os-error E                     the request fails with operating-system error E
//                                    (31 is the general failure the transport retries)
//   --short N                        carried out, but only the first N data-in bytes reach
//                                    the host; the rest of its buffer is left as it was
//   --corrupt                        carried out; every data-in byte arrives inverted
//   --flip N                         carried out; the data-in byte at offset N arrives inverted
//   --corrupt-write                  carried out on data-out bytes that arrive inverted
//                                    (a corrupted flash write); the host sees success
//   --tear N                         carried out on data-out bytes whose part from offset N
//                                    on reads as erased flash (0xFF); the host sees success
//   --drop-write                     a data-out block is not carried out, yet the host sees
//                                    success (a lost flash write)
// New kinds are a row of k_fault_kinds in fault.cpp plus their effect in serve.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class fault_kind : uint8_t { status, os_error, short_data, corrupt, corrupt_write, tear, flip, drop_write };

struct fault_rule {
    uint8_t pattern[16] = {};
    uint8_t mask[16] = {};     // 0xFF: the byte must equal pattern[i]; 0: any byte
    uint32_t pattern_len = 0;  // 1..16 bytes compared
    fault_kind kind = fault_kind::status;
    uint32_t value = 0;  // status, OS error, short length, tear or flip offset
    uint8_t sense_key = 0;
    uint8_t sense_asc = 0;
    uint8_t sense_ascq = 0;
    uint32_t first = 0;  // 0: no limit
    uint32_t after = 0;
    uint32_t matches = 0;  // matches counted so far
};

// Parses "E2 .. .. .. BB" (words separated by spaces or commas).
bool fault_parse_pattern(const std::string& text, fault_rule* rule, std::string* error);
std::string fault_pattern_text(const fault_rule& rule, char separator = ' ');

// Parses the options of a rule ("--os-error 31 --first 4"). `allow_matches` also takes
// "--matches N", used by the state file to restore the counter.
bool fault_parse_options(const std::vector<std::string>& words, bool allow_matches, fault_rule* rule,
                         std::string* error);
// The options of a rule in the syntax fault_parse_options reads (without the counter).
std::string fault_options_text(const fault_rule& rule);

bool fault_matches(const fault_rule& rule, const uint8_t* cdb);
// Counts one match and tells whether the rule fires on it.
bool fault_count_and_fire(fault_rule& rule);

// One line of a state file, and back.
std::string fault_encode(const fault_rule& rule);
bool fault_decode(const std::string& text, fault_rule* rule, std::string* error);
