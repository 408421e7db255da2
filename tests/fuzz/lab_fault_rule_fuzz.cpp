// Fault rules arrive as text twice: on the `fault NAME add` command line and as "fault"
// lines of a state file. Any text must parse into a sound rule or give an error; a rule
// the verb accepts must survive being saved and loaded, counter included, and what the
// verb lists of it must add the same rule again; and a rule matches and counts any
// command block without reading past its pattern.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "lab/record/fault.h"
#include "lab/record/text.h"

namespace {

void require_sound(const fault_rule& rule) {
    require(rule.pattern_len >= 1 && rule.pattern_len <= 16);
    for (uint32_t i = 0; i < 16; ++i) require(rule.mask[i] == 0 || rule.mask[i] == 0xFF);
    if (rule.kind == fault_kind::status) require(rule.value >= 1 && rule.value <= 0xFF);
    if (rule.kind == fault_kind::os_error) require(rule.value >= 1 && rule.value <= 0x7FFFFFFF);
}

// The state file line of a rule loads back to the same rule.
void require_saved_form_loads(const fault_rule& rule) {
    const std::string line = fault_encode(rule);
    fault_rule back;
    std::string error;
    require(fault_decode(line, &back, &error));
    require_sound(back);
    require(fault_encode(back) == line);
    require(back.matches == rule.matches && back.first == rule.first && back.after == rule.after);
    require(back.kind == rule.kind && back.value == rule.value && back.pattern_len == rule.pattern_len);
    require(std::memcmp(back.mask, rule.mask, sizeof rule.mask) == 0);
    for (uint32_t i = 0; i < rule.pattern_len; ++i)
        require((back.pattern[i] & back.mask[i]) == (rule.pattern[i] & rule.mask[i]));
}

// What `fault NAME list` prints of a rule, given back to `fault NAME add`, adds the same
// rule with a fresh counter.
void require_listed_form_adds(const fault_rule& rule) {
    fault_rule again;
    std::string error;
    require(fault_parse_pattern(fault_pattern_text(rule), &again, &error));
    require(fault_parse_options(split_words(fault_options_text(rule)), false, &again, &error));
    again.matches = rule.matches;
    require(fault_encode(again) == fault_encode(rule));
}

// Matches a block made of the input's own bytes and counts a few matches.
void exercise(fault_rule rule, const uint8_t* data, size_t size) {
    uint8_t cdb[16] = {};
    std::memcpy(cdb, data, size < sizeof cdb ? size : sizeof cdb);
    const bool matched = fault_matches(rule, cdb);
    bool all_equal = true;
    for (uint32_t i = 0; i < rule.pattern_len; ++i)
        all_equal = all_equal && ((cdb[i] ^ rule.pattern[i]) & rule.mask[i]) == 0;
    require(matched == all_equal);
    uint32_t fired = 0;
    for (int i = 0; i < 8; ++i) fired += fault_count_and_fire(rule) ? 1 : 0;
    if (rule.first != 0) require(fired <= rule.first);
    fault_pattern_text(rule);
    fault_options_text(rule);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text = input_text(data + 1, size - 1);
    fault_rule rule;
    std::string error;
    if (data[0] & 1) {
        // A state file line.
        if (!fault_decode(text, &rule, &error)) {
            require(!error.empty());
            return 0;
        }
    } else {
        // The verb's words, one a line: the pattern, then the options.
        std::vector<std::string> words;
        size_t start = 0;
        for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
            words.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        words.push_back(text.substr(start));
        if (!fault_parse_pattern(words[0], &rule, &error) ||
            !fault_parse_options(std::vector<std::string>(words.begin() + 1, words.end()), false, &rule, &error)) {
            require(!error.empty());
            return 0;
        }
        require(rule.matches == 0);
    }
    require_sound(rule);
    require_saved_form_loads(rule);
    require_listed_form_adds(rule);
    exercise(rule, data, size);
    return 0;
}
