// A scripted port for unit tests: it records every request and answers each from a
// queue of scripted answers. A test fails when it sent more or fewer requests than
// were scripted (see fake_port_test).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zelko/device/port.h"
#include "zelko/device/transport.h"

namespace zelko {

namespace fake {

struct answer {
    int os_error = 0;  // nonzero: the request fails with this OS error
    uint8_t scsi_status = 0;
    std::vector<uint8_t> data;   // data-in bytes handed back (at most the request length)
    std::vector<uint8_t> sense;  // sense bytes (at most 32)
    uint32_t residual = 0;       // data-phase bytes reported as not transferred
};

struct sent_request {
    std::string path;
    cdb16 cdb{};
    bool data_in = false;
    uint32_t length = 0;
    std::vector<uint8_t> data_out;  // the bytes a data-out request carried
    uintptr_t buffer_address = 0;
    bool buffer_null = true;
};

// Paths that open, and the answer of their bus-type question.
struct device_entry {
    std::string path;
    bool usb = true;
};

void reset();
void add_device(const device_entry& device);
void set_candidates(const std::vector<port_candidate_path>& candidates);
void script(const answer& a);
void script_ok(const std::vector<uint8_t>& data = {});
void script_os_error(int os_error, int times = 1);

const std::vector<sent_request>& requests();
// OPEN/QUERY/CLOSE events, one string each ("OPEN path ok", "CLOSE path", ...).
const std::vector<std::string>& events();
size_t unused_answers();
size_t unexpected_requests();
int open_handles();

// The OS error the fake treats as the retried general failure.
constexpr int k_general_failure = 31;
constexpr int k_access_denied = 5;
// The OS error the fake treats as a time-out.
constexpr int k_time_out = 121;

std::string hex(const uint8_t* bytes, size_t count);
std::string hex(const cdb16& cdb);

}  // namespace fake

// Base fixture: resets the fake before each test and checks, after it, that every
// scripted answer was used, no request went unanswered and every handle was closed.
class fake_port_test : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override {
        EXPECT_EQ(fake::unused_answers(), 0u) << "scripted answers left unused";
        EXPECT_EQ(fake::unexpected_requests(), 0u) << "requests beyond the script";
        EXPECT_EQ(fake::open_handles(), 0) << "handles left open";
    }
};

}  // namespace zelko
