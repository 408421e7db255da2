// The PG commands on a scripted bridge: the blocks of the sector read, the flash write
// and the read-back, the retries, and every printed line.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli/commands/pg.h"
#include "zelko/pg/pg_write.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

const std::string k_read = "E2 00 00 00 92 00 00 00 00 40 00 AC 00 10 00 00 in 4096";
const std::string k_address = "E3 00 00 00 10 00 00 00 00 40 00 8C 04 00 00 00 out 4 data=00 40 00 8C";
const std::string k_write = "E3 00 00 00 11 00 00 00 00 00 00 00 00 10 00 00 out 4096";

using bytes = std::vector<uint8_t>;

// A PG sector: a boot header half that a PG write must keep, then the record.
bytes sector(const bytes& record_head) {
    bytes s(k_pg_sector_len, 0);
    for (size_t i = 0; i < k_pg_record_offset; ++i) s[i] = static_cast<uint8_t>(i * 13 + 1);
    std::copy(record_head.begin(), record_head.end(), s.begin() + k_pg_record_offset);
    return s;
}

class PgCommands : public bridge_command_test {
protected:
    static fake::answer with(const bytes& record_head) { return ok(sector(record_head)); }
    // The blocks of a commit that writes `writes` times.
    static std::vector<std::string> commit_blocks(int writes) {
        std::vector<std::string> blocks = {k_read};  // the value edit's read
        blocks.push_back(k_read);                    // the commit's read
        for (int i = 0; i < writes; ++i) {
            if (i != 0) blocks.push_back(k_read);
            blocks.insert(blocks.end(), {k_address, k_write, k_read});
        }
        return blocks;
    }
};

TEST_F(PgCommands, Getters) {
    const bytes invalid = {200, 5, 3, 1, 2, 4, 1, 2, 27, 1, 7, 4, 3, 'A', 0};
    const bytes full = {7, 8, 3, 'S', 0, 'N', 0, '1', 0, 3, 0x34, 0x12, 4, 0x78, 0x56, 27, 6};
    run_cases(cmd_pg_get_vid, "pg_get_vid",
              {{{}, {with(full)}, "vid = 1234\n", {k_read}},
               {{}, {with({})}, "vid = 0000\n"},
               {{}, {with(invalid)}, "pg_get_vid failed. (-1)\n"},
               {{}, {check_condition()}, "pg_get_vid failed. (2)\n"},
               {{}, {access_denied()}, "pg_get_vid failed. (5)\n"},
               {{}, {fake::answer{.data = bytes(100, 0), .residual = 3996}}, "pg_get_vid failed. (-1)\n"}});
    run_cases(cmd_pg_get_pid, "pg_get_pid",
              {{{}, {with(full)}, "pid = 5678\n", {k_read}},
               {{}, {with({4, 0xAB, 0x00})}, "pid = 00ab\n"},
               {{}, {with(invalid)}, "pg_get_pid failed. (-1)\n"},
               {{}, {check_condition()}, "pg_get_pid failed. (2)\n"}});
    run_cases(cmd_pg_get_usb_speed, "pg_get_usb_speed",
              {{{}, {with(full)}, "pg usb speed: 6\n", {k_read}},
               {{}, {with({27, 3})}, "pg usb speed: 3\n"},
               {{}, {with({})}, "pg usb speed: 0\n"},
               {{}, {with(invalid)}, "pg_get_usb_speed failed. (-1)\n"},
               {{}, {check_condition()}, "pg_get_usb_speed failed. (2)\n"}});
    bytes long_serial = {7, 82, 3};
    for (int i = 0; i < 40; ++i) long_serial.insert(long_serial.end(), {static_cast<uint8_t>('a' + i % 26), 0});
    run_cases(cmd_pg_get_sn, "pg_get_sn",
              {{{}, {with(full)}, "sn: SN1\n", {k_read}},
               {{}, {with({})}, "sn: \n"},
               {{}, {with({7, 2, 3})}, "sn: \n"},
               {{}, {with(long_serial)}, "sn: abcdefghijklmnopqrstuvwxyzabcde\n"},
               {{}, {with(invalid)}, "pg_get_sn failed. (-1)\n"},
               {{}, {check_condition()}, "pg_get_sn failed. (2)\n"}});
}

TEST_F(PgCommands, ReadPrintsTheReport) {
    fake::script(
        with({3, 0x6b, 0x1d, 4, 0x04, 0x01, 6, 6, 3, 'M', 0, 'C', 0, 12, 'V', 'e', 'n', 'd', ' ', ' ', ' ', ' '}));
    const std::string out = run(cmd_pg_read, "pg_read");
    EXPECT_EQ(sent_blocks(), std::vector<std::string>{k_read});
    EXPECT_EQ(out.substr(0, 77), "\n\nPrint PGINFO:\n\n                 VID = 0x1d6b\n                 PID = 0x0104\n");
    EXPECT_NE(out.find("         MANUFACTURE = MC\n"), std::string::npos);
    EXPECT_NE(out.find("         SCSI_VENDOR = Vend    \n"), std::string::npos);
    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_pg_read, "pg_read"), "pg_read failed. (2)\n");
    next_case();
    bytes past(k_pg_record_len - 1, 9);
    for (size_t i = 1; i < past.size(); i += 2) past[i] = 0;
    past.back() = 41;  // a 4-byte value in the record's last byte
    fake::script(with(past));
    EXPECT_EQ(run(cmd_pg_read, "pg_read"), "pg_read failed. (-1)\n");
}

// pg_set_vid reads the record, moves the VID entry to its end and commits: the sector
// goes back with its boot header as read, then is read back.
TEST_F(PgCommands, SetVidMovesTheEntryToTheEnd) {
    const bytes before = {3, 0x34, 0x12, 27, 5, 9, 1};
    const bytes after = {27, 5, 9, 1, 3, 0xCD, 0xAB};
    fake::script(with(before));
    fake::script(with(before));
    fake::script_ok();
    fake::script_ok();
    fake::script(with(after));
    EXPECT_EQ(run(cmd_pg_set_vid, "pg_set_vid", {"abcd"}), "pg_set_vid ok\n");
    EXPECT_EQ(sent_blocks(), commit_blocks(1));
    EXPECT_EQ(data_out(3), sector(after));
}

TEST_F(PgCommands, ReadBackRetries) {
    const bytes pid = {4, 0x34, 0x12};
    const bytes wrong = {4, 0x34, 0x13};
    // Three mismatches, then a match: four writes, success.
    for (int mismatches : {0, 1, 3}) {
        SCOPED_TRACE(mismatches);
        next_case();
        fake::script(with({}));
        fake::script(with({}));
        for (int i = 0; i < mismatches; ++i) {
            fake::script_ok();
            fake::script_ok();
            fake::script(with(wrong));
            fake::script(with(wrong));  // the sector read before the next attempt
        }
        fake::script_ok();
        fake::script_ok();
        fake::script(with(pid));
        EXPECT_EQ(run(cmd_pg_set_pid, "pg_set_pid", {"0x1234"}), "pg_set_pid ok\n");
        EXPECT_EQ(sent_blocks(), commit_blocks(mismatches + 1));
        EXPECT_EQ(data_out(sent_blocks().size() - 2), sector(pid));
    }
    // Four mismatches: failure after four writes.
    next_case();
    fake::script(with({}));
    fake::script(with({}));
    for (int i = 0; i < 4; ++i) {
        if (i != 0) fake::script(with(wrong));
        fake::script_ok();
        fake::script_ok();
        fake::script(with(wrong));
    }
    EXPECT_EQ(run(cmd_pg_set_pid, "pg_set_pid", {"1234"}), "pg_set_pid fail\n");
    EXPECT_EQ(sent_blocks(), commit_blocks(4));
}

TEST_F(PgCommands, SetFailures) {
    const bytes full_of_led = [] {
        bytes r(k_pg_record_len, 0);
        for (size_t p = 0; p < r.size(); p += 2) r[p] = 9;
        return r;
    }();
    run_cases(cmd_pg_set_vid, "pg_set_vid",
              {{{"1"}, {check_condition()}, "pg_set_vid fail\n"},
               {{"1"}, {with({200, 5})}, "pg_set_vid fail\n", {k_read}},
               {{"1"}, {with(full_of_led)}, "pg_set_vid fail\n", {k_read}},
               {{"1"}, {with({}), with({}), check_condition()}, "pg_set_vid fail\n", {k_read, k_read, k_address}},
               {{"1"},
                {with({}), with({}), ok(), check_condition()},
                "pg_set_vid fail\n",
                {k_read, k_read, k_address, k_write}},
               {{"1"}, {with({}), with({}), ok(), ok(), check_condition()}, "pg_set_vid fail\n"}});
    // The speed setter reports a failed write and is silent on success.
    run_cases(cmd_pg_set_usb_speed, "pg_set_usb_speed",
              {{{"5"}, {check_condition()}, "pg_set_usb_speed fail\n"},
               {{"261"}, {with({}), with({}), ok(), ok(), with({27, 5})}, "", commit_blocks(1)}});
    // A full record that holds the tag: the removal frees the room.
    bytes with_speed = full_of_led;
    with_speed[0] = 27;
    with_speed[1] = 3;
    bytes moved(full_of_led.begin() + 2, full_of_led.end());
    moved.insert(moved.end(), {27, 6});
    run_cases(cmd_pg_set_usb_speed, "pg_set_usb_speed",
              {{{"6"}, {with(with_speed), with(with_speed), ok(), ok(), with(moved)}, ""}});
}

TEST_F(PgCommands, SetSerial) {
    const bytes before = {7, 4, 3, 'X', 0, 3, 1, 2, 7, 4, 3, 'Y', 0};
    const bytes after = {3, 1, 2, 7, 8, 3, 'A', 0, 'B', 0, 'C', 0};
    run_cases(cmd_pg_set_sn, "pg_set_sn",
              {{{"ABC"}, {with(before), with(before), ok(), ok(), with(after)}, "", commit_blocks(1)},
               {{std::string(31, 's')}, {}, "set sn fail\n"},
               {{"ABC"}, {check_condition()}, "set sn fail\n"},
               {{"ABC"}, {with({200, 1})}, "set sn fail\n", {k_read}}});
    // Thirty characters make a 62-byte descriptor.
    bytes thirty = {7, 62, 3};
    for (int i = 0; i < 30; ++i) thirty.insert(thirty.end(), {'z', 0});
    run_cases(cmd_pg_set_sn, "pg_set_sn",
              {{{std::string(30, 'z')}, {with({}), with({}), ok(), ok(), with(thirty)}, "", commit_blocks(1)}});
}

TEST_F(PgCommands, WriteFromAFile) {
    const std::string path = testing::TempDir() + "pg_commands_test.conf";
    std::ofstream(path) << "; test\nVID = 0x1234\nPRODUCT = \"Disk\"\nLED = 1\n";
    const bytes record = {3, 0x34, 0x12, 5, 10, 3, 'D', 0, 'i', 0, 's', 0, 'k', 0, 9, 1};
    // The previous record (a USB speed entry) is gone after the write.
    run_cases(cmd_pg_write, "pg_write",
              {{{path}, {with({27, 5}), ok(), ok(), with(record)}, "", {k_read, k_address, k_write, k_read}},
               {{path}, {check_condition()}, "pg_write failed. (2)\n"},
               {{path + ".missing"}, {}, "pg_write failed. (-1)\n"}});
    std::ofstream(path) << "VID = 0x1234";
    run_cases(cmd_pg_write, "pg_write", {{{path}, {}, "pg_write failed. (-1)\n"}});
    std::remove(path.c_str());
}

TEST_F(PgCommands, FlashWriteLengths) {
    const bytes data(8192, 0x5A);
    for (size_t length : {size_t{0}, size_t{100}, size_t{4097}})
        EXPECT_EQ(flash_write(device.get(), 0x8C000000, data.data(), length), -1);
    fake::script_ok();
    fake::script_ok();
    EXPECT_EQ(flash_write(device.get(), 0x8C010000, data.data(), 8192), 0);
    EXPECT_EQ(sent_blocks(),
              (std::vector<std::string>{"E3 00 00 00 10 00 00 00 00 00 01 8C 04 00 00 00 out 4 data=00 00 01 8C",
                                        "E3 00 00 00 11 00 00 00 00 00 00 00 00 20 00 00 out 8192"}));
}

}  // namespace
