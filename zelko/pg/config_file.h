// The configuration file: "KEY = value" lines naming the PG record's keys, parsed into
// entries and encoded as a new record. The parsing works on the file's bytes, so that
// the same code serves files and fuzz inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zelko/common/export.h"
#include "zelko/pg/pg_record.h"

ZELKO_API_BEGIN
namespace zelko {

// Lines of a file that are kept at most.
constexpr size_t k_config_max_lines = 200;
// Largest configuration file read: far beyond what 200 kept lines can hold; a longer
// file is refused like one that cannot be read.
constexpr size_t k_config_max_bytes = 1u << 20;
// Characters one read of a line takes; the rest of a longer line is read as the next line.
constexpr size_t k_config_line_chars = 127;

// One accepted line: key and value, each zero-terminated.
struct pg_config_line {
    char key[128];
    char value[128];
};

// One parsed value.
struct PgEntry {
    uint8_t tag;
    uint8_t kind;        // pg_key_kind
    uint8_t length;      // text characters or list bytes
    uint8_t value[128];  // a 64-bit little-endian number, the text, or the list bytes
};

// Splits one line (zero-terminated) into key and value; false when the line is ignored
// (no '=', a comment, an empty key or value).
bool split_config_line(const char* line, pg_config_line* out);

// Parses `value` by the key's kind into `entry`; false when the value is malformed.
bool parse_config_value(const pg_key& key, const char* value, PgEntry* entry);

// Reads a whole file's bytes into entries, in file order. -1 for a file without a
// newline, without any entry, or with an entry beyond the kept lines.
cmd_status parse_pg_config(const uint8_t* data, size_t size, std::vector<PgEntry>* entries);

// Encodes the entries as a new record (zeroed first). -1 when they do not fit.
cmd_status encode_pg_record(const std::vector<PgEntry>& entries, uint8_t* record, size_t length);

// Reads the file at `path` and, unless `validate_only`, writes its record to the bridge.
// A null or empty path does nothing (0). -1 for a path that is no regular file, a file
// longer than k_config_max_bytes, or one that cannot be read, parsed or encoded; else the commit's status.
cmd_status load_pg_config(bridge_dev* dev, const char* path, bool validate_only);

}  // namespace zelko
ZELKO_API_END
