// scsi_send and the bridge memory and register operations, checked on the wire.
#include <gtest/gtest.h>

#include <cstring>

#include "zelko/device/transport.h"
#include "tests/unit/bridge_command_fixture.h"

using namespace zelko;

namespace {

class Transport : public bridge_command_test {
protected:
    cmd_status send(const cdb16& cdb, void* buffer, int32_t length, uint8_t data_in, uint8_t* sense = nullptr) {
        const data_direction direction = data_in != 0 ? data_direction::from_device : data_direction::to_device;
        const cmd_status status = scsi_send(device.get(), cdb, buffer, length, direction, k_timeout_s, &last);
        if (sense != nullptr) std::memcpy(sense, last.sense, k_sense_len);
        EXPECT_EQ(last.status, status);
        return status;
    }
    send_result last;
};

// A zero-length command carries no buffer; an unaligned buffer goes through an aligned
// copy, in which exactly the request's bytes travel; an aligned one is used directly.
TEST_F(Transport, BuffersOnTheWire) {
    uint8_t unused[4] = {};
    fake::script_ok();
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE3, .sub = 0x3A}), unused, 0, 0), 0);
    EXPECT_TRUE(fake::requests().at(0).buffer_null);

    alignas(4) uint8_t storage[16];
    std::memset(storage, 0xEE, sizeof storage);
    fake::script_ok({1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2, .sub = 0x92, .length = 5}), storage + 1, 5, 1), 0);
    const uint8_t expected[16] = {0xEE, 1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, std::memcmp(storage, expected, sizeof storage));

    fake::script_ok();
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE3, .sub = 0x3D, .length = 3}), storage + 1, 3, 0), 0);

    alignas(4) uint8_t aligned[4] = {};
    fake::script_ok({9});
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2, .sub = 0xCB, .length = 1}), aligned, 1, 1), 0);
    EXPECT_EQ(aligned[0], 9);

    const auto& sent = fake::requests();
    ASSERT_EQ(sent.size(), 4u);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(sent[i].buffer_address % 4, 0u) << i;
        EXPECT_NE(sent[i].buffer_address, reinterpret_cast<uintptr_t>(storage + 1)) << i;
    }
    EXPECT_EQ(sent[3].buffer_address, reinterpret_cast<uintptr_t>(aligned));
    EXPECT_EQ(sent_blocks(),
              (std::vector<std::string>{"E3 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00 out 0",
                                        "E2 00 00 00 92 00 00 00 00 00 00 00 05 00 00 00 in 5",
                                        "E3 00 00 00 3D 00 00 00 00 00 00 00 03 00 00 00 out 3 data=01 02 03",
                                        "E2 00 00 00 CB 00 00 00 00 00 00 00 01 00 00 00 in 1"}));
}

TEST_F(Transport, GeneralFailureIsRetriedUpToFiveCalls) {
    struct retry_case {
        int failures;        // general failures before the final answer
        int final_os_error;  // 0: the final attempt succeeds; -1: no final answer
        size_t calls;
        cmd_status status;
    };
    const retry_case cases[] = {
        {0, 0, 1, 0},
        {4, 0, 5, 0},
        {5, -1, 5, fake::k_general_failure},
        {0, fake::k_access_denied, 1, fake::k_access_denied},
        {2, fake::k_access_denied, 3, fake::k_access_denied},
    };
    const cdb16 cdb = vendor_cdb({.opcode = 0xE3, .sub = 0x30});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.failures) + " failures, then " + std::to_string(c.final_os_error));
        next_case();
        fake::script_os_error(fake::k_general_failure, c.failures);
        if (c.final_os_error >= 0) fake::script({.os_error = c.final_os_error});
        EXPECT_EQ(send(cdb, nullptr, 0, 0), c.status);
        EXPECT_EQ(fake::requests().size(), c.calls);
        for (const auto& r : fake::requests()) EXPECT_EQ(fake::hex(r.cdb), fake::hex(cdb));
    }
}

// The SCSI status wins over an OS error; the sense is copied whatever failed, and a rejected
// read leaves the destination as it was. A negative length is refused unsent.
TEST_F(Transport, StatusSenseAndRefusedLengths) {
    fake::script(
        {.scsi_status = 2, .sense = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x20, 0x00, 0, 0, 0, 0, 0xAA}});
    uint8_t sense[18];
    std::memset(sense, 0xCC, sizeof sense);
    alignas(4) uint8_t data[4] = {7, 7, 7, 7};
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2, .sub = 0xFF, .length = 4}), data, 4, 1, sense), 2);
    EXPECT_EQ(sense[2], 0x05);
    EXPECT_EQ(sense[12], 0x20);
    EXPECT_EQ(sense[17], 0x00);
    EXPECT_EQ(data[0], 7);

    fake::script({.os_error = fake::k_access_denied, .scsi_status = 2});
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2}), nullptr, 0, 1), 2);
    fake::script({.os_error = fake::k_access_denied, .sense = {0x70, 0, 0x04}});
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2}), nullptr, 0, 1, sense), fake::k_access_denied);
    EXPECT_EQ(sense[2], 0x04);
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2}), data, -1, 1), -1);
    EXPECT_EQ(fake::requests().size(), 3u);
}

TEST_F(Transport, MemoryAndRegisterBlocks) {
    alignas(4) uint8_t buffer[96] = {};
    uint32_t value = 0;
    uint8_t flag = 0;
    fake::script_ok(std::vector<uint8_t>(96, 0x5A));
    EXPECT_EQ(mem_read(device.get(), 0xAC004000, buffer, 96), 0);
    fake::script_ok({0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(reg_read32(device.get(), 0xB37000C4, &value), 0);
    EXPECT_EQ(value, 0x12345678u);
    fake::script_ok();
    EXPECT_EQ(reg_write32(device.get(), 0xB3500094, 0, 0x12345678), 0);
    fake::script_ok({1});
    EXPECT_EQ(xfer_flag_get(device.get(), &flag), 0);
    EXPECT_EQ(flag, 1);
    fake::script_ok();
    EXPECT_EQ(xfer_flag_set(device.get(), 0), 0);
    fake::script_ok({0x00, 0x00, 0x01, 0x00});
    EXPECT_EQ(max_xfer_get(device.get(), &value), 0);
    EXPECT_EQ(value, 0x10000u);
    EXPECT_EQ(sent_blocks(), (std::vector<std::string>{
                                 "E2 00 00 00 92 00 00 00 00 40 00 AC 60 00 00 00 in 96",
                                 "E2 00 00 00 A2 00 00 00 C4 00 70 B3 04 00 00 00 in 4",
                                 "E3 00 00 00 23 00 00 00 94 00 50 B3 04 00 00 00 out 4 data=78 56 34 12",
                                 "E2 00 00 00 CB 00 00 00 00 00 00 00 01 00 00 00 in 1",
                                 "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=00",
                                 "E2 00 00 00 CA 00 00 00 02 00 00 00 04 00 00 00 in 4",
                             }));

    // Failed reads leave the destination untouched.
    value = 0xDEADBEEF;
    flag = 0x77;
    fake::script({.scsi_status = 2});
    EXPECT_EQ(reg_read32(device.get(), 0xB37000C4, &value), 2);
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(xfer_flag_get(device.get(), &flag), fake::k_access_denied);
    fake::script({.scsi_status = 2});
    EXPECT_EQ(max_xfer_get(device.get(), &value), 2);
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(flag, 0x77);
}

// The result record carries the port's residual and the bytes moved, for a direct and for
// a bounced buffer; a request refused before sending reports nothing moved. Reads decoded
// at fixed offsets fail on a short answer and leave their destination untouched.
TEST_F(Transport, ResidualAndShortAnswers) {
    alignas(4) uint8_t storage[12] = {};
    for (uint8_t* buffer : {storage, storage + 1}) {
        fake::script({.data = {1, 2, 3}, .residual = 5});
        EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2, .sub = 0xB8, .length = 8}), buffer, 8, 1), 0);
        EXPECT_EQ(last.residual, 5u);
        EXPECT_EQ(last.transferred, 3u);
    }
    fake::script({.scsi_status = 2, .sense = {0x70, 0, 5}, .residual = 8});
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2, .sub = 0xB8, .length = 8}), storage, 8, 1), 2);
    EXPECT_EQ(last.scsi_status, 2);
    EXPECT_EQ(last.sense[2], 5);
    EXPECT_EQ(last.transferred, 0u);
    // A port that claims more than the length moved nothing more than the length.
    fake::script({.residual = 99});
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2, .sub = 0xB8, .length = 4}), storage, 4, 1), 0);
    EXPECT_EQ(last.residual, 4u);
    EXPECT_EQ(send(vendor_cdb({.opcode = 0xE2}), nullptr, -1, 1), -1);
    EXPECT_EQ(last.status, -1);

    uint32_t value = 0xDEADBEEF;
    uint8_t flag = 0x77;
    fake::script({.data = {1, 2}, .residual = 2});
    EXPECT_EQ(reg_read32(device.get(), 0xB37000C4, &value), k_status_short_answer);
    fake::script({.residual = 1});
    EXPECT_EQ(xfer_flag_get(device.get(), &flag), k_status_short_answer);
    fake::script({.data = {0, 0, 1}, .residual = 1});
    EXPECT_EQ(max_xfer_get(device.get(), &value), k_status_short_answer);
    fake::script({.data = std::vector<uint8_t>(11), .residual = 1});
    EXPECT_EQ(mem_read(device.get(), 0xAC004000, storage, 12), k_status_short_answer);
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(flag, 0x77);
}

}  // namespace
