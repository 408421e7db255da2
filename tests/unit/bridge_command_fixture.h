// Runs command handlers of the bridge families on a scripted device and checks the
// blocks they sent.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "device/discovery.h"
#include "tests/unit/fake_port.h"

class bridge_command_test : public fake_port_test {
protected:
    static constexpr const char* k_path = "\\\\.\\PhysicalDrive1";

    void SetUp() override {
        fake_port_test::SetUp();
        open_device();
    }

    void TearDown() override {
        device.reset();
        fake_port_test::TearDown();
    }

    // Starts a fresh case inside a table-driven test: every answer of the previous case
    // must have been used, then the fake and the device start over.
    void next_case() {
        EXPECT_EQ(fake::unused_answers(), 0u) << "scripted answers left unused";
        EXPECT_EQ(fake::unexpected_requests(), 0u) << "requests beyond the script";
        device.reset();
        fake::reset();
        open_device();
    }

    // Runs `handler` as the command line "mvbridge <command> <path> <args...>" and
    // returns what it printed. The words are checked to be unchanged afterwards.
    std::string run(command_handler handler, const std::string& command, const std::vector<std::string>& args = {}) {
        std::vector<std::string> words = {"mvbridge", command, k_path};
        words.insert(words.end(), args.begin(), args.end());
        const std::vector<std::string> before = words;
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);

        command_context ctx;
        ctx.argc = static_cast<int>(words.size());
        ctx.argv = argv.data();
        ctx.device = &device;
        testing::internal::CaptureStdout();
        handler(ctx);
        std::string out = testing::internal::GetCapturedStdout();
        for (size_t i = 0; i < words.size(); ++i) EXPECT_STREQ(argv[i], before[i].c_str()) << "argv changed";
        return out;
    }

    // Checks request `index`: its command block, direction and data length.
    static void expect_block(size_t index, const std::string& cdb, bool data_in, uint32_t length) {
        const auto& sent = fake::requests();
        ASSERT_LT(index, sent.size()) << "request " << index << " was not sent";
        EXPECT_EQ(fake::hex(sent[index].cdb), cdb) << "request " << index;
        EXPECT_EQ(sent[index].data_in, data_in) << "request " << index;
        EXPECT_EQ(sent[index].length, length) << "request " << index;
    }

    static std::vector<uint8_t> data_out(size_t index) { return fake::requests().at(index).data_out; }

    static fake::answer check_condition() { return fake::answer{.scsi_status = 2}; }

    bridge_dev_ptr device;

private:
    void open_device() {
        fake::add_device({.path = k_path});
        device = dev_open(k_path);
        ASSERT_TRUE(device);
    }
};
