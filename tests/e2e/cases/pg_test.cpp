// The PG commands on an emulated bridge: the record written from a configuration file and
// read back, single values moved to the record's end, read-back retries against corrupted
// and lost flash writes, a full record, and the boot header half of the sector kept.
#include <fstream>

#include <sys/stat.h>

#include "lab_fixture.h"

namespace {

const std::string k_sample = std::string(MVBRIDGE_SOURCE_DIR) + "/examples/pg.conf";
const std::string k_flash_data_cdb = "E3 00 00 00 11 00 00 00 00 00 00 00 00 10 00 00";

// What pg_read prints for the sample configuration file.
const std::string k_sample_report =
    "\n\nPrint PGINFO:\n\n"
    "                 VID = 0x1d6b\n"
    "                 PID = 0x0104\n"
    "             PRODUCT = Morvelt Portable SSD\n"
    "         MANUFACTURE = Morvelt\n"
    "              SERIAL = MV2024060100017\n"
    "         SCSI_VENDOR = Morvelt \n"
    "        SCSI_PRODUCT = Portable SSD    \n"
    "             ASPMDIS = 0x1\n"
    "      DISK_IPS_THRES = 0x5a\n"
    "                 LED = 0x1\n"
    "          HW_LED_CFG = 0x10203\n"
    "      CUSTOMIZED_LED = 0x01 0x10 0x20 0x30 0xff 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x08 \n"
    "     SUSPEND_LED_OFF = 0x1\n"
    "  CUSTOMIZED_FEATURE = 0x80\n"
    "         SUPPORT_HID = 0x1\n"
    "        USB_SELF_PWR = 0x0\n";

class pg_e2e : public bridge_lab_test {
protected:
    pg_e2e() : bridge_lab_test({.trace = false}) {}
    std::string config(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::string pg() { return lab_ok({"show", "PhysicalDrive1", "pg"}); }
    size_t flash_writes() { return trace_lines("CMD PhysicalDrive1 " + k_flash_data_cdb).size(); }
};

TEST_F(pg_e2e, a_written_configuration_file_reads_back) {
    EXPECT_EQ(run1("pg_get_vid"), "pg_get_vid failed. (-1)\n");  // erased flash is no record
    EXPECT_EQ(run1("pg_write", {k_sample}), "");
    EXPECT_EQ(run1("pg_read"), k_sample_report);
    EXPECT_EQ(run1("pg_get_vid"), "vid = 1d6b\n");
    EXPECT_EQ(run1("pg_get_pid"), "pid = 0104\n");
    EXPECT_EQ(run1("pg_get_sn"), "sn: MV2024060100017\n");
    EXPECT_EQ(run1("pg_get_usb_speed"), "pg usb speed: 0\n");
    EXPECT_EQ(run1("pg_read", {"-d-1"}), "");
    EXPECT_EQ(run1("pg_write", {dir_ + "/missing.conf"}), "pg_write failed. (-1)\n");
    EXPECT_EQ(run1("pg_write", {config("bare.conf", "VID = 1")}), "pg_write failed. (-1)\n");
    // Endless devices, a FIFO and a directory are refused at once, with nothing written.
    const std::string fifo = dir_ + "/pipe.conf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    lab_ok({"trace", "on"});
    for (const std::string& path : {std::string("/dev/zero"), std::string("/dev/urandom"), fifo, dir_}) {
        EXPECT_EQ(run1("pg_write", {path}), "pg_write failed. (-1)\n") << path;
        EXPECT_EQ(trace_lines("CMD PhysicalDrive1 E3"), std::vector<std::string>{}) << path;
    }
    EXPECT_EQ(run1("pg_get_vid"), "vid = 1d6b\n");
}

// A set command moves its entry to the end of the record; pg_write keeps only the file's.
TEST_F(pg_e2e, single_values_move_to_the_end_and_a_write_replaces_them) {
    EXPECT_EQ(run1("pg_write", {config("two.conf", "VID = 0x1234\nPID = 0x5678\n")}), "");
    EXPECT_EQ(pg(),
              "pg:\n  0000 tag   3 VID                34 12\n  0003 tag   4 PID                78 56\n  0006 end\n");
    EXPECT_EQ(run1("pg_set_vid", {"abcd"}), "pg_set_vid ok\n");
    EXPECT_EQ(run1("pg_set_usb_speed", {"5"}), "");
    EXPECT_EQ(run1("pg_set_sn", {"SN42"}), "");
    EXPECT_EQ(pg(),
              "pg:\n  0000 tag   4 PID                78 56\n  0003 tag   3 VID                CD AB\n"
              "  0006 tag  27 USB_SPEED          05\n"
              "  0008 tag   7 SERIAL             0A 03 53 00 4E 00 34 00 32 00  \"SN42\"\n  0013 end\n");
    EXPECT_EQ(run1("pg_get_usb_speed"), "pg usb speed: 5\n");
    EXPECT_EQ(run1("pg_get_sn"), "sn: SN42\n");
    EXPECT_EQ(run1("pg_set_sn", {std::string(31, 'x')}), "set sn fail\n");
    EXPECT_EQ(run1("pg_get_sn"), "sn: SN42\n");
    EXPECT_EQ(run1("pg_write", {config("two.conf", "VID = 0x1234\nPID = 0x5678\n")}), "");
    EXPECT_EQ(run1("pg_get_usb_speed"), "pg usb speed: 0\n");
    EXPECT_EQ(pg(),
              "pg:\n  0000 tag   3 VID                34 12\n  0003 tag   4 PID                78 56\n  0006 end\n");
}

// A read-back that differs is written again, at most four writes in all.
TEST_F(pg_e2e, read_back_mismatches_are_written_again) {
    lab_ok({"trace", "on"});
    for (const char* kind : {"--corrupt-write", "--drop-write"}) {
        SCOPED_TRACE(kind);
        run1("pg_write", {config("base.conf", "PID = 1\n")});
        lab_ok({"fault", "PhysicalDrive1", "clear"});
        lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 11", kind, "--first", "3"});
        clear_trace();
        EXPECT_EQ(run1("pg_set_vid", {"1234"}), "pg_set_vid ok\n");
        EXPECT_EQ(flash_writes(), 4u);
        EXPECT_EQ(run1("pg_get_vid"), "vid = 1234\n");

        lab_ok({"fault", "PhysicalDrive1", "clear"});
        lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 11", kind, "--first", "4"});
        clear_trace();
        EXPECT_EQ(run1("pg_write", {k_sample}), "pg_write failed. (-1)\n");
        EXPECT_EQ(flash_writes(), 4u);
        lab_ok({"fault", "PhysicalDrive1", "clear"});
    }
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 11", "--status", "2", "--sense", "03/0C/00"});
    EXPECT_EQ(run1("pg_set_pid", {"1"}), "pg_set_pid fail\n");
    EXPECT_EQ(run1("pg_set_usb_speed", {"3"}), "pg_set_usb_speed fail\n");
    EXPECT_EQ(run1("pg_set_sn", {"A"}), "set sn fail\n");
    EXPECT_EQ(run1("pg_write", {k_sample}), "pg_write failed. (2)\n");
}

// A record filled to its last byte: a new entry does not fit, a replaced one does.
TEST_F(pg_e2e, a_full_record) {
    std::string products;
    for (int i = 0; i < 31; ++i) products += "PRODUCT = \"" + std::string(31, 'p') + "\"\n";
    // 31 descriptors of 65 bytes (2015), then 33 bytes more.
    const std::string without_vid = products + "SCSI_PRODUCT = \"x\"\nCUSTOMIZED_LED = 01\n";
    const std::string with_vid = products + "SCSI_PRODUCT = \"x\"\nSCSI_VENDOR = \"v\"\nVID = 7\nLED = 1\nLED = 2\n";
    EXPECT_EQ(run1("pg_write", {config("full.conf", without_vid)}), "");
    EXPECT_EQ(run1("pg_set_vid", {"1"}), "pg_set_vid fail\n");
    EXPECT_EQ(run1("pg_write", {config("full.conf", with_vid)}), "");
    EXPECT_EQ(run1("pg_set_vid", {"abc"}), "pg_set_vid ok\n");
    EXPECT_EQ(run1("pg_get_vid"), "vid = 0abc\n");
    EXPECT_EQ(run1("pg_write", {config("over.conf", with_vid + "LED = 3\n")}), "pg_write failed. (-1)\n");
    EXPECT_EQ(run1("pg_get_vid"), "vid = 0abc\n");
}

// Every PG write sends the sector's boot header half back as it was.
TEST_F(pg_e2e, the_boot_header_half_is_kept) {
    lab_ok({"fill", "PhysicalDrive1", "flash", "0x4000", "0x800", "0x5A"});
    lab_ok({"fill", "PhysicalDrive1", "flash", "0x3FF0", "0x10", "0x11"});
    lab_ok({"fill", "PhysicalDrive1", "flash", "0x5000", "0x10", "0x22"});
    run1("pg_write", {k_sample});
    run1("pg_set_vid", {"1"});
    run1("pg_set_sn", {"x"});
    run1("pg_set_usb_speed", {"6"});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash", "0x3FF0", "0x820"}),
              "00003FF0  11 11 11 11 11 11 11 11  11 11 11 11 11 11 11 11  |................|\n"
              "00004000  5A 5A 5A 5A 5A 5A 5A 5A  5A 5A 5A 5A 5A 5A 5A 5A  |ZZZZZZZZZZZZZZZZ|\n*\n"
              "00004800  04 04 01 05 2A 03 4D 00  6F 00 72 00 76 00 65 00  |....*.M.o.r.v.e.|\n"
              "00004810\n");
    EXPECT_EQ(
        lab_ok({"show", "PhysicalDrive1", "flash", "0x5000", "0x10"}),
        "00005000  22 22 22 22 22 22 22 22  22 22 22 22 22 22 22 22  |\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"|\n00005010\n");
}

}  // namespace
