// scsi_send and the bridge memory and register operations, checked on the wire.
#include <gtest/gtest.h>

#include <cstring>

#include "device/discovery.h"
#include "device/transport.h"
#include "tests/unit/fake_port.h"

namespace {

constexpr const char* k_path = "\\\\.\\PhysicalDrive1";

class Transport : public fake_port_test {
protected:
    void SetUp() override {
        fake_port_test::SetUp();
        fake::add_device({.path = k_path});
        dev = dev_open(k_path);
        ASSERT_TRUE(dev);
    }
    void TearDown() override {
        dev.reset();
        fake_port_test::TearDown();
    }
    bridge_dev_ptr dev;
};

TEST_F(Transport, ZeroLengthCommandCarriesNoBuffer) {
    fake::script_ok();
    cdb16 cdb = vendor_cdb({.opcode = 0xE3, .sub = 0x3A});
    uint8_t unused[4] = {};
    EXPECT_EQ(scsi_send(dev.get(), cdb, unused, 0, 0, k_timeout_s, nullptr), 0);
    ASSERT_EQ(fake::requests().size(), 1u);
    const auto& sent = fake::requests()[0];
    EXPECT_FALSE(sent.data_in);
    EXPECT_EQ(sent.length, 0u);
    EXPECT_TRUE(sent.buffer_null);
}

TEST_F(Transport, UnalignedDataInGoesThroughAnAlignedBounceBuffer) {
    fake::script_ok({1, 2, 3, 4, 5, 6, 7, 8});
    alignas(4) uint8_t storage[16];
    std::memset(storage, 0xEE, sizeof storage);
    uint8_t* odd = storage + 1;
    cdb16 cdb = vendor_cdb({.opcode = 0xE2, .sub = 0x92, .length = 5});
    EXPECT_EQ(scsi_send(dev.get(), cdb, odd, 5, 1, k_timeout_s, nullptr), 0);
    const auto& sent = fake::requests().at(0);
    EXPECT_EQ(sent.buffer_address % 4, 0u);
    EXPECT_NE(sent.buffer_address, reinterpret_cast<uintptr_t>(odd));
    EXPECT_EQ(sent.length, 5u);
    // Exactly five bytes come back; the neighbours stay as they were.
    const uint8_t expected[16] = {0xEE, 1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, std::memcmp(storage, expected, sizeof storage));
}

TEST_F(Transport, UnalignedDataOutIsCopiedBeforeSendingAndNotBack) {
    fake::script_ok();
    alignas(4) uint8_t storage[8] = {0, 0x11, 0x22, 0x33, 0, 0, 0, 0};
    cdb16 cdb = vendor_cdb({.opcode = 0xE3, .sub = 0x3D, .length = 3});
    EXPECT_EQ(scsi_send(dev.get(), cdb, storage + 1, 3, 0, k_timeout_s, nullptr), 0);
    const auto& sent = fake::requests().at(0);
    EXPECT_EQ(sent.buffer_address % 4, 0u);
    EXPECT_EQ(sent.data_out, (std::vector<uint8_t>{0x11, 0x22, 0x33}));
}

TEST_F(Transport, AlignedBufferIsUsedDirectly) {
    fake::script_ok({9});
    alignas(4) uint8_t buffer[4] = {};
    cdb16 cdb = vendor_cdb({.opcode = 0xE2, .sub = 0xCB, .length = 1});
    EXPECT_EQ(scsi_send(dev.get(), cdb, buffer, 1, 1, k_timeout_s, nullptr), 0);
    EXPECT_EQ(fake::requests().at(0).buffer_address, reinterpret_cast<uintptr_t>(buffer));
    EXPECT_EQ(buffer[0], 9);
}

struct retry_case {
    const char* name;
    int failures;          // general failures before the final answer
    int final_os_error;    // 0: the final attempt succeeds
    size_t calls;
    cmd_status status;
};

TEST_F(Transport, GeneralFailureIsRetriedUpToFiveCalls) {
    const retry_case cases[] = {
        {"success at once", 0, 0, 1, 0},
        {"four failures then success", 4, 0, 5, 0},
        {"five failures", 5, -1, 5, fake::k_general_failure},
        {"access denied is final", 0, fake::k_access_denied, 1, fake::k_access_denied},
        {"general failure then access denied", 2, fake::k_access_denied, 3, fake::k_access_denied},
    };
    dev.reset();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::add_device({.path = k_path});
        bridge_dev_ptr d = dev_open(k_path);
        fake::script_os_error(fake::k_general_failure, c.failures);
        if (c.final_os_error > 0) fake::script_os_error(c.final_os_error);
        if (c.final_os_error == 0) fake::script_ok();
        cdb16 cdb = vendor_cdb({.opcode = 0xE3, .sub = 0x30});
        EXPECT_EQ(scsi_send(d.get(), cdb, nullptr, 0, 0, k_timeout_s, nullptr), c.status);
        EXPECT_EQ(fake::requests().size(), c.calls);
        for (const auto& r : fake::requests()) EXPECT_EQ(fake::hex(r.cdb), fake::hex(cdb));
        EXPECT_EQ(fake::unused_answers(), 0u);
        d.reset();
    }
    fake::reset();
    fake::add_device({.path = k_path});
    dev = dev_open(k_path);
}

TEST_F(Transport, ScsiStatusWinsAndSenseIsCopied) {
    fake::script({.scsi_status = 2, .sense = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x20, 0x00, 0, 0, 0, 0, 0xAA}});
    uint8_t sense[18];
    std::memset(sense, 0xCC, sizeof sense);
    alignas(4) uint8_t data[4] = {7, 7, 7, 7};
    cdb16 cdb = vendor_cdb({.opcode = 0xE2, .sub = 0xFF, .length = 4});
    EXPECT_EQ(scsi_send(dev.get(), cdb, data, 4, 1, k_timeout_s, sense), 2);
    EXPECT_EQ(sense[2], 0x05);
    EXPECT_EQ(sense[12], 0x20);
    EXPECT_EQ(sense[13], 0x00);
    EXPECT_EQ(sense[17], 0x00);
    // A rejected read leaves the destination as it was.
    EXPECT_EQ(data[0], 7);
}

TEST_F(Transport, ScsiStatusTakesPrecedenceOverOsError) {
    fake::script({.os_error = fake::k_access_denied, .scsi_status = 2});
    EXPECT_EQ(scsi_send(dev.get(), vendor_cdb({.opcode = 0xE2}), nullptr, 0, 1, k_timeout_s, nullptr), 2);
}

TEST_F(Transport, SenseIsCopiedAlsoAfterAFailedRequest) {
    fake::script({.os_error = fake::k_access_denied, .sense = {0x70, 0, 0x04}});
    uint8_t sense[18] = {};
    EXPECT_EQ(scsi_send(dev.get(), vendor_cdb({.opcode = 0xE2}), nullptr, 0, 1, k_timeout_s, sense),
              fake::k_access_denied);
    EXPECT_EQ(sense[2], 0x04);
}

TEST_F(Transport, NegativeLengthIsRefusedWithoutSending) {
    uint8_t buffer[4] = {};
    EXPECT_EQ(scsi_send(dev.get(), vendor_cdb({.opcode = 0xE2}), buffer, -1, 1, k_timeout_s, nullptr), -1);
    EXPECT_TRUE(fake::requests().empty());
}

struct block_case {
    const char* name;
    std::string cdb;
    bool data_in;
    uint32_t length;
    std::vector<uint8_t> data_out;
};

TEST_F(Transport, MemoryAndRegisterBlocks) {
    alignas(4) uint8_t buffer[96] = {};
    uint32_t value = 0;
    uint8_t flag = 0;

    fake::script_ok(std::vector<uint8_t>(96, 0x5A));
    EXPECT_EQ(mem_read(dev.get(), 0xAC004000, buffer, 96), 0);
    fake::script_ok({0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(reg_read32(dev.get(), 0xB37000C4, &value), 0);
    EXPECT_EQ(value, 0x12345678u);
    fake::script_ok();
    EXPECT_EQ(reg_write32(dev.get(), 0xB3500094, 0, 0x12345678), 0);
    fake::script_ok({1});
    EXPECT_EQ(xfer_flag_get(dev.get(), &flag), 0);
    EXPECT_EQ(flag, 1);
    fake::script_ok();
    EXPECT_EQ(xfer_flag_set(dev.get(), 0), 0);
    fake::script_ok({0x00, 0x00, 0x01, 0x00});
    EXPECT_EQ(max_xfer_get(dev.get(), &value), 0);
    EXPECT_EQ(value, 0x10000u);

    const block_case expected[] = {
        {"mem_read", "E2 00 00 00 92 00 00 00 00 40 00 AC 60 00 00 00", true, 96, {}},
        {"reg_read32", "E2 00 00 00 A2 00 00 00 C4 00 70 B3 04 00 00 00", true, 4, {}},
        {"reg_write32", "E3 00 00 00 23 00 00 00 94 00 50 B3 04 00 00 00", false, 4, {0x78, 0x56, 0x34, 0x12}},
        {"xfer_flag_get", "E2 00 00 00 CB 00 00 00 00 00 00 00 01 00 00 00", true, 1, {}},
        {"xfer_flag_set", "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00", false, 1, {0x00}},
        {"max_xfer_get", "E2 00 00 00 CA 00 00 00 02 00 00 00 04 00 00 00", true, 4, {}},
    };
    ASSERT_EQ(fake::requests().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        const auto& sent = fake::requests()[i];
        EXPECT_EQ(fake::hex(sent.cdb), expected[i].cdb);
        EXPECT_EQ(sent.data_in, expected[i].data_in);
        EXPECT_EQ(sent.length, expected[i].length);
        EXPECT_EQ(sent.data_out, expected[i].data_out);
    }
}

TEST_F(Transport, FailedReadsLeaveTheDestinationUntouched) {
    uint32_t value = 0xDEADBEEF;
    uint8_t flag = 0x77;
    fake::script({.scsi_status = 2});
    EXPECT_EQ(reg_read32(dev.get(), 0xB37000C4, &value), 2);
    fake::script_os_error(fake::k_access_denied);
    EXPECT_EQ(xfer_flag_get(dev.get(), &flag), fake::k_access_denied);
    fake::script({.scsi_status = 2});
    EXPECT_EQ(max_xfer_get(dev.get(), &value), 2);
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(flag, 0x77);
}

}  // namespace
