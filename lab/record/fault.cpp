#include "lab/record/fault.h"

#include <cstdio>

#include "lab/record/text.h"

namespace {

struct fault_kind_row {
    fault_kind kind;
    const char* option;
    bool takes_value;
};

constexpr fault_kind_row k_fault_kinds[] = {
    {fault_kind::status, "--status", true},
    {fault_kind::os_error, "--os-error", true},
    {fault_kind::short_data, "--short", true},
    {fault_kind::corrupt, "--corrupt", false},
    {fault_kind::corrupt_write, "--corrupt-write", false},
    {fault_kind::tear, "--tear", true},
    {fault_kind::flip, "--flip", true},
    {fault_kind::drop_write, "--drop-write", false},
};

const fault_kind_row* kind_row_of_option(const std::string& option) {
    for (const auto& row : k_fault_kinds) {
        if (option == row.option) return &row;
    }
    return nullptr;
}

const fault_kind_row& kind_row(fault_kind kind) {
    for (const auto& row : k_fault_kinds) {
        if (row.kind == kind) return row;
    }
    return k_fault_kinds[0];
}

bool parse_sense(const std::string& text, fault_rule* rule) {
    if (text.size() != 8 || text[2] != '/' || text[5] != '/') return false;
    return parse_hex_byte(text.substr(0, 2), &rule->sense_key) && parse_hex_byte(text.substr(3, 2), &rule->sense_asc) &&
           parse_hex_byte(text.substr(6, 2), &rule->sense_ascq);
}

// "--status, --os-error, ..." for the messages that list the kinds.
std::string kind_options() {
    std::string out;
    for (const auto& row : k_fault_kinds) out += std::string(out.empty() ? "" : ", ") + row.option;
    return out;
}

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// Appends " WORD" to a rule's text. Each piece is appended on its own: g++ 12 at -O3 takes
// `" " + std::to_string(n)` for an overlapping copy inside std::string (-Wrestrict).
void append_word(std::string& out, const char* word) {
    out += ' ';
    out += word;
}

void append_option(std::string& out, const char* option, uint32_t value) {
    append_word(out, option);
    append_word(out, std::to_string(value).c_str());
}

}  // namespace

bool fault_parse_pattern(const std::string& text, fault_rule* rule, std::string* error) {
    std::string spaced = text;
    for (char& c : spaced) {
        if (c == ',') c = ' ';
    }
    const std::vector<std::string> words = split_words(spaced);
    if (words.empty()) return fail(error, "empty pattern");
    if (words.size() > 16) return fail(error, "pattern longer than 16 bytes");
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "..") {
            rule->pattern[i] = 0;
            rule->mask[i] = 0;
        } else if (parse_hex_byte(words[i], &rule->pattern[i])) {
            rule->mask[i] = 0xFF;
        } else {
            return fail(error, "pattern byte '" + words[i] + "' is neither two hex digits nor ..");
        }
    }
    rule->pattern_len = static_cast<uint32_t>(words.size());
    return true;
}

std::string fault_pattern_text(const fault_rule& rule, char separator) {
    std::string out;
    for (uint32_t i = 0; i < rule.pattern_len && i < 16; ++i) {
        if (i != 0) out += separator;
        out += rule.mask[i] != 0 ? hex_bytes(&rule.pattern[i], 1) : "..";
    }
    return out;
}

bool fault_parse_options(const std::vector<std::string>& words, bool allow_matches, fault_rule* rule,
                         std::string* error) {
    bool have_kind = false;
    bool have_sense = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& option = words[i];
        const fault_kind_row* kind = kind_row_of_option(option);
        const bool takes_value = kind != nullptr ? kind->takes_value
                                                 : (option == "--sense" || option == "--first" || option == "--after" ||
                                                    (allow_matches && option == "--matches"));
        if (kind == nullptr && !takes_value) return fail(error, "unknown fault option '" + option + "'");
        std::string value;
        if (takes_value) {
            if (i + 1 >= words.size()) return fail(error, option + " needs a value");
            value = words[++i];
        }
        if (kind != nullptr) {
            if (have_kind) return fail(error, "a rule has one of " + kind_options());
            have_kind = true;
            rule->kind = kind->kind;
            if (takes_value && !parse_u32(value, &rule->value)) return fail(error, option + " needs a number");
            if (rule->kind == fault_kind::status && (rule->value == 0 || rule->value > 0xFF)) {
                return fail(error, "--status needs a SCSI status from 1 to 255");
            }
            if (rule->kind == fault_kind::os_error && (rule->value == 0 || rule->value > 0x7FFFFFFF)) {
                return fail(error, "--os-error needs a nonzero error code");
            }
        } else if (option == "--sense") {
            if (!parse_sense(value, rule)) return fail(error, "--sense needs KEY/ASC/ASCQ as hex pairs, e.g. 05/24/00");
            have_sense = true;
        } else {
            uint32_t number = 0;
            if (!parse_u32(value, &number)) return fail(error, option + " needs a number");
            if (option == "--first") rule->first = number;
            if (option == "--after") rule->after = number;
            if (option == "--matches") rule->matches = number;
        }
    }
    if (!have_kind) return fail(error, "a rule needs one of " + kind_options());
    if (have_sense && rule->kind != fault_kind::status) return fail(error, "--sense goes with --status");
    return true;
}

std::string fault_options_text(const fault_rule& rule) {
    const fault_kind_row& row = kind_row(rule.kind);
    std::string out = row.option;
    if (row.takes_value) append_word(out, std::to_string(rule.value).c_str());
    if (rule.kind == fault_kind::status) {
        char sense[16];
        std::snprintf(sense, sizeof sense, "%02X/%02X/%02X", rule.sense_key, rule.sense_asc, rule.sense_ascq);
        append_word(out, "--sense");
        append_word(out, sense);
    }
    if (rule.first != 0) append_option(out, "--first", rule.first);
    if (rule.after != 0) append_option(out, "--after", rule.after);
    return out;
}

bool fault_matches(const fault_rule& rule, const uint8_t* cdb) {
    for (uint32_t i = 0; i < rule.pattern_len && i < 16; ++i) {
        if ((cdb[i] & rule.mask[i]) != (rule.pattern[i] & rule.mask[i])) return false;
    }
    return rule.pattern_len != 0;
}

bool fault_count_and_fire(fault_rule& rule) {
    if (rule.matches != UINT32_MAX) ++rule.matches;
    if (rule.matches <= rule.after) return false;
    return rule.first == 0 || rule.matches - rule.after <= rule.first;
}

std::string fault_encode(const fault_rule& rule) {
    std::string out = fault_pattern_text(rule, ',');
    append_word(out, fault_options_text(rule).c_str());
    append_option(out, "--matches", rule.matches);
    return out;
}

bool fault_decode(const std::string& text, fault_rule* rule, std::string* error) {
    std::vector<std::string> words = split_words(text);
    if (words.empty()) return fail(error, "empty fault rule");
    if (!fault_parse_pattern(words[0], rule, error)) return false;
    words.erase(words.begin());
    return fault_parse_options(words, true, rule, error);
}
