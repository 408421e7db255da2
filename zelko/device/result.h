// What one request to a device came to: the result record the transport fills for every
// request, sorted into a category, and one line of text that says it.
//
// A device handle keeps the record of its last request (last_result in transport.h), so a
// caller that only saw a nonzero cmd_status can ask afterwards what the failure was.
#pragma once

#include <cstdint>
#include <string>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// The integer result of every device operation: 0 success; a nonzero SCSI status byte
// or operating-system error code from the transport; -1 (or another negative value)
// for a failure the library finds itself.
using cmd_status = int32_t;

// Bytes of sense data kept in a result record and handed back to callers.
constexpr int k_sense_len = 18;

// What a request came to, in the order the transport weighs it: a SCSI status from the
// device first, then the operating system's error, then the length actually moved.
enum class result_category : uint8_t {
    not_sent,         // no request went out (no device, a bad argument, no memory)
    good,             // status GOOD, the whole data phase moved
    check_condition,  // status CHECK CONDITION; the sense data says why
    scsi_status,      // another nonzero SCSI status (BUSY, RESERVATION CONFLICT, ...)
    short_answer,     // status GOOD, but part of the data phase did not move
    os_error,         // the operating system refused or lost the request
    time_out,         // the request did not complete within its time-out
};

// SCSI status bytes the categories and descriptions name.
constexpr uint8_t k_scsi_check_condition = 0x02;

// The result record of one request.
struct send_result {
    cmd_status status = -1;           // what scsi_send returned
    uint8_t scsi_status = 0;          // SCSI status byte of the last attempt
    int os_error = 0;                 // OS error of the last attempt, 0 when carried out
    uint8_t sense[k_sense_len] = {};  // first bytes of the sense area, whatever the outcome
    uint32_t residual = 0;            // bytes of the data phase not transferred
    uint32_t transferred = 0;         // bytes of the data phase transferred
    result_category category = result_category::not_sent;

    bool ok() const { return status == 0; }
};

// Sense key, additional sense code and qualifier of a sense area.
struct sense_code {
    bool valid = false;  // false when the area holds neither fixed nor descriptor sense
    uint8_t key = 0;     // 0 to 0x0F
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

// The category of a request that went out: `scsi_status` and `os_error` as the port
// returned them, `time_out` when the port counts that error as a time-out, `residual`
// the bytes of the data phase that did not move. Never result_category::not_sent.
result_category categorize(uint8_t scsi_status, int os_error, bool time_out, uint32_t residual);

// Decodes the k_sense_len bytes at `sense` (fixed format 0x70/0x71 or descriptor format
// 0x72/0x73). Returns the code, with `valid` false for any other response code.
sense_code decode_sense(const uint8_t* sense);

// The name of a sense key in lower case ("illegal request"); "reserved" for 0x0C and any
// value above 0x0F. The text is static: the caller does not free it.
const char* sense_key_name(uint8_t key);

// One line, without a line end, that says what `result` was:
//   "GOOD", "CHECK CONDITION 05/24/00 invalid field in command block", "BUSY",
//   "short answer: 4 of 16 bytes", "OS error 5", "time-out (OS error 110)", "not sent".
// The caller owns the returned string.
std::string describe(const send_result& result);

}  // namespace zelko
ZELKO_API_END
