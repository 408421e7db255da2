// The lab's own verbs: what they accept, what they refuse, and what they print.
#include "lab_fixture.h"

namespace {

class verbs_e2e : public lab_test {
protected:
    // Each verb's words are refused with "mvbridge-lab: " and the message.
    void expect_refusals(const std::vector<std::pair<std::vector<std::string>, std::string>>& cases) {
        for (const auto& [args, message] : cases) expect_lab_error(args, "mvbridge-lab: " + message + "\n");
    }
};

TEST_F(verbs_e2e, create_refuses_bad_names_duplicates_and_options) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "c", "--cdrom-of", "PhysicalDrive1"});
    const std::string no_name = "' is no device name (PhysicalDrive0..PhysicalDrive9 or c..l)";
    expect_refusals({
        {{"create", "PhysicalDrive1"}, "PhysicalDrive1 already exists"},
        {{"create", "PhysicalDrive12"}, "'PhysicalDrive12" + no_name},
        {{"create", "m"}, "'m" + no_name},
        {{"create", "PhysicalDrive2", "--colour", "red"}, "unknown option --colour"},
        {{"create", "PhysicalDrive2", "--gen", "2"}, "--gen is 0 or 1"},
        {{"create", "PhysicalDrive2", "--revision", "1.0"}, "revision is exactly 4 characters"},
        {{"create", "PhysicalDrive2", "--model"}, "--model needs a value"},
        {{"create", "d", "--cdrom-of", "PhysicalDrive5"}, "no device PhysicalDrive5 for the CD-ROM volume"},
        {{"create", "PhysicalDrive3", "--cdrom-of", "PhysicalDrive1"},
         "a CD-ROM volume is a volume letter c..l, not PhysicalDrive3"},
        {{"create", "d", "--cdrom-of", "c"}, "c is itself a CD-ROM volume"},
    });
    // Nothing of the refused devices was made.
    EXPECT_EQ(lab_ok({"show"}), "lab " + dir_ +
                                    "\ntrace off\ntime_factor 1\n"
                                    "PhysicalDrive1 bridge, disk nvme in state 1, usb, online\n"
                                    "c CD-ROM volume of PhysicalDrive1\n");
}

TEST_F(verbs_e2e, set_validates_keys_and_values) {
    lab_ok({"create", "PhysicalDrive1"});
    const std::string unknown = "' (see mvbridge-lab DIR show NAME for the keys)";
    expect_refusals({
        {{"set", "PhysicalDrive1", "colour", "red"}, "unknown key 'colour" + unknown},
        {{"set", "PhysicalDrive1", "boot_count", "3"}, "unknown key 'boot_count" + unknown},
        {{"set", "PhysicalDrive1", "disk", "floppy"}, "disk is one of nvme|sata|none"},
        {{"set", "PhysicalDrive1", "bus", "pci"}, "bus is one of usb|other"},
        {{"set", "PhysicalDrive1", "chip_id", "12abc"}, "chip_id needs a number, not '12abc'"},
        {{"set", "PhysicalDrive1", "xfer_flag", "256"}, "xfer_flag is at most 255"},
        {{"set", "PhysicalDrive1", "model", std::string(41, 'M')}, "model is at most 40 characters"},
        {{"set", "PhysicalDrive1", "restart_name", "PhysicalDrive11"}, "restart_name cannot be 'PhysicalDrive11'"},
        {{"set", "PhysicalDrive7", "disk", "sata"}, "no device PhysicalDrive7 in " + dir_},
        {{"set", "lab", "time_factor", "0"}, "time_factor is from 1 to 1000000"},
        {{"set", "lab", "colour", "red"}, "unknown lab setting 'colour' (time_factor, time_mode, trace)"},
        {{"set", "lab", "time_mode", "fast"}, "time_mode is real or step"},
    });
    expect_lab_error({"set", "PhysicalDrive1", "disk"},
                     "usage: mvbridge-lab DIR set NAME KEY VALUE\n"
                     "       mvbridge-lab DIR set lab time_factor N\n"
                     "       mvbridge-lab DIR set lab time_mode real|step\n"
                     "       mvbridge-lab DIR set lab trace on|off\n",
                     2);

    lab_ok({"set", "PhysicalDrive1", "gen", "0"});
    lab_ok({"set", "PhysicalDrive1", "chip-version", "0x002F0001"});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "identity"}),
              "identity:\n  kind bridge\n  vendor \"Morvelt\"\n  product \"USB3 NVMe Bridge\"\n  revision \"1.00\"\n"
              "  chip_id 0xA0010002\n  chip_version 0x002F0001\n  uuid 0x0E14B4CB\n  bus usb\n");
    lab_ok({"set", "lab", "time_factor", "1000"});
    EXPECT_TRUE(lab_ok({"show"}).starts_with("lab " + dir_ + "\ntrace off\ntime_factor 1000\n"));
    // Step time stands still between verbs.
    lab_ok({"set", "lab", "time_mode", "step"});
    const std::string stepped = lab_ok({"show"});
    EXPECT_TRUE(stepped.starts_with("lab " + dir_ + "\ntrace off\ntime_factor 1000\ntime_mode step (lab time "))
        << stepped;
    EXPECT_EQ(lab_ok({"show"}), stepped);
    lab_ok({"set", "lab", "time_mode", "real"});
    EXPECT_EQ(lab_ok({"show"}).find("time_mode"), std::string::npos);
}

TEST_F(verbs_e2e, fault_rules_are_validated_listed_and_removed) {
    lab_ok({"create", "PhysicalDrive1"});
    const std::vector<std::string> add = {"fault", "PhysicalDrive1", "add"};
    const auto rule = [&add](std::vector<std::string> words) {
        words.insert(words.begin(), add.begin(), add.end());
        return words;
    };
    const std::string kinds =
        "one of --status, --os-error, --short, --corrupt, --corrupt-write, --tear, --flip, --drop-write";
    expect_refusals({
        {rule({"E2 XX", "--status", "2"}), "pattern byte 'XX' is neither two hex digits nor .."},
        {rule({"E2", "--first", "2"}), "a rule needs " + kinds},
        {rule({"E2", "--status", "0"}), "--status needs a SCSI status from 1 to 255"},
        {rule({"E2", "--os-error", "5", "--sense", "05/20/00"}), "--sense goes with --status"},
        {rule({"E2", "--status", "2", "--sense", "5/20/0"}), "--sense needs KEY/ASC/ASCQ as hex pairs, e.g. 05/24/00"},
        {rule({"E2", "--short", "4", "--corrupt"}), "a rule has " + kinds},
        {rule({"00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10", "--corrupt"}), "pattern longer than 16 bytes"},
    });
    expect_lab_error(
        rule({"E2 .. .. .. BB"}),
        "usage: mvbridge-lab DIR fault NAME add PATTERN (--status S [--sense K/ASC/ASCQ] | --os-error E | "
        "--short N | --corrupt | --flip N | --corrupt-write | --tear N | --drop-write) [--first N] [--after M]\n"
        "       mvbridge-lab DIR fault NAME list|remove N|clear\n",
        2);

    lab_ok(rule({"e2 .. .. .. bb", "--status", "2", "--sense", "05/24/00", "--after", "3"}));
    lab_ok(rule({"12", "--short", "8", "--first", "1"}));
    lab_ok(rule({"E3 .. .. .. 10", "--tear", "100"}));
    EXPECT_EQ(lab_ok({"fault", "PhysicalDrive1", "list"}),
              "1: E2 .. .. .. BB --status 2 --sense 05/24/00 --after 3 (matched 0)\n"
              "2: 12 --short 8 --first 1 (matched 0)\n"
              "3: E3 .. .. .. 10 --tear 100 (matched 0)\n");
    lab_ok({"fault", "PhysicalDrive1", "remove", "2"});
    expect_refusals({{{"fault", "PhysicalDrive1", "remove", "3"}, "no fault rule 3"}});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "faults"}),
              "faults:\n  1: E2 .. .. .. BB --status 2 --sense 05/24/00 --after 3 (matched 0)\n"
              "  2: E3 .. .. .. 10 --tear 100 (matched 0)\n");
    lab_ok({"fault", "PhysicalDrive1", "clear"});
    EXPECT_EQ(lab_ok({"fault", "PhysicalDrive1", "list"}), "");
}

TEST_F(verbs_e2e, short_and_corrupted_answers_reach_the_tool) {
    lab_ok({"create", "PhysicalDrive1"});
    // Only 8 bytes of the first INQUIRY arrive: no revision, no bridge.
    lab_ok({"fault", "PhysicalDrive1", "add", "12", "--short", "8", "--first", "1"});
    EXPECT_EQ(run({"query", drive_path(1)}), "Not Morvelt USB bridge\n");
    // An inverted IDENTIFY gives a model of inverted characters; query tolerates nothing
    // else here, so compare the disk line with the inverted bytes.
    lab_ok({"fault", "PhysicalDrive1", "add", "A1", "--corrupt", "--first", "1"});
    const std::string out = run({"query", drive_path(1)});
    ASSERT_GT(out.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(out[out.find('\n') + 1]), static_cast<unsigned char>(~'L'));
    EXPECT_EQ(run({"query", drive_path(1)}), drive_path(1) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n");
}

TEST_F(verbs_e2e, show_lists_names_sections_blocks_and_flash) {
    lab_ok({"create", "PhysicalDrive1", "--uuid", "0x12345678"});
    lab_ok({"create", "c", "--cdrom-of", "PhysicalDrive1"});
    const std::string summary = lab_ok({"show", "c"});
    EXPECT_EQ(summary.substr(0, summary.find("identity:")),
              "c: bridge, online\nnames: PhysicalDrive1, c (CD-ROM volume)\n");
    EXPECT_NE(summary.find("\n  uuid 0x12345678\n"), std::string::npos);
    EXPECT_NE(summary.find("\nregisters:\n  0xB3700094 0x00003300\n  0xB37000C4 0x00120003\n  0xB37000C8 0xA0020001\n"),
              std::string::npos);
    // A new bridge has its LED image programmed; the image's header values show beside it.
    EXPECT_NE(summary.find("\nmemory:\n  led_count 8\n  led_count_field 8\n  led_magic 0x4C454453\n  led_version 2\n"
                           "  flash 2097152 bytes, never written\n  led 16384 bytes, bridges/PhysicalDrive1.led\n"),
              std::string::npos);
    EXPECT_NE(summary.find("\n  media 1000204886016 bytes, never written\n"), std::string::npos);
    EXPECT_TRUE(summary.ends_with("\nfaults:\n  none\n"));

    const std::string blocks = lab_ok({"show", "PhysicalDrive1", "blocks"});
    EXPECT_NE(blocks.find("  12 ..              INQUIRY\n"), std::string::npos);
    EXPECT_NE(blocks.find("  E2 A8 byte 5=13    disk information block\n"), std::string::npos);
    EXPECT_NE(blocks.find("  A1 .. byte 9=EC    ATA IDENTIFY DEVICE\n"), std::string::npos);

    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash_pg"}),
              "00004000  FF FF FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |................|\n*\n00005000\n");

    expect_refusals(
        {{{"show", "PhysicalDrive1", "colours"},
          "unknown section 'colours' (identity, disk, settings, state, registers, memory, pins, nvme, faults, "
          "blocks, leds, pg, flash, led, media, nvme_pages, nvme_fw, pcie_conf, pcie_bar0, smart_data, nvme_slots, "
          "flash_pg, cust_page, uuid_area)"}});
}

TEST_F(verbs_e2e, foreign_disk_handles_inquiry_and_the_standard_block_commands_only) {
    lab_ok({"create", "PhysicalDrive1", "--foreign"});
    const std::string blocks = lab_ok({"show", "PhysicalDrive1", "blocks"});
    EXPECT_EQ(blocks.rfind("  12 ..              INQUIRY\n", 0), 0u) << blocks;
    EXPECT_NE(blocks.find("  9E .. byte 1=10    READ CAPACITY(16)\n"), std::string::npos) << blocks;
    EXPECT_NE(blocks.find("  2A ..              WRITE(10)\n"), std::string::npos) << blocks;
    EXPECT_EQ(blocks.find("  E"), std::string::npos) << blocks;
}

TEST_F(verbs_e2e, unknown_verbs_and_missing_words_are_usage_errors) {
    expect_lab_error(
        {"explode"},
        "mvbridge-lab: unknown verb 'explode' (init, create, show, fill, load, set, fault, restart, trace, "
        "run, serve, mkimage, mkled, help)\n",
        2);
    EXPECT_EQ(run_process(MVBRIDGE_LAB_PATH, {}).status, 2);
    EXPECT_EQ(run_process(MVBRIDGE_LAB_PATH, {"--help"}).status, 0);
    expect_lab_error({"trace", "sideways"}, "mvbridge-lab: " + dir_ + ": not a lab directory (no lab.conf)\n");
    lab_ok({"init"});
    expect_lab_error({"trace", "sideways"}, "usage: mvbridge-lab DIR trace on|off|show|clear\n", 2);
}

TEST_F(verbs_e2e, init_takes_step_time_as_a_flag_among_its_options) {
    expect_lab_error({"init", "--time-factor"},
                     "usage: mvbridge-lab DIR init [--time-factor N] [--step-time] [--trace on|off]\n", 2);
    lab_ok({"init", "--time-factor", "50", "--step-time", "--trace", "on"});
    const std::string shown_lab = lab_ok({"show"});
    EXPECT_TRUE(shown_lab.starts_with("lab " + dir_ + "\ntrace on\ntime_factor 50\ntime_mode step (lab time "))
        << shown_lab;
}

TEST_F(verbs_e2e, trace_records_only_while_on_and_clears) {
    lab_ok({"create", "PhysicalDrive1"});
    run({"query", drive_path(1)});
    EXPECT_EQ(lab_ok({"trace", "show"}), "");
    lab_ok({"trace", "on"});
    run({"query", drive_path(1)});
    EXPECT_EQ(trace_lines().size(), 9u);
    EXPECT_EQ(lab_ok({"trace", "show"}), read_lab_file("trace.log"));
    lab_ok({"trace", "off"});
    run({"query", drive_path(1)});
    EXPECT_EQ(trace_lines().size(), 9u);
    clear_trace();
    EXPECT_EQ(lab_ok({"trace", "show"}), "");
}

}  // namespace

namespace {

class lab_files_e2e : public lab_test {};

// Every file the lab reads or writes on request is a regular file (of the expected size
// when read): a directory, a device node or a file of another size is one line of error
// and exit 1, at once; nothing is half-made.
TEST_F(lab_files_e2e, file_arguments_are_regular_files_of_the_expected_size) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "PhysicalDrive2", "--disk", "sata"});
    write_lab_file("short.bin", std::string(100, 'x'));
    const std::string short_file = dir_ + "/short.bin";
    struct row {
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {{"create", "PhysicalDrive3", "--nvme-id-ctrl", dir_}, dir_ + " is no file"},
        {{"create", "PhysicalDrive3", "--nvme-id-ctrl", "/dev/zero"}, "/dev/zero is no file"},
        {{"create", "PhysicalDrive3", "--nvme-id-ns", "/dev/null"}, "/dev/null is no file"},
        {{"create", "PhysicalDrive3", "--nvme-smart", dir_ + "/missing.bin"}, "cannot read " + dir_ + "/missing.bin"},
        {{"create", "PhysicalDrive3", "--nvme-id-ctrl", short_file}, short_file + " is not a 4096-byte page"},
        {{"set", "PhysicalDrive2", "smart_file", "/dev/zero"}, "/dev/zero is no file"},
        {{"set", "PhysicalDrive2", "smart_file", short_file}, short_file + " is not 512 bytes of SMART data"},
        {{"mkimage", dir_, "main", "12", "65536"}, dir_ + " is no file"},
        {{"mkimage", "/dev/null", "main", "12", "65536"}, "/dev/null is no file"},
        {{"mkled", dir_}, dir_ + " is no file"},
        {{"mkimage", dir_ + "/no/such/dir.bin", "main", "12", "65536"}, "cannot write " + dir_ + "/no/such/dir.bin"},
        {{"show", "PhysicalDrive1", "leds", "--svg", dir_}, dir_ + " is no file"},
    };
    for (const row& r : rows) expect_lab_error(r.args, "mvbridge-lab: " + r.message + "\n");
    EXPECT_EQ(lab({"show", "PhysicalDrive3"}).status, 1);
}

// A bad argument shows in an error line escaped: the line stays one line.
TEST_F(lab_files_e2e, bad_arguments_are_shown_escaped) {
    lab_ok({"create", "PhysicalDrive1"});
    expect_lab_error({"create", "Physical\nDrive\x1b[2J"},
                     "mvbridge-lab: 'Physical\\x0ADrive\\x1B[2J' is no device name (PhysicalDrive0..PhysicalDrive9 or "
                     "c..l)\n");
    expect_lab_error({"mkimage", dir_ + "/bad\r.bin", "main", "0x1\t", "4096"},
                     "mvbridge-lab: CHIP is a chip code up to 255, not '0x1\\x09'\n");
    const process_result unknown = lab({"verb\x7f\n"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.find("'verb\\x7F\\x0A'"), std::string("mvbridge-lab: unknown verb ").size()) << unknown.err;
}

}  // namespace
