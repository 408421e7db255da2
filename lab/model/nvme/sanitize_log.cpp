#include "lab/model/nvme/sanitize_log.h"

#include <cstdio>
#include <string>
#include <vector>

#include "lab/record/text.h"

namespace {

// More answers than any polling test needs, few enough to keep the state file small.
constexpr size_t k_max_answers = 256;

std::string answer_word(uint32_t word) { return hex_number(word, 8); }

bool parse_answers(const std::string& value, std::vector<uint32_t>* answers, std::string* error) {
    answers->clear();
    if (value == "none") return true;
    for (const std::string& word : split_words(value)) {
        uint32_t answer = 0;
        if (!parse_u32(word, &answer)) {
            *error = "nvme_sanitize_log takes log dwords (SSTAT << 16 | SPROG), not '" + word + "'";
            return false;
        }
        answers->push_back(answer);
    }
    if (answers->size() > k_max_answers) {
        *error = "nvme_sanitize_log holds at most " + std::to_string(k_max_answers) + " answers";
        return false;
    }
    return true;
}

// Saved as the position of the next answer, then the answers.
std::vector<std::string> encode_answers(const bridge_record& record) {
    const std::vector<uint32_t>& answers = record.nvme.sanitize_log;
    if (answers.empty()) return {};
    std::string line = std::to_string(record.nvme.sanitize_log_next);
    for (const uint32_t answer : answers) line.append(" ").append(answer_word(answer));
    return {line};
}

bool decode_answers(bridge_record& record, const std::string& value, std::string* error) {
    const size_t space = value.find(' ');
    uint32_t next = 0;
    std::vector<uint32_t> answers;
    if (space == std::string::npos || !parse_u32(value.substr(0, space), &next) ||
        !parse_answers(value.substr(space + 1), &answers, error) || answers.empty() || next >= answers.size()) {
        *error = "bad nvme_sanitize_log line";
        return false;
    }
    record.nvme.sanitize_log = std::move(answers);
    record.nvme.sanitize_log_next = next;
    return true;
}

bool set_answers(bridge_record& record, const std::string& value, std::string* error) {
    std::vector<uint32_t> answers;
    if (!parse_answers(value, &answers, error)) return false;
    record.nvme.sanitize_log = std::move(answers);
    record.nvme.sanitize_log_next = 0;
    return true;
}

std::string show_answers(const bridge_record& record) {
    const std::vector<uint32_t>& answers = record.nvme.sanitize_log;
    if (answers.empty()) return "none (progress over lab time)";
    std::string text;
    for (const uint32_t answer : answers) text.append(answer_word(answer)).append(" ");
    char position[64];
    std::snprintf(position, sizeof position, "(next %u of %zu, the last repeats)", record.nvme.sanitize_log_next + 1,
                  answers.size());
    return text.append(position);
}

}  // namespace

bool sanitize_log_scripted(const bridge_record& record) { return !record.nvme.sanitize_log.empty(); }

sanitize_log_answer sanitize_log_next_answer(bridge_record& record) {
    nvme_state& s = record.nvme;
    if (s.sanitize_log.empty()) return {};
    if (s.sanitize_log_next >= s.sanitize_log.size()) s.sanitize_log_next = 0;
    const uint32_t word = s.sanitize_log[s.sanitize_log_next];
    if (s.sanitize_log_next + 1 < s.sanitize_log.size()) {
        ++s.sanitize_log_next;
        record.dirty = true;
    }
    return {static_cast<uint16_t>(word & 0xFFFF), static_cast<uint16_t>(word >> 16)};
}

constinit const custom_field k_nvme_sanitize_log_field = {encode_answers, decode_answers, show_answers, set_answers};
