// PCIe and ATA commands: the blocks they send, the capability walk and what they print.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "zelko/bridge/pcie_ata.h"
#include "cli/commands/pcie_ata.h"
#include "zelko/bridge/pcie_ata_report.h"
#include "zelko/common/print_level.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

using namespace bridge_script;
using lines = std::vector<std::string>;

class BridgePcie : public bridge_command_test {
protected:
    void TearDown() override {
        set_print_level(0);
        bridge_command_test::TearDown();
    }
};
class BridgeAta : public BridgePcie {};

const std::string k_flag_clear = "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=00";
const std::string k_flag_set = "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=01";

std::string conf_read_block(uint8_t reg, uint32_t length) {
    char text[80];
    std::snprintf(text, sizeof text, "E2 00 00 00 B3 00 00 00 %02X 00 00 00 %02X %02X %02X 00 in %u", reg,
                  length & 0xFF, (length >> 8) & 0xFF, (length >> 16) & 0xFF, length);
    return text;
}

std::string mem_read_block(const std::string& address, const std::string& length_bytes, uint32_t length) {
    return "E2 00 00 00 B4 00 00 00 " + address + " " + length_bytes + " in " + std::to_string(length);
}

std::vector<uint8_t> counting(size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

// The dump of `bytes` as the read commands print it.
std::string dump_of(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t j = 0; j < bytes.size(); ++j) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", bytes[j]);
        out += pair;
        out += j % 16 == 15 ? "\n" : " ";
    }
    return out + "\n";
}

// A crafted configuration space: the capability-list bit of Status, the pointer at 0x34
// and capability headers (offset, id, next).
struct cap_header {
    uint8_t offset, id, next;
};
std::vector<uint8_t> space_with(bool list, uint8_t pointer, const std::vector<cap_header>& caps) {
    std::vector<uint8_t> space(256, 0);
    space[0x06] = list ? 0x10 : 0xEF;
    space[0x34] = pointer;
    for (const cap_header& c : caps) {
        space[c.offset] = c.id;
        space[c.offset + 1] = c.next;
    }
    return space;
}

// Scripts the answers of the reads at `regs` (2 bytes each, 1 at 0x34) from `space`;
// returns the blocks those reads are.
lines script_reads(const std::vector<uint8_t>& space, const std::vector<uint8_t>& regs) {
    lines blocks;
    for (const uint8_t reg : regs) {
        const uint32_t length = reg == 0x34 ? 1 : 2;
        fake::script_ok(std::vector<uint8_t>(space.begin() + reg, space.begin() + reg + length));
        blocks.push_back(conf_read_block(reg, length));
    }
    return blocks;
}

TEST_F(BridgePcie, DumpPrintsSixteenPairsALineAndEndsWithALineEnd) {
    const std::vector<uint8_t> bytes = counting(20);
    testing::internal::CaptureStdout();
    print_hex_dump(stdout, bytes.data(), bytes.size());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n10 11 12 13 \n");
    set_print_level(-1);
    testing::internal::CaptureStdout();
    print_hex_dump(stdout, bytes.data(), bytes.size());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// The length is checked before any traffic; the register keeps its low 8 bits; a read
// that fails or arrives short prints fail and no dump.
TEST_F(BridgePcie, ReadConf) {
    const std::vector<uint8_t> full = counting(256);
    run_cases(cmd_pcie_read_conf, "pcie_read_conf",
              {
                  {{"0", "0"}, {}, "pcie_read_conf: wrong parameter\n"},
                  {{"0", "257"}, {}, "pcie_read_conf: wrong parameter\n"},
                  {{"0", "-1"}, {}, "pcie_read_conf: wrong parameter\n"},
                  {{"0", "4294967297"}, {}, "pcie_read_conf: wrong parameter\n"},
                  {{"0", "256"}, {ok(full)}, dump_of(full), {"E2 00 00 00 B3 00 00 00 00 00 00 00 00 01 00 00 in 256"}},
                  {{"1FF", "2"}, {ok({0x10, 0x00})}, "10 00 \n", {conf_read_block(0xFF, 2)}},
                  {{"0x34", "1"}, {ok({0x40})}, "40 \n", {conf_read_block(0x34, 1)}},
                  {{"10", "8"}, {check_condition()}, "pcie_read_conf fail\n"},
                  {{"10", "8"}, {{.data = {1, 2}, .residual = 6}}, "pcie_read_conf fail\n"},
              });
}

TEST_F(BridgePcie, WriteConfSendsFourBytesLeastSignificantFirst) {
    run_cases(cmd_pcie_write_conf, "pcie_write_conf",
              {
                  {{"104", "04"},
                   {ok()},
                   "pcie_write_conf ok\n",
                   {"E3 00 00 00 33 00 00 00 04 00 00 00 04 00 00 00 out 4 data=04 00 00 00"}},
                  {{"10", "FEDC0004"},
                   {ok()},
                   "pcie_write_conf ok\n",
                   {"E3 00 00 00 33 00 00 00 10 00 00 00 04 00 00 00 out 4 data=04 00 DC FE"}},
                  {{"44", "3"}, {access_denied()}, "pcie_write_conf fail\n"},
              });
}

// Reads up to 4096 bytes leave the transfer flag alone; longer ones clear it before and
// set it after, also when the read failed; above 262144 bytes nothing is sent.
TEST_F(BridgePcie, ReadMemBracketsLongReadsWithTheTransferFlag) {
    const std::vector<uint8_t> page = counting(4096);
    const std::vector<uint8_t> longer = counting(4097);
    const std::vector<uint8_t> most = counting(262144);
    run_cases(
        cmd_pcie_read_mem, "pcie_read_mem",
        {
            {{"FE000000", "262145"}, {}, "pcie_read_mem: wrong parameter\n"},
            {{"FE000000", "0"}, {}, "pcie_read_mem: wrong parameter\n"},
            {{"FE000000", "4096"}, {ok(page)}, dump_of(page), {mem_read_block("00 00 00 FE", "00 10 00 00", 4096)}},
            {{"0xFE000008", "4"},
             {ok({0, 4, 1, 0})},
             "00 04 01 00 \n",
             {mem_read_block("08 00 00 FE", "04 00 00 00", 4)}},
            {{"FE000000", "4097"},
             {ok(), ok(longer), ok()},
             dump_of(longer),
             {k_flag_clear, mem_read_block("00 00 00 FE", "01 10 00 00", 4097), k_flag_set}},
            {{"FE000000", "262144"},
             {ok(), ok(most), ok()},
             dump_of(most),
             {k_flag_clear, mem_read_block("00 00 00 FE", "00 00 04 00", 262144), k_flag_set}},
            // A refused clear does not stop the read; a failed read still sets the flag.
            {{"FE000000", "5000"},
             {check_condition(), check_condition(), ok()},
             "pcie_read_mem fail\n",
             {k_flag_clear, mem_read_block("00 00 00 FE", "88 13 00 00", 5000), k_flag_set}},
            {{"FE000000", "5000"}, {ok(), {.data = page, .residual = 904}, ok()}, "pcie_read_mem fail\n"},
        });
}

TEST_F(BridgePcie, WriteMem) {
    run_cases(cmd_pcie_write_mem, "pcie_write_mem",
              {
                  {{"FE000014", "460001"},
                   {ok()},
                   "pcie_write_mem ok\n",
                   {"E3 00 00 00 34 00 00 00 14 00 00 FE 04 00 00 00 out 4 data=01 00 46 00"}},
                  {{"FE000014", "1"}, {check_condition()}, "pcie_write_mem fail\n"},
              });
    // A long write is bracketed like a long read, and its bytes go out unchanged.
    next_case();
    const std::vector<uint8_t> bytes = counting(8192);
    for (const auto& a : {ok(), check_condition(), ok()}) fake::script(a);
    EXPECT_EQ(pcie_mem_write(device.get(), 0xFE001000, bytes.data(), 8192), 2);
    EXPECT_EQ(sent_blocks(),
              (lines{k_flag_clear, "E3 00 00 00 34 00 00 00 00 10 00 FE 00 20 00 00 out 8192", k_flag_set}));
    EXPECT_EQ(data_out(1), bytes);
}

// The walk on crafted spaces: the reads it makes and what it finds.
TEST_F(BridgePcie, CapabilityWalk) {
    struct walk_case {
        const char* name;
        std::vector<uint8_t> space;
        uint8_t id;
        std::vector<uint8_t> reads;
        cmd_status status;
        uint8_t offset;
    };
    const std::vector<cap_header> three = {{0x40, 0x01, 0x50}, {0x50, 0x11, 0x70}, {0x70, 0x10, 0x00}};
    const std::vector<walk_case> cases = {
        {"no list", space_with(false, 0x40, three), 0x10, {0x06}, k_status_cap_absent, 0},
        {"third in line", space_with(true, 0x40, three), 0x10, {0x06, 0x34, 0x40, 0x50, 0x70}, 0, 0x70},
        {"first in line", space_with(true, 0x40, three), 0x01, {0x06, 0x34, 0x40}, 0, 0x40},
        {"id absent", space_with(true, 0x40, three), 0x05, {0x06, 0x34, 0x40, 0x50, 0x70}, k_status_cap_absent, 0},
        {"empty pointer", space_with(true, 0x00, {{0x00, 0x10, 0x40}}), 0x10, {0x06, 0x34}, k_status_cap_absent, 0},
    };
    for (const walk_case& c : cases) {
        SCOPED_TRACE(c.name);
        next_case();
        const lines blocks = script_reads(c.space, c.reads);
        uint8_t offset = 0;
        EXPECT_EQ(pcie_find_cap(device.get(), c.id, &offset), c.status);
        EXPECT_EQ(offset, c.offset);
        EXPECT_EQ(sent_blocks(), blocks);
    }
}

// A list that loops back on itself ends after 48 entries, the most a 256-byte space holds.
TEST_F(BridgePcie, LoopingCapabilityListEnds) {
    const std::vector<uint8_t> space = space_with(true, 0x40, {{0x40, 0x01, 0x50}, {0x50, 0x05, 0x40}});
    std::vector<uint8_t> reads = {0x06, 0x34};
    for (int i = 0; i < k_pci_max_caps; ++i) reads.push_back(i % 2 == 0 ? 0x40 : 0x50);
    const lines blocks = script_reads(space, reads);
    uint8_t offset = 0;
    EXPECT_EQ(pcie_find_cap(device.get(), 0x10, &offset), k_status_cap_list_loops);
    EXPECT_EQ(sent_blocks(), blocks);

    // The link commands print fail on such a device.
    next_case();
    script_reads(space, reads);
    EXPECT_EQ(run(cmd_pcie_get_link_status, "pcie_get_link_status"), "pcie_get_link_status fail\n");
}

// Link Status of a Gen4 x4 function, Link Capabilities of a Gen5 x16 one; the register
// offset wraps at 8 bits; a walk or read that fails prints fail.
TEST_F(BridgePcie, LinkCommands) {
    const std::vector<uint8_t> at_70 = space_with(true, 0x40, {{0x40, 0x01, 0x70}, {0x70, 0x10, 0x00}});
    const std::vector<uint8_t> at_f8 = space_with(true, 0xF8, {{0xF8, 0x10, 0x00}});
    struct link_case {
        command_handler handler;
        const char* command;
        std::vector<uint8_t> space;
        std::vector<uint8_t> walk;
        uint8_t field;
        fake::answer value;
        std::string output;
    };
    const std::vector<link_case> cases = {
        {cmd_pcie_get_link_status,
         "pcie_get_link_status",
         at_70,
         {0x06, 0x34, 0x40, 0x70},
         0x82,
         ok({0x44, 0x10, 0x00, 0x00}),
         "current link speed = Gen4\nnegotiated link width = x4\n"},
        {cmd_pcie_get_link_cap,
         "pcie_get_link_cap",
         at_70,
         {0x06, 0x34, 0x40, 0x70},
         0x7C,
         ok({0x05, 0x01, 0x40, 0x00}),
         "max link speed = Gen5\nmax link width = x16\n"},
        {cmd_pcie_get_link_cap,
         "pcie_get_link_cap",
         at_70,
         {0x06, 0x34, 0x40, 0x70},
         0x7C,
         ok({0x03, 0x02, 0x00, 0x00}),
         "max link speed = Gen3\nmax link width = x32\n"},
        {cmd_pcie_get_link_status,
         "pcie_get_link_status",
         at_f8,
         {0x06, 0x34, 0xF8},
         0x0A,
         ok({0x12, 0x00, 0x00, 0x00}),
         "current link speed = Gen2\nnegotiated link width = x1\n"},
        {cmd_pcie_get_link_status,
         "pcie_get_link_status",
         at_70,
         {0x06, 0x34, 0x40, 0x70},
         0x82,
         {.data = {0x44, 0x10}, .residual = 2},
         "pcie_get_link_status fail\n"},
        {cmd_pcie_get_link_cap,
         "pcie_get_link_cap",
         space_with(true, 0x40, {{0x40, 0x01, 0x00}}),
         {0x06, 0x34, 0x40},
         0,
         {},
         "pcie_get_link_cap fail\n"},
    };
    for (const link_case& c : cases) {
        SCOPED_TRACE(c.output);
        next_case();
        lines blocks = script_reads(c.space, c.walk);
        if (c.field != 0) {
            fake::script(c.value);
            blocks.push_back(conf_read_block(c.field, 4));
        }
        EXPECT_EQ(run(c.handler, c.command), c.output);
        EXPECT_EQ(sent_blocks(), blocks);
    }
    next_case();
    fake::script(check_condition());
    EXPECT_EQ(run(cmd_pcie_get_link_cap, "pcie_get_link_cap"), "pcie_get_link_cap fail\n");
}

std::vector<uint8_t> smart_with_three_slots() {
    std::vector<uint8_t> data(512, 0);
    data[0] = 0x10;
    data[1] = 0x00;
    const auto slot = [&data](size_t i, uint8_t id, uint8_t current, uint8_t worst, uint32_t raw, uint8_t byte11) {
        uint8_t* s = &data[2 + 12 * i];
        s[0] = id;
        s[1] = 0x32;  // flags, not shown
        s[3] = current;
        s[4] = worst;
        put_le32(s + 5, raw);
        s[9] = 0xEE;  // raw bytes beyond the shown 32 bits
        s[11] = byte11;
    };
    slot(0, 0x05, 100, 100, 0, 0x0A);
    slot(2, 0x09, 99, 98, 0x12345678, 0x00);
    slot(29, 0xC2, 0x21, 0x2D, 0x0028001E, 0xAB);
    return data;
}

const std::string k_smart_block = "A1 08 0E D0 01 01 4F C2 A0 B0 00 00 00 00 00 00 in 512";
const std::string k_three_slot_table =
    "version: 10 00\n\n"
    "  id   current    worst   threshold          data\n"
    "0x05      0x64     0x64        0x0a    0x00000000\n"
    "0x09      0x63     0x62        0x00    0x12345678\n"
    "0xC2      0x21     0x2D        0xab    0x0028001E\n";

TEST_F(BridgeAta, SmartTable) {
    const std::vector<uint8_t> data = smart_with_three_slots();
    run_cases(cmd_ata_get_smart_log, "ata_get_smart_log",
              {
                  {{}, {ok(data)}, k_three_slot_table, {k_smart_block}},
                  {{},
                   {ok(std::vector<uint8_t>(512, 0))},
                   "version: 00 00\n\n  id   current    worst   threshold          data\n"},
                  {{}, {check_condition()}, "ata_get_smart_log fail\n"},
                  {{}, {{.data = std::vector<uint8_t>(100, 1), .residual = 412}}, "ata_get_smart_log fail\n"},
              });
    set_print_level(-1);
    testing::internal::CaptureStdout();
    smart_table_print(stdout, data.data(), data.size());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    // A block cut short shows only the slots it holds.
    set_print_level(0);
    testing::internal::CaptureStdout();
    smart_table_print(stdout, data.data(), 40);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "version: 10 00\n\n  id   current    worst   threshold          data\n"
              "0x05      0x64     0x64        0x0a    0x00000000\n0x09      0x63     0x62        0x00    0x12345678\n");

    next_case();
    uint8_t small[511] = {};
    EXPECT_EQ(ata_smart_read(device.get(), small, 511), -1);  // nothing sent
}

TEST_F(BridgeAta, SetFeatures) {
    run_cases(cmd_ata_set_feature, "ata_set_feature",
              {
                  {{"2", "0"},
                   {ok()},
                   "ata_set_feature success\n",
                   {"A1 06 0E 02 00 00 00 00 00 EF 00 00 00 00 00 00 out 0"}},
                  {{"386", "259"},
                   {ok()},
                   "ata_set_feature success\n",
                   {"A1 06 0E 82 03 00 00 00 00 EF 00 00 00 00 00 00 out 0"}},
                  {{"3", "70"}, {check_condition()}, "ata_set_feature fail\n"},
              });
    EXPECT_TRUE(fake::requests()[0].buffer_null);
}

}  // namespace
