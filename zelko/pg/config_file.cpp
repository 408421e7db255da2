#include "zelko/pg/config_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "zelko/common/cursor.h"
#include "zelko/common/input_file.h"
#include "zelko/common/numbers.h"
#include "zelko/pg/pg_write.h"

namespace zelko {

namespace {

bool is_line_end(char c) { return c == '\n' || c == '\r' || c == ';'; }

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool all_of(const char* text, bool (*pred)(char)) {
    for (; *text != 0; ++text) {
        if (!pred(*text)) return false;
    }
    return true;
}

// The next token of `text` split at `delimiter` as strtok splits it (runs of the
// delimiter separate tokens, empty tokens do not exist); [begin, end), or begin == end
// when none is left. `text` moves past the token.
bool next_token(const char** text, char delimiter, const char** begin, const char** end) {
    const char* p = *text;
    while (*p == delimiter) ++p;
    if (*p == 0) return false;
    *begin = p;
    while (*p != 0 && *p != delimiter) ++p;
    *end = p;
    *text = p;
    return true;
}

bool parse_number(const char* value, uint64_t* out) {
    char compact[128] = {};
    size_t n = 0;
    for (const char* p = value; *p != 0 && n + 1 < sizeof compact; ++p) {
        if (*p != ' ' && *p != '\t') compact[n++] = *p;
    }
    static constexpr const char* k_true_words[] = {"y", "yes", "on", "true"};
    static constexpr const char* k_false_words[] = {"n", "no", "off", "false"};
    for (const char* word : k_true_words) {
        if (std::strcmp(compact, word) == 0) return *out = 1, true;
    }
    for (const char* word : k_false_words) {
        if (std::strcmp(compact, word) == 0) return *out = 0, true;
    }
    if (compact[0] == '0' && compact[1] == 'x') {
        if (compact[2] == 0 || !all_of(compact + 2, is_hex)) return false;
        *out = parse_strtoul(compact, 16);
        return true;
    }
    if (!all_of(compact, [](char c) { return c >= '0' && c <= '9'; })) return false;
    *out = parse_strtoul(compact, 10);
    return true;
}

bool parse_quoted(const char* value, PgEntry* entry) {
    if (value[0] != '"') return false;
    const char* close = std::strchr(value + 1, '"');
    if (close == nullptr) return false;
    const size_t length = static_cast<size_t>(close - (value + 1));
    std::memcpy(entry->value, value + 1, length);
    entry->length = static_cast<uint8_t>(length);
    return true;
}

bool parse_hex_list(const char* value, PgEntry* entry) {
    const char* rest = value;
    const char* begin = nullptr;
    const char* end = nullptr;
    size_t count = 0;
    while (next_token(&rest, ' ', &begin, &end)) {
        if (end - begin != 2 || !is_hex(begin[0]) || !is_hex(begin[1]) || count == sizeof entry->value) return false;
        const char piece[3] = {begin[0], begin[1], 0};
        entry->value[count++] = static_cast<uint8_t>(parse_strtoul(piece, 16));
    }
    if (count == 0) return false;
    entry->length = static_cast<uint8_t>(count);
    return true;
}

// Lines the newline count allows: the newlines before the end of the file or its first
// 0xFF byte, plus a last line without its newline. 0 when there is no newline at all.
size_t counted_lines(const uint8_t* data, size_t size) {
    size_t newlines = 0;
    bool open_line = false;
    for (size_t i = 0; i < size && data[i] != 0xFF; ++i) {
        if (data[i] == '\n') {
            ++newlines;
            open_line = false;
        } else {
            open_line = true;
        }
    }
    if (newlines == 0) return 0;
    return newlines + (open_line ? 1 : 0);
}

// The data bytes of an entry in the record.
size_t encoded_size(const PgEntry& entry) {
    const pg_tag_format format = pg_tag_info(entry.tag);
    if (format.format == pg_format::descriptor) return std::min<size_t>(2u * entry.length, format.size) + 2;
    return format.size;
}

}  // namespace

bool split_config_line(const char* line, pg_config_line* out) {
    std::memset(out, 0, sizeof *out);
    const char* rest = line;
    const char* key_begin = nullptr;
    const char* key_end = nullptr;
    const char* value_begin = nullptr;
    const char* value_end = nullptr;
    if (!next_token(&rest, '=', &key_begin, &key_end)) return false;
    if (!next_token(&rest, '=', &value_begin, &value_end)) return false;
    for (const char* p = key_begin; p != key_end; ++p) {
        if (is_line_end(*p)) return false;
    }
    while (key_begin != key_end && *key_begin == ' ') ++key_begin;
    size_t n = 0;
    for (const char* p = key_begin; p != key_end && *p != ' ' && n + 1 < sizeof out->key; ++p) out->key[n++] = *p;
    while (value_begin != value_end && *value_begin == ' ') ++value_begin;
    size_t m = 0;
    for (const char* p = value_begin; p != value_end && !is_line_end(*p) && m + 1 < sizeof out->value; ++p) {
        out->value[m++] = *p;
    }
    return n != 0 && m != 0;
}

bool parse_config_value(const pg_key& key, const char* value, PgEntry* entry) {
    std::memset(entry, 0, sizeof *entry);
    entry->tag = key.tag;
    entry->kind = static_cast<uint8_t>(key.kind);
    switch (key.kind) {
        case pg_key_kind::number: {
            uint64_t number = 0;
            if (!parse_number(value, &number)) return false;
            write_cursor(entry->value, sizeof entry->value).le64_at(0, number);
            entry->length = 8;
            return true;
        }
        case pg_key_kind::quoted_text: return parse_quoted(value, entry);
        case pg_key_kind::hex_list: return parse_hex_list(value, entry);
    }
    return false;
}

cmd_status parse_pg_config(const uint8_t* data, size_t size, std::vector<PgEntry>* entries) {
    entries->clear();
    const size_t capacity = std::min(counted_lines(data, size), k_config_max_lines);
    if (capacity == 0) return -1;
    read_cursor in(data, size);
    size_t kept = 0;
    while (in.remaining() != 0) {
        // One read of at most 127 characters, through its newline; an embedded zero byte
        // ends the text of the line as it ends a C string.
        char line[k_config_line_chars + 1] = {};
        size_t n = 0;
        bool ended = false;
        while (n < k_config_line_chars && in.remaining() != 0) {
            const uint8_t byte = in.u8();
            if (!ended) line[n] = static_cast<char>(byte);
            if (byte == 0) ended = true;
            ++n;
            if (byte == '\n') break;
        }
        pg_config_line raw;
        if (!split_config_line(line, &raw)) continue;
        const size_t index = kept++;
        const pg_key* key = find_pg_key(raw.key);
        PgEntry entry;
        if (key == nullptr || !parse_config_value(*key, raw.value, &entry)) continue;
        // A setting beyond the lines kept would be lost: the whole file is refused.
        if (index >= capacity) return -1;
        entries->push_back(entry);
    }
    return entries->empty() ? -1 : 0;
}

cmd_status encode_pg_record(const std::vector<PgEntry>& entries, uint8_t* record, size_t length) {
    std::memset(record, 0, length);
    write_cursor out(record, length);
    for (const PgEntry& entry : entries) {
        const pg_tag_format format = pg_tag_info(entry.tag);
        const size_t data_size = encoded_size(entry);
        if (!out.has(out.position(), 1 + data_size)) return -1;
        uint8_t data[256] = {};
        switch (format.format) {
            case pg_format::descriptor:
                string_to_usb_descriptor(reinterpret_cast<const char*>(entry.value), entry.length, data, format.size);
                break;
            case pg_format::padded_text:
                std::memset(data, ' ', format.size);
                std::memcpy(data, entry.value, std::min<size_t>(entry.length, format.size));
                break;
            default: std::memcpy(data, entry.value, std::min(sizeof entry.value, data_size)); break;
        }
        out.u8(entry.tag);
        out.bytes(data, data_size);
    }
    return out.ok() ? 0 : -1;
}

cmd_status load_pg_config(bridge_dev* dev, const char* path, bool validate_only) {
    if (path == nullptr || path[0] == 0) return 0;
    uint64_t size = 0;
    input_file_ptr file = open_input_file(path, &size);
    if (!file || size > k_config_max_bytes) return -1;
    // The file may grow while it is read: one byte beyond the limit is enough to refuse it.
    std::vector<uint8_t> content(k_config_max_bytes + 1);
    const size_t got = std::fread(content.data(), 1, content.size(), file.get());
    if (std::ferror(file.get()) || got > k_config_max_bytes) return -1;
    content.resize(got);
    std::vector<PgEntry> entries;
    if (parse_pg_config(content.data(), content.size(), &entries) != 0) return -1;
    uint8_t record[k_pg_record_len] = {};
    if (encode_pg_record(entries, record, sizeof record) != 0) return -1;
    if (validate_only) return 0;
    return commit_pg_record(dev, record, sizeof record);
}

}  // namespace zelko
