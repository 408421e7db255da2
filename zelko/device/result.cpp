#include "zelko/device/result.h"

#include <cstdio>

#include "zelko/common/cursor.h"

namespace zelko {

namespace {

// Sense response codes: fixed format (current, deferred) and descriptor format.
constexpr uint8_t k_sense_fixed_current = 0x70;
constexpr uint8_t k_sense_fixed_deferred = 0x71;
constexpr uint8_t k_sense_descriptor_current = 0x72;
constexpr uint8_t k_sense_descriptor_deferred = 0x73;
constexpr uint8_t k_sense_response_mask = 0x7F;
constexpr uint8_t k_sense_key_mask = 0x0F;

// Where each format keeps its key, code and qualifier.
constexpr size_t k_fixed_key = 2;
constexpr size_t k_fixed_asc = 12;
constexpr size_t k_fixed_ascq = 13;
constexpr size_t k_descriptor_key = 1;
constexpr size_t k_descriptor_asc = 2;
constexpr size_t k_descriptor_ascq = 3;

const char* const k_sense_key_names[16] = {
    "no sense",       "recovered error", "not ready",   "medium error",    "hardware error", "illegal request",
    "unit attention", "data protect",    "blank check", "vendor specific", "copy aborted",   "aborted command",
    "reserved",       "volume overflow", "miscompare",  "completed",
};

// Additional sense codes a USB bridge and the disk behind it answer with.
struct asc_text {
    uint8_t asc;
    uint8_t ascq;
    const char* text;
};
constexpr asc_text k_asc_texts[] = {
    {0x00, 0x00, "no additional sense information"},
    {0x04, 0x00, "logical unit not ready, cause not reportable"},
    {0x04, 0x01, "logical unit is in process of becoming ready"},
    {0x04, 0x02, "logical unit not ready, initializing command required"},
    {0x08, 0x00, "logical unit communication failure"},
    {0x0C, 0x00, "write error"},
    {0x11, 0x00, "unrecovered read error"},
    {0x1A, 0x00, "parameter list length error"},
    {0x20, 0x00, "invalid command operation code"},
    {0x21, 0x00, "logical block address out of range"},
    {0x24, 0x00, "invalid field in command block"},
    {0x25, 0x00, "logical unit not supported"},
    {0x26, 0x00, "invalid field in parameter list"},
    {0x27, 0x00, "write protected"},
    {0x28, 0x00, "not ready to ready change, medium may have changed"},
    {0x29, 0x00, "power on, reset, or bus device reset occurred"},
    {0x2C, 0x00, "command sequence error"},
    {0x3A, 0x00, "medium not present"},
    {0x3F, 0x01, "microcode has been changed"},
    {0x44, 0x00, "internal target failure"},
    {0x4B, 0x00, "data phase error"},
    {0x53, 0x02, "medium removal prevented"},
};

// SCSI status bytes other than GOOD and CHECK CONDITION.
struct status_text {
    uint8_t status;
    const char* text;
};
constexpr status_text k_status_texts[] = {
    {0x04, "CONDITION MET"}, {0x08, "BUSY"},       {0x18, "RESERVATION CONFLICT"},
    {0x28, "TASK SET FULL"}, {0x30, "ACA ACTIVE"}, {0x40, "TASK ABORTED"},
};

const char* asc_meaning(const sense_code& code) {
    for (const asc_text& row : k_asc_texts) {
        if (row.asc == code.asc && row.ascq == code.ascq) return row.text;
    }
    return sense_key_name(code.key);
}

std::string check_condition_line(const uint8_t* sense) {
    const sense_code code = decode_sense(sense);
    if (!code.valid) return "CHECK CONDITION without sense data";
    char line[128];
    std::snprintf(line, sizeof line, "CHECK CONDITION %02X/%02X/%02X %s", code.key, code.asc, code.ascq,
                  asc_meaning(code));
    return line;
}

std::string scsi_status_line(uint8_t status) {
    for (const status_text& row : k_status_texts) {
        if (row.status == status) return row.text;
    }
    char line[32];
    std::snprintf(line, sizeof line, "SCSI status 0x%02X", status);
    return line;
}

}  // namespace

result_category categorize(uint8_t scsi_status, int os_error, bool time_out, uint32_t residual) {
    if (scsi_status == k_scsi_check_condition) return result_category::check_condition;
    if (scsi_status != 0) return result_category::scsi_status;
    if (os_error != 0) return time_out ? result_category::time_out : result_category::os_error;
    if (residual != 0) return result_category::short_answer;
    return result_category::good;
}

sense_code decode_sense(const uint8_t* sense) {
    read_cursor in(sense, sense == nullptr ? 0 : k_sense_len);
    sense_code code;
    switch (in.u8_at(0) & k_sense_response_mask) {
        case k_sense_fixed_current:
        case k_sense_fixed_deferred:
            code.key = in.u8_at(k_fixed_key) & k_sense_key_mask;
            code.asc = in.u8_at(k_fixed_asc);
            code.ascq = in.u8_at(k_fixed_ascq);
            break;
        case k_sense_descriptor_current:
        case k_sense_descriptor_deferred:
            code.key = in.u8_at(k_descriptor_key) & k_sense_key_mask;
            code.asc = in.u8_at(k_descriptor_asc);
            code.ascq = in.u8_at(k_descriptor_ascq);
            break;
        default: return code;
    }
    code.valid = in.ok();
    return code;
}

const char* sense_key_name(uint8_t key) { return key <= k_sense_key_mask ? k_sense_key_names[key] : "reserved"; }

std::string describe(const send_result& result) {
    char line[64];
    switch (result.category) {
        case result_category::not_sent: return "not sent";
        case result_category::good: return "GOOD";
        case result_category::check_condition: return check_condition_line(result.sense);
        case result_category::scsi_status: return scsi_status_line(result.scsi_status);
        case result_category::short_answer:
            std::snprintf(line, sizeof line, "short answer: %u of %u bytes", result.transferred,
                          result.transferred + result.residual);
            return line;
        case result_category::os_error: std::snprintf(line, sizeof line, "OS error %d", result.os_error); return line;
        case result_category::time_out:
            std::snprintf(line, sizeof line, "time-out (OS error %d)", result.os_error);
            return line;
    }
    return "not sent";
}

}  // namespace zelko
