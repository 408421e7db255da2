// Runs command handlers of the bridge families on a scripted device and checks the
// blocks they sent.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "zelko/device/discovery.h"
#include "tests/unit/fake_port.h"

namespace zelko {

// One run of a command: the words after the device path, the device's answers in order,
// what the command prints and, when given, every block it sends (see sent_blocks). The
// script pins the number of blocks either way: an answer left over or a block beyond the
// script fails the case.
struct command_case {
    std::vector<std::string> args;
    std::vector<fake::answer> answers;
    std::string output;
    std::vector<std::string> blocks = {};
};

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
        ctx.led = led_record;
        testing::internal::CaptureStdout();
        handler(ctx);
        std::string out = testing::internal::GetCapturedStdout();
        for (size_t i = 0; i < words.size(); ++i) EXPECT_STREQ(argv[i], before[i].c_str()) << "argv changed";
        return out;
    }

    // Runs each case on a fresh device.
    void run_cases(command_handler handler, const std::string& command, const std::vector<command_case>& cases) {
        for (const command_case& c : cases) {
            std::string words = command;
            for (const std::string& arg : c.args) words += " '" + arg.substr(0, 40) + "'";
            SCOPED_TRACE(words);
            next_case();
            for (const fake::answer& a : c.answers) fake::script(a);
            EXPECT_EQ(run(handler, command, c.args), c.output);
            if (!c.blocks.empty()) {
                EXPECT_EQ(sent_blocks(), c.blocks);
            }
        }
    }

    // Every block sent, as "<cdb> in <length>" or "<cdb> out <length>", with
    // " data=<bytes>" for data-out blocks of at most 32 bytes.
    static std::vector<std::string> sent_blocks() {
        std::vector<std::string> lines;
        for (const fake::sent_request& r : fake::requests()) {
            std::string line = fake::hex(r.cdb) + (r.data_in ? " in " : " out ") + std::to_string(r.length);
            if (!r.data_in && r.length != 0 && r.length <= 32) {
                line += " data=" + fake::hex(r.data_out.data(), r.data_out.size());
            }
            lines.push_back(line);
        }
        return lines;
    }

    static std::vector<uint8_t> data_out(size_t index) { return fake::requests().at(index).data_out; }

    static fake::answer ok(const std::vector<uint8_t>& data = {}) { return fake::answer{.data = data}; }
    // `data`, the first bytes of a data-in phase of `length` bytes: the rest never came.
    static fake::answer ok_short(const std::vector<uint8_t>& data, uint32_t length) {
        fake::answer a{.data = data};
        a.residual = length - static_cast<uint32_t>(data.size());
        return a;
    }
    static fake::answer check_condition() { return fake::answer{.scsi_status = 2}; }
    static fake::answer access_denied() { return fake::answer{.os_error = fake::k_access_denied}; }

    bridge_dev_ptr device;
    led_mem_dev* led_record = nullptr;  // the LED image handed to LED commands

private:
    void open_device() {
        fake::add_device({.path = k_path});
        device = dev_open(k_path);
        ASSERT_TRUE(device);
    }
};

}  // namespace zelko
