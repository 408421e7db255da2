// The firmware update on an emulated bridge with fast lab time: a full update, the
// second stage alone from rescue firmware, every failure a fault or a bad file causes
// (with no flash write when a check fails), and the fault matrix: each flash write of a
// full update refused or torn in turn, after which a second run brings the bridge back.
#include <regex>

#include "lab_fixture.h"

namespace {

const std::string k_sample = std::string(MVBRIDGE_SOURCE_DIR) + "/examples/pg.conf";
const std::string k_flash_data = "E3 00 00 00 11";

class fwupdate_e2e : public bridge_lab_test {
protected:
    fwupdate_e2e() : bridge_lab_test({.create_options = {"--uuid", "0x12345678"}}) {}
    void SetUp() override {
        bridge_lab_test::SetUp();
        lab_ok({"set", "lab", "time_factor", "1000"});
        // chip code 12: the default bridge's chip 0xA0020001 with variant 0x12
        make("main.bin", {"main", "12", "65536", "--version", "2.1.0", "--date", "20250401"});
        make("rescue.bin", {"rescue", "12", "32768"});
        lab_ok({"mkled", file("led.bin"), "--bright", "0x1234", "--leds", "6"});
    }
    std::string file(const std::string& name) { return dir_ + "/" + name; }
    void make(const std::string& name, lines args) {
        args.insert(args.begin(), {"mkimage", file(name)});
        lab_ok(args);
    }
    // A file of the lab directory by name; an absolute path or "" as it is.
    std::string path_of(const std::string& name) { return name.empty() || name[0] == '/' ? name : file(name); }
    // fwupdate with the given files ("" skips a step); the output as printed.
    std::string update(const std::string& config, const std::string& led, const std::string& main = "main.bin",
                       const std::string& rescue = "rescue.bin") {
        return run_on(1, "fwupdate", {path_of(main), path_of(rescue), path_of(config), path_of(led)});
    }
    // Updates that must end with the code of their row before any flash write.
    struct refused_update {
        std::string main, rescue, config, led;
        int code;
    };
    void expect_refused_untouched(const std::vector<refused_update>& rows);
    size_t flash_writes() {
        size_t n = 0;
        for (const std::string& line : trace_lines("CMD ")) n += line.find(k_flash_data) != std::string::npos;
        return n;
    }
    std::string pg_report() { return run_on(1, "pg_read"); }
};

// Splits the output into its progress lines and the rest; the percentages must rise and,
// when `complete`, reach 100. Returns what follows the display: the result line.
std::string result_line(const std::string& out, bool complete) {
    static const std::regex progress("udpate progress: (\\d+)%\r");
    std::string rest;
    int last = -1;
    auto begin = std::sregex_iterator(out.begin(), out.end(), progress);
    size_t at = 0;
    for (auto it = begin; it != std::sregex_iterator(); ++it) {
        rest += out.substr(at, static_cast<size_t>(it->position()) - at);
        at = static_cast<size_t>(it->position() + it->length());
        const int percent = std::stoi((*it)[1]);
        EXPECT_GE(percent, last) << out;
        last = percent;
    }
    rest += out.substr(at);
    EXPECT_GE(last, 0) << "no progress line: " << out;
    if (complete) {
        EXPECT_EQ(last, 100) << out;
    }
    // The display's closing line end comes before the result line: the result is the last
    // line printed, whether the update failed or not.
    if (rest.starts_with("\n")) {
        const std::string result = rest.substr(1);
        EXPECT_TRUE(out.ends_with("\n" + result)) << "a progress line after the result: " << out;
        return result;
    }
    ADD_FAILURE() << "no closing line end before the result line: " << out;
    return rest;
}

void fwupdate_e2e::expect_refused_untouched(const std::vector<refused_update>& rows) {
    for (const refused_update& r : rows) {
        clear_trace();
        EXPECT_EQ(result_line(update(r.config, r.led, r.main, r.rescue), false),
                  "fwupdate failed. (" + std::to_string(r.code) + ")\n")
            << r.main << " " << r.rescue << " " << r.config << " " << r.led;
        EXPECT_EQ(flash_writes(), 0u) << r.main << " " << r.rescue << " " << r.config << " " << r.led;
    }
}

TEST_F(fwupdate_e2e, a_full_update_writes_both_images_the_led_image_and_the_record) {
    EXPECT_EQ(result_line(update(k_sample, "led.bin"), true), "fwupdate success\n");
    EXPECT_EQ(shown("PhysicalDrive1", "state", "fw_running"), "main");
    EXPECT_EQ(run_on(1, "fw_ver"), run_on(1, "fw_ver"));
    EXPECT_NE(run_on(1, "fw_ver").find("2.1.0"), std::string::npos) << run_on(1, "fw_ver");
    EXPECT_EQ(run_on(1, "led_get_bright"), "led brightness = 0x1234\n");
    EXPECT_NE(pg_report().find("SERIAL = MV2024060100017"), std::string::npos);
    // Images once each, the boot header three times, five LED pages, the record's commit.
    EXPECT_EQ(flash_writes(), 2u + 1u + 2u + 1u + 5u + 1u + 1u);
}

TEST_F(fwupdate_e2e, empty_config_and_led_paths_leave_the_record_and_the_leds) {
    run_on(1, "pg_write", {k_sample});
    const std::string before = pg_report();
    const std::string bright = run_on(1, "led_get_bright");
    EXPECT_EQ(result_line(update("", ""), true), "fwupdate success\n");
    EXPECT_EQ(pg_report(), before);
    EXPECT_EQ(run_on(1, "led_get_bright"), bright);
}

TEST_F(fwupdate_e2e, from_rescue_firmware_only_the_second_stage_runs) {
    lab_ok({"set", "PhysicalDrive1", "fw_running", "rescue"});
    EXPECT_EQ(result_line(update("", "led.bin"), true), "fwupdate success\n");
    // main image (2 chunks), its boot header, 5 LED pages, the final boot header
    EXPECT_EQ(flash_writes(), 2u + 1u + 5u + 1u);
    EXPECT_EQ(shown("PhysicalDrive1", "state", "fw_running"), "main");
}

TEST_F(fwupdate_e2e, the_bridge_is_found_again_under_another_name) {
    lab_ok({"set", "PhysicalDrive1", "restart_name", "PhysicalDrive3"});
    EXPECT_EQ(result_line(update("", ""), true), "fwupdate success\n");
    EXPECT_EQ(run_on(3, "led_get_bright").empty(), false);
}

TEST_F(fwupdate_e2e, no_uuid_or_a_failed_uuid_read_starts_nothing) {
    lab_ok({"set", "PhysicalDrive1", "uuid", "0xFFFFFFFF"});
    EXPECT_EQ(update(k_sample, "led.bin"), "no uuid\n");
    EXPECT_EQ(flash_writes(), 0u);
    lab_ok({"set", "PhysicalDrive1", "uuid", "0x12345678"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. C3", "--status", "2", "--sense", "05/24/00"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. 96", "--status", "2", "--sense", "05/24/00"});
    EXPECT_EQ(update(k_sample, "led.bin"), "get uuid fail\n");
    EXPECT_EQ(flash_writes(), 0u);
}

TEST_F(fwupdate_e2e, failed_checks_write_nothing) {
    make("bad_crc.bin", {"main", "12", "65536", "--bad-crc"});
    make("other_chip.bin", {"main", "21", "65536"});
    make("rescue_other_chip.bin", {"rescue", "21", "32768"});
    lab_ok({"mkled", file("bad_led.bin"), "--bad-length"});
    write_lab_file("empty.cfg", "; nothing\n");
    expect_refused_untouched({
        {"bad_crc.bin", "rescue.bin", "", "", -6},
        {"rescue.bin", "rescue.bin", "", "", -6},
        {"other_chip.bin", "rescue.bin", "", "", -6},
        {"missing.bin", "rescue.bin", "", "", -6},
        {"main.bin", "main.bin", "", "", -7},
        {"main.bin", "rescue_other_chip.bin", "", "", -7},
        {"main.bin", "rescue.bin", "", "bad_led.bin", -8},
        {"main.bin", "rescue.bin", "", "missing.bin", -8},
        {"main.bin", "rescue.bin", file("empty.cfg"), "", -9},
        {"main.bin", "rescue.bin", file("missing.cfg"), "", -9},
    });
}

TEST_F(fwupdate_e2e, bridge_faults_give_their_codes) {
    const std::string unlock = "E2 00 00 00 92 00 00 00 00 40 00 AC 60";
    const lines refused = {"--status", "2", "--sense", "03/0C/00"};
    struct rule {
        std::string pattern;
        lines options;
    };
    struct row {
        std::vector<rule> rules;
        int code;
    } rows[] = {
        // the UUID read and its fallback fail after the command's own check
        {{{"E2 .. .. .. C3", {"--after", "1"}}, {"E2 .. .. .. 96", {}}}, -5},
        {{{unlock, {"--after", "1", "--first", "1"}}}, -3},
        {{{unlock, {"--after", "2", "--first", "1"}}}, -3},
        {{{"E3 .. .. .. 11", {"--first", "1"}}}, -11},
        {{{"E3 .. .. .. 11", {"--after", "3", "--first", "1"}}}, -10},
        {{{"E3 .. .. .. 11", {"--after", "6", "--first", "1"}}}, -12},
        {{{"E3 .. .. .. 11", {"--after", "11", "--first", "1"}}}, -13},
        {{{"E3 .. .. .. 11", {"--after", "12", "--first", "1"}}}, -4},
        {{{"E2 .. .. .. A6", {"--after", "1", "--first", "1"}}}, -14},
        {{{"E2 .. .. .. A6", {"--after", "2", "--first", "1"}}}, -15},
    };
    for (const row& r : rows) {
        lab_ok({"set", "PhysicalDrive1", "fw_running", "main"});
        lab_ok({"fault", "PhysicalDrive1", "clear"});
        for (const rule& f : r.rules) {
            lines args = {"fault", "PhysicalDrive1", "add", f.pattern};
            args.insert(args.end(), f.options.begin(), f.options.end());
            args.insert(args.end(), refused.begin(), refused.end());
            lab_ok(args);
        }
        EXPECT_EQ(result_line(update(k_sample, "led.bin"), false),
                  "fwupdate failed. (" + std::to_string(r.code) + ")\n")
            << r.code;
    }
}

TEST_F(fwupdate_e2e, a_bridge_that_does_not_come_back_gives_minus_4) {
    lab_ok({"set", "PhysicalDrive1", "restart_never", "1"});
    EXPECT_EQ(result_line(update("", ""), false), "fwupdate failed. (-4)\n");
}

// Every flash write of a full update refused in turn (CHECK CONDITION, then an OS error):
// a second run succeeds and the record is the one the bridge had.
TEST_F(fwupdate_e2e, each_refused_flash_write_is_recovered_by_a_second_run) {
    run_on(1, "pg_write", {k_sample});
    const std::string record = pg_report();
    clear_trace();
    ASSERT_EQ(result_line(update("", "led.bin"), true), "fwupdate success\n");
    const size_t writes = flash_writes();
    for (const lines& kind : {lines{"--status", "2", "--sense", "03/0C/00"}, lines{"--os-error", "5"}}) {
        for (size_t k = 0; k < writes; ++k) {
            lab_ok({"set", "PhysicalDrive1", "fw_running", "main"});
            lab_ok({"fault", "PhysicalDrive1", "clear"});
            lines args = {"fault",   "PhysicalDrive1",  "add",     "E3 .. .. .. 11",
                          "--after", std::to_string(k), "--first", "1"};
            args.insert(args.end(), kind.begin(), kind.end());
            lab_ok(args);
            // Write 5, the main image's boot header, is written again before the restart.
            EXPECT_EQ(result_line(update("", "led.bin"), false) == "fwupdate success\n", k == 5) << k;
            EXPECT_EQ(result_line(update("", "led.bin"), true), "fwupdate success\n") << k;
            EXPECT_EQ(pg_report(), record) << k;
        }
    }
}

// Every flash write torn or silently dropped in turn, with and without a configuration
// file: the run ends in success with the record it should leave, or in a failure code
// with the record the bridge had, never a lost record; a second run then succeeds. A
// torn image chunk leaves an image whose CRC is wrong: the bridge comes back in its
// rescue firmware (a damaged main image) or in none (a damaged rescue image), and the
// update says so.
TEST_F(fwupdate_e2e, each_torn_or_dropped_flash_write_keeps_the_record) {
    run_on(1, "pg_write", {k_sample});
    run_on(1, "pg_set_vid", {"0x1234"});
    const std::string original = pg_report();
    for (const std::string& config : {std::string(), k_sample}) {
        lab_ok({"set", "PhysicalDrive1", "fw_running", "main"});
        ASSERT_EQ(result_line(update(config, "led.bin"), true), "fwupdate success\n");
        const std::string updated = pg_report();
        // Put the original record back for the next rows.
        run_on(1, "pg_set_vid", {"0x1234"});
        ASSERT_EQ(pg_report(), original);
        clear_trace();
        ASSERT_EQ(result_line(update("", "led.bin"), true), "fwupdate success\n");
        const size_t writes = flash_writes();
        for (const lines& kind : {lines{"--tear", "100"}, lines{"--drop-write"}}) {
            for (size_t k = 0; k < writes; ++k) {
                const std::string where =
                    kind[0] + " write " + std::to_string(k) + (config.empty() ? "" : " with file");
                run_on(1, "pg_set_vid", {"0x1234"});
                // Erased image areas: what a torn or dropped chunk leaves is not the image.
                lab_ok({"fill", "PhysicalDrive1", "flash", "0x10000", "0x108000", "255"});
                lab_ok({"set", "PhysicalDrive1", "fw_running", "main"});
                lab_ok({"fault", "PhysicalDrive1", "clear"});
                lines args = {"fault",   "PhysicalDrive1",  "add",     "E3 .. .. .. 11",
                              "--after", std::to_string(k), "--first", "1"};
                args.insert(args.end(), kind.begin(), kind.end());
                lab_ok(args);
                const std::string result = result_line(update(config, "led.bin"), false);
                lab_ok({"fault", "PhysicalDrive1", "clear"});
                if (result == "fwupdate success\n") {
                    EXPECT_EQ(pg_report(), config.empty() ? original : updated) << where;
                    EXPECT_EQ(shown("PhysicalDrive1", "state", "fw_running"), "main") << where;
                } else {
                    const std::string record = pg_report();
                    EXPECT_TRUE(record == original || record == updated) << where << "\n" << result << record;
                }
                // Write 0 is the rescue image, write 3 the main image: each a single chunk.
                if (k == 0) {
                    EXPECT_EQ(result, "fwupdate failed. (-14)\n") << where;
                } else if (k == 3) {
                    EXPECT_EQ(result, "fwupdate failed. (-15)\n") << where;
                }
                EXPECT_EQ(result_line(update(config, "led.bin"), true), "fwupdate success\n") << where;
            }
        }
    }
}

// Parts aimed below the PG sector (the UUID area, the customer page), past the end of the
// address space or of the flash, or over another part of the update are refused with the
// image's check code before anything is written.
TEST_F(fwupdate_e2e, images_placed_outside_their_areas_are_refused_untouched) {
    make("at_customer_page.bin", {"main", "12", "65536", "--at", "0x8C003000"});
    make("at_uuid_area.bin", {"main", "12", "65536", "--at", "0x8C002000"});
    make("wrapping.bin", {"main", "12", "65536", "--at", "0xFFFFF000"});
    make("beyond_flash.bin", {"main", "12", "65536", "--at", "0x8C1F8000"});
    make("over_rescue.bin", {"main", "12", "65536", "--at", "0x8C110000"});
    make("rescue_beyond_flash.bin", {"rescue", "12", "32768", "--at", "0x8C200000"});
    lab_ok({"mkled", file("led_at_customer_page.bin"), "--at", "0x8C003000"});
    lab_ok({"mkled", file("led_over_main.bin"), "--at", "0x8C010000"});
    lab_ok({"mkled", file("led_beyond_flash.bin"), "--at", "0x8C200000"});
    run_on(1, "set_cust_page", {"kept customer data"});
    const std::string page = run_on(1, "get_cust_page");
    const std::string record = pg_report();
    expect_refused_untouched({
        {"at_customer_page.bin", "rescue.bin", "", "", -6},
        {"at_uuid_area.bin", "rescue.bin", "", "", -6},
        {"wrapping.bin", "rescue.bin", "", "", -6},
        {"beyond_flash.bin", "rescue.bin", "", "", -6},
        {"over_rescue.bin", "rescue.bin", "", "", -6},
        {"main.bin", "rescue_beyond_flash.bin", "", "", -7},
        {"main.bin", "rescue.bin", "", "led_at_customer_page.bin", -8},
        {"main.bin", "rescue.bin", "", "led_over_main.bin", -8},
        {"main.bin", "rescue.bin", "", "led_beyond_flash.bin", -8},
    });
    EXPECT_EQ(run_on(1, "get_cust_page"), page);
    EXPECT_EQ(pg_report(), record);
    EXPECT_EQ(shown("PhysicalDrive1", "state", "fw_running"), "factory");
    // From rescue firmware the rescue image is not written, so it may lie anywhere.
    lab_ok({"set", "PhysicalDrive1", "fw_running", "rescue"});
    EXPECT_EQ(result_line(update("", "", "main.bin", "rescue_beyond_flash.bin"), true), "fwupdate success\n");
}

// Endless or special files are refused as unreadable ones, at once.
TEST_F(fwupdate_e2e, device_nodes_and_directories_are_refused_as_files) {
    expect_refused_untouched({
        {"/dev/zero", "rescue.bin", "", "", -6},
        {"main.bin", "/dev/urandom", "", "", -7},
        {"main.bin", "rescue.bin", "", "/dev/zero", -8},
        {"main.bin", "rescue.bin", "/dev/zero", "", -9},
        {"main.bin", "rescue.bin", "/dev/urandom", "", -9},
        {"main.bin", "rescue.bin", "/", "", -9},
    });
    // A configuration file beyond the limit is refused like an unreadable one.
    write_lab_file("huge.cfg", std::string(1u << 20, ';') + "\nVID = 0x1234\n");
    EXPECT_EQ(result_line(update(file("huge.cfg"), ""), false), "fwupdate failed. (-9)\n");
}

}  // namespace
