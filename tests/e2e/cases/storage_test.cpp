// A bridge's memories in files of their own: written in place, dumped by `show`, filled by
// `fill`, a sparse media file, state files of the older form moved into the flash, and the
// usability of the lab's own command line around them.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "lab_fixture.h"

namespace {

class storage_e2e : public bridge_lab_test {
protected:
    storage_e2e() : bridge_lab_test({.trace = false}) {}
    std::string path(const std::string& relative) { return dir_ + "/" + relative; }
};

// The customer page the tool writes lands in the flash at 0x3000 and nowhere else; the
// PG sector and the other memories are untouched, and only the flash has a file.
TEST_F(storage_e2e, the_customer_page_lives_in_the_flash_file) {
    EXPECT_EQ(run({"set_cust_page", drive_path(1), "Hi!"}), "");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash", "0x2FF0", "48"}),
              "00002FF0  FF FF FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |................|\n"
              "00003000  48 69 21 00 00 00 00 00  00 00 00 00 00 00 00 00  |Hi!.............|\n"
              "00003010  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n"
              "00003020\n");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash", "0x4000", "37"}),
              "00004000  FF FF FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |................|\n*\n"
              "00004020  FF FF FF FF FF                                    |.....|\n"
              "00004025\n");
    EXPECT_EQ(std::filesystem::file_size(path("bridges/PhysicalDrive1.flash")), 0x4000u);
    // The LED memory holds the image the bridge was created with.
    EXPECT_EQ(std::filesystem::file_size(path("bridges/PhysicalDrive1.led")), 16384u);
    EXPECT_FALSE(std::filesystem::exists(path("bridges/PhysicalDrive1.media")));
    EXPECT_EQ(read_lab_file("bridges/PhysicalDrive1.state").find("blob"), std::string::npos);
    const std::string memory = lab_ok({"show", "PhysicalDrive1", "memory"});
    EXPECT_TRUE(
        memory.ends_with("\n  flash 2097152 bytes, bridges/PhysicalDrive1.flash\n"
                         "  led 16384 bytes, bridges/PhysicalDrive1.led\n"))
        << memory;
}

// A torn write (the fault rule's --tear) leaves the page's later bytes erased and no other
// byte of the flash changed.
TEST_F(storage_e2e, a_torn_write_damages_only_its_own_bytes) {
    lab_ok({"fill", "PhysicalDrive1", "flash", "0x2000", "0x3000", "0x5A"});
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 44", "--tear", "2"});
    run({"set_cust_page", drive_path(1), "abcd"});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash", "0x2FF0", "0x1020"}),
              "00002FF0  5A 5A 5A 5A 5A 5A 5A 5A  5A 5A 5A 5A 5A 5A 5A 5A  |ZZZZZZZZZZZZZZZZ|\n"
              "00003000  61 62 FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |ab..............|\n"
              "00003010  FF FF FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |................|\n*\n"
              "00004000  5A 5A 5A 5A 5A 5A 5A 5A  5A 5A 5A 5A 5A 5A 5A 5A  |ZZZZZZZZZZZZZZZZ|\n"
              "00004010\n");
}

// The media is a sparse file of the disk's reported size: 64 KiB written cost about
// 64 KiB of disk, not the terabyte.
TEST_F(storage_e2e, media_is_a_sparse_file_of_the_reported_size) {
    lab_ok({"fill", "PhysicalDrive1", "media", "0x40000000", "0x10000", "0xA5"});
    const std::string media = path("bridges/PhysicalDrive1.media");
    EXPECT_EQ(std::filesystem::file_size(media), 1953525168ull * 512);
    struct stat info = {};
    ASSERT_EQ(stat(media.c_str(), &info), 0);
    EXPECT_LT(static_cast<uint64_t>(info.st_blocks) * 512, 4u << 20);
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "media", "0x3FFFFFF0", "0x30"}),
              "3FFFFFF0  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n"
              "40000000  A5 A5 A5 A5 A5 A5 A5 A5  A5 A5 A5 A5 A5 A5 A5 A5  |................|\n*\n"
              "40000020\n");
    // The last sector is inside the disk; one byte more is not.
    lab_ok({"fill", "PhysicalDrive1", "media", std::to_string(1953525168ull * 512 - 512), "512", "1"});
    expect_lab_error({"fill", "PhysicalDrive1", "media", std::to_string(1953525168ull * 512 - 512), "513", "1"},
                     "mvbridge-lab: media has 1000204886016 bytes: the range runs beyond it\n");
    EXPECT_NE(lab_ok({"show", "PhysicalDrive1", "disk"})
                  .find("\n  media 1000204886016 bytes, "
                        "bridges/PhysicalDrive1.media\n"),
              std::string::npos);
}

// `load` writes a file's bytes into a memory by its name; a memory with power-on content
// keeps it around them. Whatever does not fit, or is no regular file, is one error line.
TEST_F(storage_e2e, load_writes_a_file_into_a_memory) {
    const std::string file = path("four.bin");
    std::ofstream(file, std::ios::binary) << "\x12\x34\x56\x78";
    EXPECT_EQ(lab_ok({"load", "PhysicalDrive1", "flash", "0x3000", file}), "");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash", "0x2FFE", "8"}),
              "00002FFE  FF FF 12 34 56 78 FF FF                           |...4Vx..|\n00003006\n");
    EXPECT_EQ(lab_ok({"load", "PhysicalDrive1", "pcie_conf", "0x40", file}), "");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "pcie_conf", "0", "2"}).substr(0, 16), "00000000  9A 1F ");
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "pcie_conf", "0x40", "4"}),
              "00000040  12 34 56 78                                       |.4Vx|\n00000044\n");
    expect_lab_error(
        {"load", "PhysicalDrive1", "flash", "0x1FFFFD", file},
        "mvbridge-lab: " + file + " has 4 bytes: they do not fit flash (2097152 bytes) at offset 2097149\n");
    expect_lab_error({"load", "PhysicalDrive1", "flash", "0", dir_},
                     "mvbridge-lab: " + dir_ + " is not a regular file\n");
    expect_lab_error({"load", "PhysicalDrive1", "flash", "0", path("none.bin")},
                     "mvbridge-lab: " + path("none.bin") + ": No such file or directory\n");
    expect_lab_error({"load", "PhysicalDrive1", "rom", "0", file},
                     "mvbridge-lab: unknown memory 'rom' (flash, led, media, nvme_pages, nvme_fw, pcie_conf, "
                     "pcie_bar0, smart_data, nvme_slots)\n");
    expect_lab_error({"load", "PhysicalDrive1", "flash", "x", file}, "mvbridge-lab: OFFSET is a number, not 'x'\n");
    expect_lab_error({"load", "PhysicalDrive1", "flash", "0"}, "usage: mvbridge-lab DIR load NAME MEMORY OFFSET FILE\n",
                     2);
    EXPECT_FALSE(std::filesystem::exists(path("bridges/PhysicalDrive1.media")));
}

TEST_F(storage_e2e, show_and_fill_refuse_what_is_outside_or_malformed) {
    expect_lab_error({"show", "PhysicalDrive1", "led", "16385"},
                     "mvbridge-lab: led has 16384 bytes: offset 16385 is beyond it\n");
    expect_lab_error({"show", "PhysicalDrive1", "led", "16000", "385"},
                     "mvbridge-lab: led has 16384 bytes: the range runs beyond it\n");
    expect_lab_error({"show", "PhysicalDrive1", "led", "-1"}, "mvbridge-lab: OFFSET is a number, not '-1'\n");
    expect_lab_error({"show", "PhysicalDrive1", "led", "0", "x"}, "mvbridge-lab: LENGTH is a number, not 'x'\n");
    expect_lab_error({"show", "PhysicalDrive1", "cust_page", "0"}, "usage: mvbridge-lab DIR show NAME cust_page\n", 2);
    expect_lab_error({"show", "PhysicalDrive1", "state", "0"},
                     "usage: mvbridge-lab DIR show [NAME [SECTION]]\n"
                     "       mvbridge-lab DIR show NAME MEMORY [OFFSET [LENGTH]]\n"
                     "       mvbridge-lab DIR show NAME leds [--color auto|always|never] [--svg FILE]\n",
                     2);
    expect_lab_error({"fill", "PhysicalDrive1", "rom", "0", "1", "0"},
                     "mvbridge-lab: unknown memory 'rom' (flash, led, media, nvme_pages, nvme_fw, pcie_conf, "
                     "pcie_bar0, smart_data, nvme_slots)\n");
    expect_lab_error({"fill", "PhysicalDrive1", "led", "0", "1", "256"},
                     "mvbridge-lab: BYTE is a number up to 255, not '256'\n");
    expect_lab_error({"fill", "PhysicalDrive1", "flash", "0x1FFFFF", "2", "0"},
                     "mvbridge-lab: flash has 2097152 bytes: the range runs beyond it\n");
    expect_lab_error({"fill", "PhysicalDrive1", "flash", "0"},
                     "usage: mvbridge-lab DIR fill NAME MEMORY OFFSET LENGTH BYTE\n", 2);
    // A larger flash takes the larger range; an empty range is a dump of its end only.
    lab_ok({"set", "PhysicalDrive1", "flash_size", "0x400000"});
    lab_ok({"fill", "PhysicalDrive1", "flash", "0x1FFFFF", "2", "0"});
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash", "0x3FFFFF", "0"}), "003FFFFF\n");
    EXPECT_FALSE(std::filesystem::exists(path("bridges/PhysicalDrive1.media")));
}

// A state file written before the memories had files of their own keeps its PG sector
// and customer page: the first load moves them into the flash and rewrites the file.
TEST_F(storage_e2e, a_state_file_with_flash_blobs_moves_them_into_the_flash) {
    std::string state = read_lab_file("bridges/PhysicalDrive1.state");
    const size_t data = state.rfind("data\n");
    ASSERT_NE(data, std::string::npos);
    const std::string pg = "PG" + std::string(4094, '\xFF');
    const std::string page = "old page" + std::string(4088, '\0');
    state = state.substr(0, data) + "blob flash_pg 4096\nblob cust_page 4096\ndata\n" + pg + page;
    write_lab_file("bridges/PhysicalDrive1.state", state);

    EXPECT_EQ(run({"get_cust_page", drive_path(1)}), "6F 6C 64 20 70 61 67 65 " + repeated("00 ", 4088));
    EXPECT_EQ(read_lab_file("bridges/PhysicalDrive1.state").find("blob"), std::string::npos);
    EXPECT_EQ(lab_ok({"show", "PhysicalDrive1", "flash_pg"}),
              "00004000  50 47 FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |PG..............|\n"
              "00004010  FF FF FF FF FF FF FF FF  FF FF FF FF FF FF FF FF  |................|\n*\n"
              "00005000\n");
}

// The bridge's state section tells lab times from now.
TEST_F(storage_e2e, show_tells_lab_times_from_now) {
    EXPECT_EQ(shown("PhysicalDrive1", "state", "offline_until_ms"), "past");
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "100000"});
    lab_ok({"restart", "PhysicalDrive1"});
    const std::string when = shown("PhysicalDrive1", "state", "offline_until_ms");
    ASSERT_TRUE(when.starts_with("in ") && when.ends_with(" ms")) << when;
    const long ms = std::stol(when.substr(3));
    EXPECT_GT(ms, 90000);
    EXPECT_LE(ms, 100000);
    lab_ok({"set", "PhysicalDrive1", "restart_never", "1"});
    lab_ok({"restart", "PhysicalDrive1"});
    EXPECT_EQ(shown("PhysicalDrive1", "state", "offline_until_ms"), "never");
}

TEST_F(storage_e2e, help_prints_the_usage) {
    const process_result plain = run_process(MVBRIDGE_LAB_PATH, {"--help"});
    EXPECT_TRUE(plain.out.starts_with("usage: mvbridge-lab DIR VERB [ARGS...]\n"));
    EXPECT_TRUE(plain.out.ends_with("\n  help\n"));
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"help"}, {dir_, "help"}, {"/nowhere", "help"}}) {
        const process_result help = run_process(MVBRIDGE_LAB_PATH, words);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out, plain.out);
        EXPECT_EQ(help.err, "");
    }
}

}  // namespace
