// NVMe maintenance: the firmware chunk plan, commit and sanitize dwords, and the blocks
// the maintenance commands send.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/common/numbers.h"
#include "zelko/nvme/maintenance.h"
#include "cli/commands/nvme.h"
#include "tests/unit/bridge_command_fixture.h"

using namespace zelko;

namespace {

TEST(FwChunks, Plan) {
    const std::vector<fw_chunk> three = plan_fw_chunks(10000, 4096, 0);
    ASSERT_EQ(three.size(), 3u);
    const fw_chunk expected[] = {{0, 4096, 1023, 0}, {4096, 4096, 1023, 1024}, {8192, 1808, 451, 2048}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(three[i].position, expected[i].position) << i;
        EXPECT_EQ(three[i].length, expected[i].length) << i;
        EXPECT_EQ(three[i].numd, expected[i].numd) << i;
        EXPECT_EQ(three[i].ofst, expected[i].ofst) << i;
    }
    const std::vector<fw_chunk> offset = plan_fw_chunks(8192, 4096, 0x100);
    ASSERT_EQ(offset.size(), 2u);
    EXPECT_EQ(offset[0].ofst, 256u);
    EXPECT_EQ(offset[1].ofst, 256u + 1024u);
    EXPECT_TRUE(plan_fw_chunks(0, 4096, 0).empty());
}

TEST(FwChunks, SizeAndAlignment) {
    const struct {
        uint32_t xfer, limit, chunk, alignment;
    } cases[] = {
        {0, 0x40000, 4096, 4096},         {0x1800, 0x40000, 4096, 4096},   {0x8000, 0x4000, 4096, 4096},
        {0x4000, 0x4000, 0x4000, 0x4000}, {0x3000, 0x40000, 0x3000, 4096}, {0x30000, 0x40000, 0x30000, 0x10000},
        {0x4000, 4096, 4096, 4096},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fw_chunk_size(c.xfer, c.limit), c.chunk) << std::hex << c.xfer;
        EXPECT_EQ(fw_buffer_alignment(c.chunk), c.alignment) << std::hex << c.chunk;
    }
}

TEST(Sanitize, Dwords) {
    EXPECT_EQ(sanitize_cdw10(false, false, 0, false, 2), 0x002u);
    EXPECT_EQ(sanitize_cdw10(true, false, 0, false, 2), 0x202u);
    EXPECT_EQ(sanitize_cdw10(false, true, 0, false, 3), 0x103u);
    EXPECT_EQ(sanitize_cdw10(false, false, 0x1F, false, 3), 0x0F3u);
    EXPECT_EQ(sanitize_cdw10(false, false, 0, true, 4), 0x00Cu);
    EXPECT_EQ(sanitize_cdw10(true, true, 0xF, true, 0xFF), 0x3FFu);
    for (uint8_t action = 0; action < 8; ++action) {
        EXPECT_EQ(sanitize_action_valid(action, false, false), action >= 1 && action <= 4) << int(action);
    }
    EXPECT_FALSE(sanitize_action_valid(1, true, false));
    EXPECT_FALSE(sanitize_action_valid(1, false, true));
    EXPECT_TRUE(sanitize_action_valid(2, true, true));
    EXPECT_EQ(fw_commit_request(0, 1).cmd.cdw10, 0x08u);
    EXPECT_EQ(fw_commit_request(7, 7).cmd.cdw10, 0x3Fu);
    EXPECT_EQ(sanitize_request(0x3, 0xFF).cmd.cdw11, 0xFFu);
}

// nsid and fmt are read with 32-bit strtol: "-1" is 0xFFFFFFFF, larger values saturate.
TEST(Sanitize, NsidParsing) {
    EXPECT_EQ(static_cast<uint32_t>(parse_strtol("1", 16)), 1u);
    EXPECT_EQ(static_cast<uint32_t>(parse_strtol("-1", 16)), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(parse_strtol("80000000", 16)), 0x7FFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(parse_strtol("0x1FF", 16)) & 0xFF, 0xFFu);
}

class NvmeMaintenance : public bridge_command_test {
protected:
    std::string image(size_t size) {
        const std::string path = testing::TempDir() + "/nvme_fw_" + std::to_string(size) + ".bin";
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
        return path;
    }
};

const std::string k_flag_read = "E2 00 00 00 CB 00 00 00 00 00 00 00 01 00 00 00 in 1";
const std::string k_limit = "E2 00 00 00 CA 00 00 00 02 00 00 00 04 00 00 00 in 4";
const std::string k_submit = "E5 40 00 F7 00 00 00 00 00 00 00 00 00 00 00 00 out 64";
const std::string k_completion = "E4 10 00 F9 00 00 00 00 00 00 00 00 00 00 00 00 in 16";

fake::answer refused() {
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[12] = 0x44;
    return fake::answer{.scsi_status = 2, .sense = sense};
}

TEST_F(NvmeMaintenance, FirmwareDownload) {
    const std::string path = image(10000);
    const std::vector<uint8_t> limit = {0, 0, 4, 0};  // 0x40000
    run_cases(cmd_nvme_fw_download, "nvme_fw_download",
              {{{path, "0x4000", "0"},
                {ok({1}), ok(), ok(limit), ok(), ok(), ok(), ok()},
                "nvme_fw_download pass\n",
                {k_flag_read, "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=00", k_limit, k_submit,
                 "E5 10 27 F8 00 00 02 00 00 00 00 00 00 00 00 00 out 10000", k_completion,
                 "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=01"}},
               // A failing middle chunk stops the download; the flag is written back.
               {{path, "0", "0"},
                {ok({1}), ok(), ok(limit), ok(), ok(), ok(), ok(), refused(), ok(), ok()},
                "nvme_fw_download fail\n"},
               // A flag read as 0 is neither cleared nor written back.
               {{path, "1000", "0"},
                {ok({0}), ok(limit), ok(), ok(), ok(), ok(), ok(), ok(), ok(), ok(), ok()},
                "nvme_fw_download pass\n"},
               {{image(4098), "1000", "0"},
                {ok({1}), ok()},
                "nvme_fw_download fail\n",
                {k_flag_read, "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=01"}},
               {{testing::TempDir() + "/no-such-image.bin", "1000", "0"}, {ok({1}), ok()}, "nvme_fw_download fail\n"},
               {{path, "1000", "0"}, {check_condition()}, "nvme_fw_download fail\n", {k_flag_read}}});
    // The chunks of the failing case: NUMD and OFST of each, the data from its position.
    next_case();
    for (int i = 0; i < 13; ++i) fake::script(i == 0 ? ok({1}) : i == 2 ? ok(limit) : ok());
    EXPECT_EQ(run(cmd_nvme_fw_download, "nvme_fw_download", {path, "0", "0x100"}), "nvme_fw_download pass\n");
    const auto& sent = fake::requests();
    ASSERT_EQ(sent.size(), 13u);
    const uint32_t numd[] = {1023, 1023, 451};
    for (size_t i = 0; i < 3; ++i) {
        const std::vector<uint8_t> entry = sent[3 + 3 * i].data_out;
        EXPECT_EQ(entry[0], 0x11);
        EXPECT_EQ(get_le32(&entry[40]), numd[i]);
        EXPECT_EQ(get_le32(&entry[44]), 256u + 1024u * i);
        EXPECT_EQ(sent[4 + 3 * i].data_out[0], static_cast<uint8_t>(4096 * i * 7));
    }
}

TEST_F(NvmeMaintenance, CommitAndFormat) {
    run_cases(cmd_nvme_fw_activate, "nvme_fw_activate",
              {{{"8", "1"}, {}, "nvme_fw_activate fail\n", {}},
               {{"0", "8"}, {}, "nvme_fw_activate fail\n", {}},
               {{"0", "1"}, {ok(), ok(), ok()}, "nvme_fw_activate pass\n"},
               {{"2", "3"}, {ok(), refused(), ok()}, "nvme_fw_activate fail\n"}});
    EXPECT_EQ(get_le32(&data_out(0)[40]), 0x1Au);
    run_cases(cmd_nvme_format, "nvme_format",
              {{{"1", "0"}, {ok(), ok(), ok(), ok(), ok(), ok()}, "nvme_format pass\n"},
               {{"5", "0"}, {ok(), refused(), ok()}, "nvme_format fail\n"}});
    next_case();
    for (int i = 0; i < 6; ++i) fake::script(ok());
    EXPECT_EQ(run(cmd_nvme_format, "nvme_format", {"-1", "0x211"}), "nvme_format pass\n");
    EXPECT_EQ(data_out(0)[0], 0x06);
    EXPECT_EQ(get_le32(&data_out(0)[4]), 0xFFFFFFFFu);
    EXPECT_EQ(get_le32(&data_out(0)[40]), 0u);
    EXPECT_EQ(data_out(3)[0], 0x80);
    EXPECT_EQ(get_le16(&data_out(3)[2]), 0x80u);
    EXPECT_EQ(get_le32(&data_out(3)[4]), 0xFFFFFFFFu);
    EXPECT_EQ(get_le32(&data_out(3)[40]), 0x211u);
}

std::vector<uint8_t> sanitize_page(uint16_t sprog, uint16_t sstat) {
    std::vector<uint8_t> page(512, 0);
    put_le16(&page[0], sprog);
    put_le16(&page[2], sstat);
    return page;
}

TEST_F(NvmeMaintenance, SanitizeFlow) {
    const std::string rw_mode = "E3 00 00 00 4F 00 02 00 00 00 00 00 00 00 00 00 out 0";
    const std::string restart = "E3 00 00 00 30 00 00 00 00 00 00 00 04 00 00 00 out 4 data=00 00 00 00";
    // Read/write mode, ASPM off, APST off (3 blocks), Sanitize (3 blocks).
    const std::vector<fake::answer> start = {ok(), ok(), ok(), ok(), ok(), ok(), ok(), ok()};
    auto poll = [](const std::vector<uint8_t>& page) {
        return std::vector<fake::answer>{fake::answer{}, fake::answer{.data = page}, fake::answer{}};
    };
    std::vector<fake::answer> answers = start;
    answers.push_back(ok());  // command time-out 10
    for (const auto& a : poll(sanitize_page(32768, 0x0102))) answers.push_back(a);
    std::vector<fake::answer> timed_out = {ok(), refused(), ok()};
    timed_out[1].sense[12] = 0x2E;
    for (const auto& a : timed_out) answers.push_back(a);
    for (const auto& a : poll(sanitize_page(0xFFFF, 0x0101))) answers.push_back(a);
    answers.push_back(ok());  // restart
    run_cases(
        cmd_nvme_sanitize, "nvme_sanitize",
        {{{"0", "0", "0", "0", "2", "0"},
          answers,
          "nvme_sanitize success\n"
          "Sanitize log: Progress(SPROG) 50.000000%\n"
          "Sanitize log: nvme command timeout ret(0x2e00)\n"
          "Sanitize log: Sanitize Progress (SPROG) :  65535\n"
          "Sanitize Status (SSTAT) :  0x101\n"
          "Sanitize Command Dword 10 Information (SCDW10) :  0\n"
          "restart device\n"},
         {{"0", "0", "0", "0", "5", "0"}, {ok(), ok()}, "nvme_sanitize failed\nrestart device\n", {rw_mode, restart}},
         {{"1", "0", "0", "0", "1", "0"}, {ok(), ok()}, "nvme_sanitize failed\nrestart device\n", {rw_mode, restart}}});
    // Overwrite with pattern 0x1FF: CDW11 holds its low 8 bits; an NVMe error ends the polling.
    std::vector<fake::answer> overwrite = start;
    overwrite.push_back(ok());
    for (const auto& a : {ok(), refused(), ok()}) overwrite.push_back(a);
    overwrite.push_back(ok());
    run_cases(cmd_nvme_sanitize, "nvme_sanitize",
              {{{"0", "0", "1f", "0", "3", "0x1FF"},
                overwrite,
                "nvme_sanitize success\nSanitize log: nvme command error ret(4400)\nrestart device\n"}});
    EXPECT_EQ(data_out(5)[0], 0x84);
    EXPECT_EQ(get_le32(&data_out(5)[40]), 0xF3u);
    EXPECT_EQ(get_le32(&data_out(5)[44]), 0xFFu);
}

}  // namespace
