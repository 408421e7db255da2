// What a request came to: the category scsi_send gives each outcome, the record the
// device keeps of its last request, the sense formats and the line describe() prints.
#include <gtest/gtest.h>

#include <cstring>

#include "zelko/device/result.h"
#include "zelko/device/transport.h"
#include "tests/unit/bridge_command_fixture.h"

using namespace zelko;

namespace {

std::vector<uint8_t> fixed_sense(uint8_t key, uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> sense(k_sense_len, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 0x0A;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

class RequestResult : public bridge_command_test {
protected:
    // Reads 16 bytes with a vendor block and returns the device's record of it.
    send_result read16() {
        alignas(4) uint8_t data[16] = {};
        scsi_send(device.get(), vendor_cdb({.opcode = k_op_vendor_read, .sub = 0xA8, .length = 16}), data, 16,
                  data_direction::from_device, k_timeout_s);
        return last_result(device.get());
    }
};

// Each outcome of one request, as the port reports it, with the category and the line.
TEST_F(RequestResult, EachOutcomeHasItsCategoryAndLine) {
    struct row {
        const char* name;
        fake::answer answer;
        int attempts;
        result_category category;
        cmd_status status;
        const char* line;
    } rows[] = {
        {"good", {.data = std::vector<uint8_t>(16, 1)}, 1, result_category::good, 0, "GOOD"},
        {"refused block",
         {.scsi_status = 2, .sense = fixed_sense(0x05, 0x24, 0x00), .residual = 16},
         1,
         result_category::check_condition,
         2,
         "CHECK CONDITION 05/24/00 invalid field in command block"},
        {"unknown code: the key's name",
         {.scsi_status = 2, .sense = fixed_sense(0x03, 0x99, 0x07), .residual = 16},
         1,
         result_category::check_condition,
         2,
         "CHECK CONDITION 03/99/07 medium error"},
        {"check condition without sense",
         {.scsi_status = 2, .residual = 16},
         1,
         result_category::check_condition,
         2,
         "CHECK CONDITION without sense data"},
        {"busy", {.scsi_status = 0x08, .residual = 16}, 1, result_category::scsi_status, 8, "BUSY"},
        {"unnamed status",
         {.scsi_status = 0x22, .residual = 16},
         1,
         result_category::scsi_status,
         0x22,
         "SCSI status 0x22"},
        // A SCSI status wins over the OS error of the same request.
        {"status and OS error",
         {.os_error = 5, .scsi_status = 0x18},
         1,
         result_category::scsi_status,
         0x18,
         "RESERVATION CONFLICT"},
        {"short answer",
         {.data = {1, 2, 3, 4}, .residual = 12},
         1,
         result_category::short_answer,
         0,
         "short answer: 4 of 16 bytes"},
        {"access denied", {.os_error = fake::k_access_denied}, 1, result_category::os_error, 5, "OS error 5"},
        {"time-out", {.os_error = fake::k_time_out}, 1, result_category::time_out, 121, "time-out (OS error 121)"},
    };
    for (const row& r : rows) {
        for (int i = 0; i < r.attempts; ++i) fake::script(r.answer);
        const send_result result = read16();
        EXPECT_EQ(result.category, r.category) << r.name;
        EXPECT_EQ(result.status, r.status) << r.name;
        EXPECT_EQ(describe(result), r.line) << r.name;
        next_case();
    }
}

// A general failure on every attempt is the last attempt's OS error; one that clears up
// on a later attempt leaves a good record.
TEST_F(RequestResult, RetriedFailureKeepsTheLastAttempt) {
    fake::script_os_error(fake::k_general_failure, k_send_attempts);
    send_result result = read16();
    EXPECT_EQ(result.category, result_category::os_error);
    EXPECT_EQ(describe(result), "OS error 31");
    next_case();
    fake::script_os_error(fake::k_general_failure, 2);
    fake::script_ok(std::vector<uint8_t>(16, 7));
    result = read16();
    EXPECT_EQ(result.category, result_category::good);
    EXPECT_EQ(result.transferred, 16u);
}

// The device keeps the record of its last request only: a good request after a refused
// one leaves a good record; the caller's own record and the device's agree.
TEST_F(RequestResult, DeviceRemembersItsLastRequestOnly) {
    EXPECT_EQ(last_result(device.get()).category, result_category::not_sent);
    EXPECT_EQ(describe(last_result(device.get())), "not sent");
    fake::script({.scsi_status = 2, .sense = fixed_sense(0x05, 0x20, 0x00), .residual = 16});
    uint32_t value = 0;
    send_result own;
    EXPECT_EQ(reg_read32(device.get(), 0xB35000C4, &value), 2);
    const send_result refused = last_result(device.get());
    EXPECT_EQ(describe(refused), "CHECK CONDITION 05/20/00 invalid command operation code");
    EXPECT_EQ(refused.residual, 4u);
    EXPECT_EQ(refused.transferred, 0u);
    EXPECT_EQ(std::memcmp(refused.sense, fixed_sense(0x05, 0x20, 0x00).data(), k_sense_len), 0);

    fake::script_ok();
    scsi_send(device.get(), vendor_cdb({.opcode = k_op_vendor_write, .sub = 0x4B}), nullptr, 0,
              data_direction::to_device, k_timeout_s, &own);
    const send_result good = last_result(device.get());
    EXPECT_EQ(good.category, result_category::good);
    EXPECT_EQ(std::memcmp(&own.sense, &good.sense, k_sense_len), 0);
    EXPECT_EQ(own.category, good.category);

    // A request that never goes out (negative length) is remembered as not sent.
    EXPECT_EQ(scsi_send(device.get(), cdb16{}, nullptr, -1, data_direction::to_device, k_timeout_s), -1);
    EXPECT_EQ(last_result(device.get()).category, result_category::not_sent);
    EXPECT_EQ(last_result(nullptr).category, result_category::not_sent);
}

// Fixed and descriptor sense, deferred errors, unknown response codes and key bits.
TEST(SenseDecode, BothFormatsAndNothingElse) {
    struct row {
        std::vector<uint8_t> head;  // the first bytes; the rest of the area is zero
        bool valid;
        uint8_t key, asc, ascq;
    } rows[] = {
        {{0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00}, true, 0x05, 0x24, 0x00},
        {{0xF1, 0, 0xE6, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x29, 0x01},
         true,
         0x06,
         0x29,
         0x01},  // valid bit, deferred, flag bits
        {{0x72, 0x03, 0x11, 0x00}, true, 0x03, 0x11, 0x00},
        {{0x73, 0x0B, 0x4B, 0x04}, true, 0x0B, 0x4B, 0x04},
        {{0x00, 0x05, 0x24, 0x00}, false, 0, 0, 0},
        {{0x7F, 0x05, 0x24, 0x00}, false, 0, 0, 0},
    };
    for (const row& r : rows) {
        uint8_t sense[k_sense_len] = {};
        std::memcpy(sense, r.head.data(), r.head.size());
        const sense_code code = decode_sense(sense);
        EXPECT_EQ(code.valid, r.valid) << int(r.head[0]);
        EXPECT_EQ(code.key, r.key) << int(r.head[0]);
        EXPECT_EQ(code.asc, r.asc) << int(r.head[0]);
        EXPECT_EQ(code.ascq, r.ascq) << int(r.head[0]);
    }
    EXPECT_FALSE(decode_sense(nullptr).valid);
}

TEST(SenseDecode, KeyNames) {
    EXPECT_STREQ(sense_key_name(0x00), "no sense");
    EXPECT_STREQ(sense_key_name(0x05), "illegal request");
    EXPECT_STREQ(sense_key_name(0x06), "unit attention");
    EXPECT_STREQ(sense_key_name(0x0C), "reserved");
    EXPECT_STREQ(sense_key_name(0x0F), "completed");
    EXPECT_STREQ(sense_key_name(0x10), "reserved");
    EXPECT_STREQ(sense_key_name(0xFF), "reserved");
}

// The order of precedence, without a device: status, then OS error, then residual.
TEST(Categorize, StatusThenOsErrorThenLength) {
    EXPECT_EQ(categorize(0, 0, false, 0), result_category::good);
    EXPECT_EQ(categorize(2, 31, true, 5), result_category::check_condition);
    EXPECT_EQ(categorize(8, 31, false, 5), result_category::scsi_status);
    EXPECT_EQ(categorize(0, 110, true, 5), result_category::time_out);
    EXPECT_EQ(categorize(0, 5, false, 5), result_category::os_error);
    EXPECT_EQ(categorize(0, 0, false, 1), result_category::short_answer);
    // The time-out flag only matters for an OS error.
    EXPECT_EQ(categorize(0, 0, true, 0), result_category::good);
}

}  // namespace
