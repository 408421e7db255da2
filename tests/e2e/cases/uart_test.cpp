// The UART commands on a lab bridge: what they print, the blocks they send, and what the
// bridge keeps of them.
#include <string>

#include "lab_fixture.h"
#include "vendor_block_lines.h"

namespace {

using lines = std::vector<std::string>;

class uart_e2e : public lab_test {
protected:
    void SetUp() override {
        lab_test::SetUp();
        lab_ok({"create", "PhysicalDrive1"});
        lab_ok({"trace", "on"});
    }
    lines uart_blocks() { return vendor_block_lines(trace_lines(), "PhysicalDrive1", {"4E", "38", "BA", "B8", "3A"}); }
    std::string pins_line(const std::string& key) {
        const std::string pins = lab_ok({"show", "PhysicalDrive1", "pins"});
        const size_t start = pins.find("  " + key + " ");
        if (start == std::string::npos) return "";
        return pins.substr(start + 3 + key.size(), pins.find('\n', start) - start - 3 - key.size());
    }
    void feed(const std::string& bytes) { lab_ok({"set", "PhysicalDrive1", "uart_rx", bytes}); }

    const std::string path_ = drive_path(1);
};

TEST_F(uart_e2e, uart_init_sets_the_receive_pin_and_baud_rate) {
    EXPECT_EQ(run({"uart_init", path_, "5", "115200"}), "uart_init ok\n");
    EXPECT_EQ(uart_blocks(),
              lines{"CMD PhysicalDrive1 E3 00 00 00 4E 00 00 00 00 C2 01 00 01 00 00 00 out 1 status=0 err=0 data=05"});
    EXPECT_EQ(pins_line("uart_receiver"), "pin 5 at 115200 baud");
    // The pin keeps its low 8 bits: 261 is pin 5.
    EXPECT_EQ(run({"uart_init", path_, "261", "9600"}), "uart_init ok\n");
    EXPECT_EQ(pins_line("uart_receiver"), "pin 5 at 9600 baud");
}

TEST_F(uart_e2e, uart_init_refused_by_the_bridge_prints_fail) {
    // A malformed baud rate parses as 0, which no serial port runs at.
    for (const auto& [pin, baud] : std::vector<std::pair<std::string, std::string>>{
             {"5", "fast"}, {"5", "299"}, {"5", "3000001"}, {"32", "9600"}}) {
        EXPECT_EQ(run({"uart_init", path_, pin, baud}), "uart_init fail\n") << pin << " " << baud;
    }
    EXPECT_EQ(pins_line("uart_receiver"), "not set up");
}

TEST_F(uart_e2e, transmitted_text_is_shown_with_pin_and_baud_rate) {
    EXPECT_EQ(run({"uart_tx", path_, "3", "115200", "hello world"}), "");
    EXPECT_EQ(run({"uart_tx", path_, "4", "9600", "say \"hi\""}), "");
    EXPECT_EQ(uart_blocks(), (lines{"CMD PhysicalDrive1 E3 00 00 00 38 83 00 00 00 C2 01 00 0B 00 00 00 out 11 status=0 "
                                    "err=0 data=68 65 6C 6C 6F 20 77 6F 72 6C 64",
                                    "CMD PhysicalDrive1 E3 00 00 00 38 84 00 00 80 25 00 00 08 00 00 00 out 8 status=0 "
                                    "err=0 data=73 61 79 20 22 68 69 22"}));
    EXPECT_EQ(pins_line("uart_tx"), "pin 3 at 115200 baud \"hello world\"; pin 4 at 9600 baud \"say \\\"hi\\\"\"");
}

TEST_F(uart_e2e, empty_transmission_sends_a_zero_length_block_and_prints_nothing) {
    EXPECT_EQ(run({"uart_tx", path_, "3", "115200", ""}), "");
    EXPECT_EQ(uart_blocks(),
              lines{"CMD PhysicalDrive1 E3 00 00 00 38 83 00 00 00 C2 01 00 00 00 00 00 out 0 status=0 err=0"});
    EXPECT_EQ(pins_line("uart_tx"), "nothing sent");
}

TEST_F(uart_e2e, refused_transmission_prints_nothing_either) {
    EXPECT_EQ(run({"uart_tx", path_, "3", "0", "hello"}), "");
    EXPECT_EQ(uart_blocks(), lines{"CMD PhysicalDrive1 E3 00 00 00 38 83 00 00 00 00 00 00 05 00 00 00 out 5 status=2 "
                                   "err=0 data=68 65 6C 6C 6F"});
    EXPECT_EQ(pins_line("uart_tx"), "nothing sent");
}

TEST_F(uart_e2e, received_bytes_are_counted_and_read_one_line_each) {
    feed("hex:41 0D 0A");
    feed("z");
    EXPECT_EQ(pins_line("uart_rx"), "4 bytes waiting: 41 0D 0A 7A");
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=4\n");
    EXPECT_EQ(run({"uart_rx", path_}), "41\n0d\n0a\n7a\n");
    // What was read has left the buffer.
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=0\n");
    EXPECT_EQ(run({"uart_rx", path_}), "rx cnt = 0\n");
    EXPECT_EQ(uart_blocks(),
              (lines{"CMD PhysicalDrive1 E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 B8 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0"}));
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
    EXPECT_EQ(uart_blocks(),
              lines{"CMD PhysicalDrive1 E2 00 00 00 BA 00 00 00 00 00 00 00 04 00 00 00 in 4 status=0 err=0"});
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=1025\n");
}

TEST_F(uart_e2e, clear_buffer_runs_after_the_disk_checks_and_empties_the_buffer) {
    feed("abc");
    EXPECT_EQ(run({"uart_clear_buf", path_}), "uart_clear_buf ok\n");
    const lines cmds = trace_lines("CMD ");
    ASSERT_GE(cmds.size(), 3u);
    EXPECT_TRUE(cmds[cmds.size() - 3].starts_with("CMD PhysicalDrive1 E2 00 00 00 BB ")) << cmds[cmds.size() - 3];
    EXPECT_TRUE(cmds[cmds.size() - 2].starts_with("CMD PhysicalDrive1 A1 08 0E ")) << cmds[cmds.size() - 2];
    EXPECT_EQ(cmds.back(), "CMD PhysicalDrive1 E3 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00 in 0 status=0 err=0");
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=0\n");
}

TEST_F(uart_e2e, failures_of_count_read_and_clear) {
    feed("abc");
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BA", "--status", "2", "--sense", "05/24/00", "--first", "2"});
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=0\n");
    EXPECT_EQ(run({"uart_rx", path_}), "rx cnt = 0\n");
    EXPECT_TRUE(vendor_block_lines(trace_lines(), "PhysicalDrive1", {"B8"}).empty());

    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. B8", "--os-error", "5", "--first", "1"});
    EXPECT_EQ(run({"uart_rx", path_}), "uart_rx fail\n");
    // The failed read took nothing out of the buffer.
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=3\n");

    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 3A", "--status", "2", "--sense", "0B/00/00"});
    EXPECT_EQ(run({"uart_clear_buf", path_}), "uart_clear_buf fail\n");
    EXPECT_EQ(run({"uart_rx", path_}), "61\n62\n63\n");
}

TEST_F(uart_e2e, bytes_fed_from_the_lab_are_validated) {
    const struct {
        std::string value;
        std::string message;
    } cases[] = {
        {"", "uart_rx takes text, or hex: and hex pairs"},
        {"hex:", "uart_rx takes hex pairs after hex:"},
        {"hex:4", "uart_rx takes hex pairs after hex:"},
        {"hex:4G", "uart_rx takes hex pairs after hex:"},
        {std::string(4097, 'x'), "uart_rx holds at most 4096 bytes; 0 wait"},
    };
    for (const auto& c : cases) {
        const process_result result = lab({"set", "PhysicalDrive1", "uart_rx", c.value});
        EXPECT_EQ(result.status, 1) << c.value;
        EXPECT_EQ(result.err, "mvbridge-lab: " + c.message + "\n") << c.value;
    }
    feed(std::string(4000, 'x'));
    const process_result over = lab({"set", "PhysicalDrive1", "uart_rx", std::string(97, 'y')});
    EXPECT_EQ(over.err, "mvbridge-lab: uart_rx holds at most 4096 bytes; 4000 wait\n");
    feed(std::string(96, 'y'));
    EXPECT_EQ(run({"uart_rx_cnt", path_}), "cnt=4096\n");
}

}  // namespace
