// The UART commands on a lab bridge: what they print, the blocks they send, and what the
// bridge keeps of them.
#include <string>

#include "lab_fixture.h"
#include "vendor_block_lines.h"

namespace {

class uart_e2e : public bridge_lab_test {
protected:
    lines uart_blocks() { return vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4E", "38", "BA", "B8", "3A"}); }
    std::string pins(const std::string& key) { return shown("PhysicalDrive1", "pins", key); }
    void feed(const std::string& bytes) { lab_ok({"set", "PhysicalDrive1", "uart_rx", bytes}); }

    const std::string path_ = drive_path(1);
    const std::string count_line_ =
        "CMD PhysicalDrive1 E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0";
};

// The pin keeps its low 8 bits; a malformed baud rate parses as 0, which the bridge refuses.
TEST_F(uart_e2e, uart_init_sets_the_receive_pin_and_baud_rate) {
    EXPECT_EQ(run({"uart_init", path_, "5", "fast"}), "uart_init fail\n");
    EXPECT_EQ(run({"uart_init", path_, "32", "9600"}), "uart_init fail\n");
    EXPECT_EQ(pins("uart_receiver"), "not set up");
    clear_trace();
    EXPECT_EQ(run({"uart_init", path_, "261", "115200"}), "uart_init ok\n");
    EXPECT_EQ(uart_blocks(),
              lines{"CMD PhysicalDrive1 E3 00 00 00 4E 00 00 00 00 C2 01 00 01 00 00 00 out 1 status=0 err=0 data=05"});
    EXPECT_EQ(pins("uart_receiver"), "pin 5 at 115200 baud");
}

// Transmitted text is kept with its pin and baud rate; an empty text is a zero-length
// block, and nothing is printed either way.
TEST_F(uart_e2e, transmitted_text_is_shown_with_pin_and_baud_rate) {
    EXPECT_EQ(run({"uart_tx", path_, "3", "115200", ""}), "");
    EXPECT_EQ(pins("uart_tx"), "nothing sent");
    EXPECT_EQ(run({"uart_tx", path_, "3", "115200", "hello world"}), "");
    EXPECT_EQ(run({"uart_tx", path_, "4", "9600", "say \"hi\""}), "");
    EXPECT_EQ(uart_blocks(),
              (lines{"CMD PhysicalDrive1 E3 00 00 00 38 83 00 00 00 C2 01 00 00 00 00 00 out 0 status=0 "
                     "err=0",
                     "CMD PhysicalDrive1 E3 00 00 00 38 83 00 00 00 C2 01 00 0B 00 00 00 out 11 status=0 "
                     "err=0 data=68 65 6C 6C 6F 20 77 6F 72 6C 64",
                     "CMD PhysicalDrive1 E3 00 00 00 38 84 00 00 80 25 00 00 08 00 00 00 out 8 status=0 "
                     "err=0 data=73 61 79 20 22 68 69 22"}));
    EXPECT_EQ(pins("uart_tx"), "pin 3 at 115200 baud \"hello world\"; pin 4 at 9600 baud \"say \\\"hi\\\"\"");
}

// Received bytes are counted, read one line each and leave the buffer when read.
TEST_F(uart_e2e, received_bytes_are_counted_and_read_one_line_each) {
    feed("hex:41 0D 0A");
    feed("z");
    EXPECT_EQ(pins("uart_rx"), "4 bytes waiting: 41 0D 0A 7A");
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=4\n");
    EXPECT_EQ(run({"uart_rx", path_}), "41\n0d\n0a\n7a\n");
    EXPECT_EQ(run({"uart_rx", path_}), "rx cnt = 0\n");
    EXPECT_EQ(
        uart_blocks(),
        (lines{count_line_, count_line_,
               "CMD PhysicalDrive1 E2 00 00 00 B8 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0", count_line_}));
}

TEST_F(uart_e2e, a_full_kilobyte_is_read_and_more_is_only_counted) {
    feed(std::string(1024, 'A'));
    std::string all;
    for (int i = 0; i < 1024; ++i) all += "41\n";
    EXPECT_EQ(run({"uart_rx", path_}), all);
    EXPECT_EQ(uart_blocks().back(),
              "CMD PhysicalDrive1 E2 00 00 00 B8 00 00 00 00 00 00 00 00 04 00 00 in 1024 status=0 err=0");

    clear_trace();
    feed(std::string(1025, 'B'));
    EXPECT_EQ(run({"uart_rx", path_}), "rx cnt = 1025\n");
    EXPECT_EQ(uart_blocks(), lines{count_line_});
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=1025\n");
}

// uart_clear_buf runs after the disk checks and empties the buffer; a failed receive takes
// nothing out of it.
TEST_F(uart_e2e, clear_buffer_runs_after_the_disk_checks_and_empties_the_buffer) {
    feed("abc");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. B8", "--os-error", "5", "--first", "1"});
    EXPECT_EQ(run({"uart_rx", path_}), "uart_rx fail\n");
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=3\n");
    EXPECT_EQ(run({"uart_clear_buf", path_}), "uart_clear_buf ok\n");
    const lines cmds = trace_lines("CMD ");
    ASSERT_GE(cmds.size(), 3u);
    EXPECT_TRUE(cmds[cmds.size() - 3].starts_with("CMD PhysicalDrive1 E2 00 00 00 BB ")) << cmds[cmds.size() - 3];
    EXPECT_TRUE(cmds[cmds.size() - 2].starts_with("CMD PhysicalDrive1 A1 08 0E ")) << cmds[cmds.size() - 2];
    EXPECT_EQ(cmds.back(), "CMD PhysicalDrive1 E3 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00 in 0 status=0 err=0");
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=0\n");
}

TEST_F(uart_e2e, bytes_fed_from_the_lab_are_validated) {
    for (const auto& [value, message] :
         {std::pair<std::string, std::string>{"", "uart_rx takes text, or hex: and hex pairs"},
          {"hex:", "uart_rx takes hex pairs after hex:"},
          {"hex:4G", "uart_rx takes hex pairs after hex:"}}) {
        expect_lab_error({"set", "PhysicalDrive1", "uart_rx", value}, "mvbridge-lab: " + message + "\n");
    }
    feed(std::string(4000, 'x'));
    expect_lab_error({"set", "PhysicalDrive1", "uart_rx", std::string(97, 'y')},
                     "mvbridge-lab: uart_rx holds at most 4096 bytes; 4000 wait\n");
    feed(std::string(96, 'y'));
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=4096\n");
}

// Failures never print what a success prints: a refused transmission, an unreadable or
// short count, and bytes drained by another reader between the count and the read.
TEST_F(uart_e2e, failures_do_not_look_like_success) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 38", "--status", "2", "--first", "1"});
    EXPECT_EQ(run({"uart_tx", path_, "3", "9600", "lost"}), "uart_tx fail\n");
    EXPECT_EQ(pins("uart_tx"), "nothing sent");

    feed("abc");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BA", "--os-error", "5", "--first", "2"});
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "uart_rx_cnt fail\n");
    EXPECT_EQ(run({"uart_rx", path_}), "uart_rx fail\n");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BA", "--short", "2", "--first", "2"});
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "uart_rx_cnt fail\n");
    EXPECT_EQ(run({"uart_rx", path_}), "uart_rx fail\n");
    EXPECT_EQ(pins("uart_rx"), "3 bytes waiting: 61 62 63");

    // The count says 3, but only one byte is still there when the bytes are read.
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. B8", "--short", "1", "--first", "1"});
    EXPECT_EQ(run({"uart_rx", path_}), "61\n");
}

}  // namespace
