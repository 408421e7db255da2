// The PCIe and ATA commands on lab bridges: the NVMe disk's PCIe function behind one
// bridge, a SATA disk behind another; what the commands print, the blocks they send and
// what the devices keep.
#include <fstream>
#include <string>

#include "lab_fixture.h"
#include "vendor_block_lines.h"

namespace {

const std::string k_flag_clear =
    "CMD PhysicalDrive1 E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=00";
const std::string k_flag_set =
    "CMD PhysicalDrive1 E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 status=0 err=0 data=01";

// `count` bytes of dump, all zero, as the read commands print them.
std::string zero_dump(size_t count) {
    std::string out;
    for (size_t j = 0; j < count; ++j) out += j % 16 == 15 ? "00\n" : "00 ";
    return out + "\n";
}

class pcie_e2e : public bridge_lab_test {
protected:
    void SetUp() override {
        bridge_lab_test::SetUp();
        lab_ok({"create", "PhysicalDrive2", "--disk", "sata"});
    }
    lines pcie_blocks() { return vendor_block_lines(trace_lines(), "PhysicalDrive1", {"B3", "33", "B4", "34", "4B"}); }
    std::string conf(const std::string& reg, const std::string& length) {
        return run({"pcie_read_conf", nvme_, reg, length});
    }

    const std::string nvme_ = drive_path(1);
    const std::string sata_ = drive_path(2);
};

// Lengths outside 1 to 256 send nothing; 256 reads the whole space, which starts with the
// function's IDs, Command and Status with the capability-list bit.
TEST_F(pcie_e2e, configuration_read_lengths) {
    EXPECT_EQ(conf("0", "0"), "pcie_read_conf: wrong parameter\n");
    EXPECT_EQ(conf("0", "257"), "pcie_read_conf: wrong parameter\n");
    EXPECT_EQ(pcie_blocks(), lines{});
    const std::string all = conf("0", "256");
    EXPECT_EQ(all.substr(0, 48), "9a 1f 16 50 06 00 10 00 01 02 08 01 00 00 00 00\n");
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 17);
    EXPECT_EQ(pcie_blocks(),
              lines{"CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 00 00 00 00 00 01 00 00 in 256 status=0 err=0"});
    // Past the 256 bytes kept the function has nothing: zeros.
    EXPECT_EQ(conf("F8", "16"), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n\n");
    EXPECT_EQ(run({"pcie_read_conf", nvme_, "0", "4", "-d-1"}), "");
}

// Register 0x104 is register 0x04, Command: bus master stays, memory space goes off.
// Read-only registers keep their value; the Status error bits clear where a 1 is written.
TEST_F(pcie_e2e, configuration_writes_follow_the_writable_bits) {
    EXPECT_EQ(run({"pcie_write_conf", nvme_, "104", "04"}), "pcie_write_conf ok\n");
    EXPECT_EQ(pcie_blocks(), lines{"CMD PhysicalDrive1 E3 00 00 00 33 00 00 00 04 00 00 00 04 00 00 00 out 4 status=0 "
                                   "err=0 data=04 00 00 00"});
    EXPECT_EQ(conf("4", "4"), "04 00 10 00 \n");
    EXPECT_EQ(run({"pcie_write_conf", nvme_, "0", "FFFFFFFF"}), "pcie_write_conf ok\n");
    EXPECT_EQ(conf("0", "4"), "9a 1f 16 50 \n");
    // BAR0 sizing: the 16 KiB window keeps its low bits.
    EXPECT_EQ(run({"pcie_write_conf", nvme_, "10", "FFFFFFFF"}), "pcie_write_conf ok\n");
    EXPECT_EQ(conf("10", "4"), "04 c0 ff ff \n");
}

// Up to 4096 bytes leave the transfer flag alone; longer reads clear it before and set it
// after; above 262144 bytes nothing is sent. Memory space outside BAR0 reads zero.
TEST_F(pcie_e2e, memory_read_lengths_and_the_transfer_flag) {
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "10000000", "262145"}), "pcie_read_mem: wrong parameter\n");
    EXPECT_EQ(pcie_blocks(), lines{});
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "10000000", "4096"}), zero_dump(4096));
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "10000000", "4097"}), zero_dump(4097));
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "10000000", "262144"}), zero_dump(262144));
    EXPECT_EQ(
        pcie_blocks(),
        (lines{
            "CMD PhysicalDrive1 E2 00 00 00 B4 00 00 00 00 00 00 10 00 10 00 00 in 4096 status=0 err=0", k_flag_clear,
            "CMD PhysicalDrive1 E2 00 00 00 B4 00 00 00 00 00 00 10 01 10 00 00 in 4097 status=0 err=0", k_flag_set,
            k_flag_clear, "CMD PhysicalDrive1 E2 00 00 00 B4 00 00 00 00 00 00 10 00 00 04 00 in 262144 status=0 err=0",
            k_flag_set}));
    EXPECT_EQ(shown("PhysicalDrive1", "settings", "xfer_flag"), "1");
}

// A long read the bridge refuses, because the flag could not be cleared, fails, and the
// flag is set again all the same.
TEST_F(pcie_e2e, a_refused_long_read_still_sets_the_flag_again) {
    lab_ok({"fault", "PhysicalDrive1", "add", "E3 .. .. .. 4B .. .. .. .. .. .. .. .. .. .. ..", "--status", "2",
            "--first", "1"});
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "FE000000", "8192"}), "pcie_read_mem fail\n");
    const lines blocks = pcie_blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[1], "CMD PhysicalDrive1 E2 00 00 00 B4 00 00 00 00 00 00 FE 00 20 00 00 in 8192 status=2 err=0");
    EXPECT_EQ(blocks[2], k_flag_set);
}

// BAR0 holds the controller's registers at the address the BAR reports: CAP, VS, CC and
// CSTS; a write to CC is taken and CSTS follows it, VS is read only.
TEST_F(pcie_e2e, controller_registers_in_memory_space) {
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "FE000000", "32"}),
              "ff 03 01 14 30 00 00 00 00 04 01 00 00 00 00 00\n"
              "00 00 00 00 01 00 46 00 00 00 00 00 01 00 00 00\n\n");
    EXPECT_EQ(run({"pcie_write_mem", nvme_, "FE000014", "460000"}), "pcie_write_mem ok\n");
    EXPECT_EQ(run({"pcie_write_mem", nvme_, "FE000008", "20000"}), "pcie_write_mem ok\n");
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "FE000008", "24"}),
              "00 04 01 00 00 00 00 00 00 00 00 00 00 00 46 00\n00 00 00 00 00 00 00 00 \n");
    EXPECT_EQ(pcie_blocks().back(),
              "CMD PhysicalDrive1 E2 00 00 00 B4 00 00 00 08 00 00 FE 18 00 00 00 in 24 status=0 err=0");
    // Moved by its BAR, the window is found at its new address.
    EXPECT_EQ(run({"pcie_write_conf", nvme_, "10", "D0000004"}), "pcie_write_conf ok\n");
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "D0000008", "4"}), "00 04 01 00 \n");
    EXPECT_EQ(run({"pcie_read_mem", nvme_, "FE000008", "4"}), "00 00 00 00 \n");
}

// The link commands find the PCI Express capability and read its link registers.
TEST_F(pcie_e2e, link_of_a_gen4_x4_function) {
    EXPECT_EQ(run({"pcie_get_link_status", nvme_}), "current link speed = Gen3\nnegotiated link width = x4\n");
    lab_ok({"set", "PhysicalDrive1", "pcie_gen", "4"});
    clear_trace();
    EXPECT_EQ(run({"pcie_get_link_status", nvme_}), "current link speed = Gen4\nnegotiated link width = x4\n");
    EXPECT_EQ(pcie_blocks(),
              (lines{"CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 06 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 34 00 00 00 01 00 00 00 in 1 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 40 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 50 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 70 00 00 00 02 00 00 00 in 2 status=0 err=0",
                     "CMD PhysicalDrive1 E2 00 00 00 B3 00 00 00 82 00 00 00 04 00 00 00 in 4 status=0 err=0"}));
    EXPECT_EQ(run({"pcie_get_link_cap", nvme_}), "max link speed = Gen4\nmax link width = x4\n");

    // A narrower capability brings the trained link down with it; the link is kept
    // over a restart of the bridge, which resets the function.
    lab_ok({"set", "PhysicalDrive1", "pcie_max_width", "2"});
    lab_ok({"set", "PhysicalDrive1", "pcie_max_gen", "5"});
    EXPECT_EQ(run({"pcie_write_conf", nvme_, "4", "0"}), "pcie_write_conf ok\n");
    lab_ok({"set", "PhysicalDrive1", "restart_delay_ms", "0"});
    EXPECT_EQ(run({"fw_restart", nvme_, "0"}).empty(), false);
    EXPECT_EQ(run({"pcie_get_link_cap", nvme_}), "max link speed = Gen5\nmax link width = x2\n");
    EXPECT_EQ(run({"pcie_get_link_status", nvme_}), "current link speed = Gen4\nnegotiated link width = x2\n");
    EXPECT_EQ(conf("4", "2"), "06 00 \n");
    expect_lab_error({"set", "PhysicalDrive1", "pcie_gen", "6"},
                     "mvbridge-lab: the link trains at most to generation 5\n");
    expect_lab_error({"set", "PhysicalDrive1", "pcie_width", "3"},
                     "mvbridge-lab: a link width is 1, 2, 4, 8, 12, 16 or 32\n");
}

// Rows 45, 49 and 50 need a PCIe device; 46 to 48 only read the disk status and run,
// and a SATA bridge refuses their blocks.
TEST_F(pcie_e2e, a_sata_bridge_has_no_pcie_function) {
    EXPECT_EQ(run({"pcie_read_conf", sata_, "0", "4"}), "Not PCIE Device\n");
    EXPECT_EQ(run({"pcie_get_link_status", sata_}), "Not PCIE Device\n");
    EXPECT_EQ(run({"pcie_get_link_cap", sata_}), "Not PCIE Device\n");
    EXPECT_EQ(run({"pcie_write_conf", sata_, "4", "6"}), "pcie_write_conf fail\n");
    EXPECT_EQ(run({"pcie_read_mem", sata_, "FE000000", "4"}), "pcie_read_mem fail\n");
    EXPECT_EQ(run({"pcie_write_mem", sata_, "FE000014", "0"}), "pcie_write_mem fail\n");
    EXPECT_EQ(vendor_block_lines(trace_lines(), "PhysicalDrive2", {"B3", "33", "B4", "34"}),
              (lines{"CMD PhysicalDrive2 E3 00 00 00 33 00 00 00 04 00 00 00 04 00 00 00 out 4 status=2 err=0 "
                     "data=06 00 00 00",
                     "CMD PhysicalDrive2 E2 00 00 00 B4 00 00 00 00 00 00 FE 04 00 00 00 in 4 status=2 err=0",
                     "CMD PhysicalDrive2 E3 00 00 00 34 00 00 00 14 00 00 FE 04 00 00 00 out 4 status=2 err=0 "
                     "data=00 00 00 00"}));
}

const std::string k_smart_header = "version: 10 00\n\n  id   current    worst   threshold          data\n";

// The SATA disk's SMART table; attributes set in the lab show in it, a saved 512-byte
// file replaces the data; an NVMe bridge does not serve the command.
TEST_F(pcie_e2e, smart_table_of_a_sata_disk) {
    EXPECT_EQ(run({"ata_get_smart_log", sata_}), k_smart_header +
                                                     "0x05      0x64     0x64        0x0a    0x00000000\n"
                                                     "0x09      0x64     0x64        0x00    0x000004D2\n"
                                                     "0x0C      0x64     0x64        0x00    0x00000038\n"
                                                     "0xA7      0x64     0x64        0x00    0x00000000\n"
                                                     "0xC2      0x43     0x37        0x00    0x000F0021\n"
                                                     "0xF1      0x64     0x64        0x00    0x0001E240\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive2 A1 08 0E D0"),
              lines{"CMD PhysicalDrive2 A1 08 0E D0 01 01 4F C2 A0 B0 00 00 00 00 00 00 in 512 status=0 err=0"});
    lab_ok({"set", "PhysicalDrive2", "smart_attribute", "9 98 97 0x1122334455 3"});
    lab_ok({"set", "PhysicalDrive2", "smart_attribute", "0xC2 none"});
    lab_ok({"set", "PhysicalDrive2", "smart_attribute", "0xBB 100 100 7"});
    const std::string table = run({"ata_get_smart_log", sata_});
    EXPECT_NE(table.find("0x09      0x62     0x61        0x03    0x22334455\n"), std::string::npos) << table;
    EXPECT_EQ(table.find("0xC2"), std::string::npos) << table;
    EXPECT_NE(table.find("0xBB      0x64     0x64        0x00    0x00000007\n"), std::string::npos) << table;
    EXPECT_EQ(shown("PhysicalDrive2", "disk", "smart_file"), "version 0x0010, checksum good");

    std::string saved(512, '\0');
    saved[0] = 0x01;
    saved[2 + 12 * 4] = static_cast<char>(0xE8);
    saved[2 + 12 * 4 + 3] = 0x10;
    saved[2 + 12 * 4 + 4] = 0x0F;
    saved[2 + 12 * 4 + 5] = 0x42;
    saved[2 + 12 * 4 + 11] = 0x05;
    const std::string path = dir_ + "/saved-smart.bin";
    std::ofstream(path, std::ios::binary) << saved;
    lab_ok({"set", "PhysicalDrive2", "smart_file", path});
    EXPECT_EQ(run({"ata_get_smart_log", sata_}),
              "version: 01 00\n\n  id   current    worst   threshold          data\n"
              "0xE8      0x10     0x0F        0x05    0x00000042\n");
    EXPECT_EQ(shown("PhysicalDrive2", "disk", "smart_file"), "version 0x0001, checksum bad");
    EXPECT_EQ(run({"ata_get_smart_log", sata_, "-d-1"}), "");
    std::ofstream(path, std::ios::binary) << std::string(100, 'x');
    expect_lab_error({"set", "PhysicalDrive2", "smart_file", path},
                     "mvbridge-lab: " + path + " is not 512 bytes of SMART data\n");
    expect_lab_error({"set", "PhysicalDrive2", "smart_file", dir_}, "mvbridge-lab: " + dir_ + " is no file\n");

    EXPECT_EQ(run({"ata_get_smart_log", nvme_}), "Not SATA SSD\n");
}

// SET FEATURES the disk supports is recorded and shown; one it does not is aborted.
TEST_F(pcie_e2e, set_features_are_recorded) {
    EXPECT_EQ(shown("PhysicalDrive2", "disk", "ata_features"), "none received");
    EXPECT_EQ(run({"ata_set_feature", sata_, "2", "0"}), "ata_set_feature success\n");
    EXPECT_EQ(run({"ata_set_feature", sata_, "259", "513"}), "ata_set_feature success\n");  // low 8 bits: 03, 01
    EXPECT_EQ(run({"ata_set_feature", sata_, "0", "0"}), "ata_set_feature fail\n");
    EXPECT_EQ(trace_lines("CMD PhysicalDrive2 A1 06"),
              (lines{"CMD PhysicalDrive2 A1 06 0E 02 00 00 00 00 00 EF 00 00 00 00 00 00 out 0 status=0 err=0",
                     "CMD PhysicalDrive2 A1 06 0E 03 01 00 00 00 00 EF 00 00 00 00 00 00 out 0 status=0 err=0",
                     "CMD PhysicalDrive2 A1 06 0E 00 00 00 00 00 00 EF 00 00 00 00 00 00 out 0 status=2 err=0"}));
    EXPECT_EQ(shown("PhysicalDrive2", "disk", "ata_features"),
              "0x02 enable write cache, count 0x00; 0x03 set transfer mode, count 0x01");
    EXPECT_EQ(run({"ata_set_feature", nvme_, "2", "0"}), "Not SATA SSD\n");
}

}  // namespace
