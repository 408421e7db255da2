// The NVMe tunnel and the NVMe commands: blocks and entries byte for byte, the result
// rules of the tunnel and what the simple NVMe commands print.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "cli/commands/nvme.h"
#include "zelko/nvme/nvme_commands.h"
#include "tests/unit/bridge_command_fixture.h"

using namespace zelko;

namespace {

std::string entry_hex(const nvme_request& request) {
    const nvme_entry_bytes bytes = encode_nvme_entry(request.cmd);
    return fake::hex(bytes.data(), bytes.size());
}

// 64 bytes from a list of (offset, bytes) pieces on zeros.
std::string entry_of(std::initializer_list<std::pair<int, std::vector<uint8_t>>> pieces) {
    uint8_t bytes[64] = {};
    for (const auto& [offset, data] : pieces) std::memcpy(bytes + offset, data.data(), data.size());
    return fake::hex(bytes, sizeof bytes);
}

const std::string k_submit_admin = "E5 40 00 F7 00 00 00 00 00 00 00 00 00 00 00 00 out 64";
const std::string k_submit_io = "E5 40 00 F7 01 00 00 00 00 00 00 00 00 00 00 00 out 64";
const std::string k_completion = "E4 10 00 F9 00 00 00 00 00 00 00 00 00 00 00 00 in 16";
const std::string k_no_data_phase = "E5 00 00 F8 00 00 00 00 00 00 00 00 00 00 00 00 out 0";
const std::string k_data_in_512 = "E4 00 02 F8 00 00 01 00 00 00 00 00 00 00 00 00 in 512";
const std::string k_data_in_4096 = "E4 00 10 F8 00 00 01 00 00 00 00 00 00 00 00 00 in 4096";
const std::string k_aspm_off = "E5 00 00 FD 02 00 00 00 00 00 00 00 00 00 00 00 out 0";

// Sense data of a refused data phase: fixed format with ASC/ASCQ in bytes 12 and 13.
fake::answer refused(uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = 0x04;
    sense[12] = asc;
    sense[13] = ascq;
    return fake::answer{.scsi_status = 2, .sense = sense};
}

TEST(NvmeBlocks, PhaseAndSettingBlocks) {
    const struct {
        cdb16 cdb;
        const char* bytes;
    } cases[] = {
        {tunnel_submit_cdb(nvme_queue::admin), "E5 40 00 F7 00 00 00 00 00 00 00 00 00 00 00 00"},
        {tunnel_submit_cdb(nvme_queue::io), "E5 40 00 F7 01 00 00 00 00 00 00 00 00 00 00 00"},
        {tunnel_data_cdb(0, nvme_direction::none), "E5 00 00 F8 00 00 00 00 00 00 00 00 00 00 00 00"},
        {tunnel_data_cdb(512, nvme_direction::from_controller), "E4 00 02 F8 00 00 01 00 00 00 00 00 00 00 00 00"},
        {tunnel_data_cdb(4096, nvme_direction::to_controller), "E5 00 10 F8 00 00 02 00 00 00 00 00 00 00 00 00"},
        {tunnel_data_cdb(65536, nvme_direction::from_controller), "E4 00 00 F8 01 00 01 00 00 00 00 00 00 00 00 00"},
        {tunnel_data_cdb(0x12345, nvme_direction::to_controller), "E5 45 23 F8 01 00 02 00 00 00 00 00 00 00 00 00"},
        {tunnel_completion_cdb(), "E4 10 00 F9 00 00 00 00 00 00 00 00 00 00 00 00"},
        {nvme_cmd_timeout_cdb(3), "E5 00 00 FD 01 00 00 00 03 00 00 00 00 00 00 00"},
        {nvme_cmd_timeout_cdb(655), "E5 00 00 FD 01 00 00 00 8F 02 00 00 00 00 00 00"},
        {nvme_aspm_off_cdb(), "E5 00 00 FD 02 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const auto& c : cases) EXPECT_EQ(fake::hex(c.cdb), c.bytes);
}

TEST(NvmeBlocks, Entries) {
    const std::vector<uint8_t> all = {0xFF, 0xFF, 0xFF, 0xFF};
    const struct {
        const char* name;
        nvme_request request;
        std::string bytes;
        nvme_queue queue;
        nvme_direction direction;
    } cases[] = {
        {"identify", identify_request(0, 1, 4096), entry_of({{0, {0x06, 0, 5}}, {36, {0, 0x10}}, {40, {1}}}),
         nvme_queue::admin, nvme_direction::from_controller},
        {"identify ns", identify_request(1, 0, 4096), entry_of({{0, {0x06, 0, 5}}, {4, {1}}, {36, {0, 0x10}}}),
         nvme_queue::admin, nvme_direction::from_controller},
        {"smart", smart_log_request(), entry_of({{0, {0x02, 0, 0}}, {4, all}, {36, {0, 2}}, {40, {2, 0, 0x7F, 0}}}),
         nvme_queue::admin, nvme_direction::from_controller},
        {"log 81", log_page_request(0x81),
         entry_of({{0, {0x02, 0, 2}}, {4, all}, {36, {0, 2}}, {40, {0x81, 0, 0x7F, 0}}}), nvme_queue::admin,
         nvme_direction::from_controller},
        {"threshold", temp_threshold_request(), entry_of({{0, {0x0A, 0, 0x1C}}, {40, {4}}}), nvme_queue::admin,
         nvme_direction::none},
        {"power state", power_state_request(0x21), entry_of({{0, {0x09, 0, 1}}, {40, {2}}, {44, {1}}}),
         nvme_queue::admin, nvme_direction::none},
        {"apst off", apst_off_request(), entry_of({{0, {0x09, 0, 0x1C}}, {36, {0, 0x10}}, {40, {0x0C}}}),
         nvme_queue::admin, nvme_direction::to_controller},
        {"read", read_blocks_request(0x123456789ABull, 65536),
         entry_of(
             {{0, {0x02, 0, 10}}, {4, {1}}, {36, {0, 0, 1}}, {40, {0xAB, 0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0x7F}}}),
         nvme_queue::io, nvme_direction::from_controller},
        {"write", write_blocks_request(1024, 512), entry_of({{0, {0x01, 0, 10}}, {4, {1}}, {36, {0, 2}}, {40, {0, 4}}}),
         nvme_queue::io, nvme_direction::to_controller},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(entry_hex(c.request), c.bytes);
        EXPECT_EQ(c.request.queue, c.queue);
        EXPECT_EQ(c.request.direction, c.direction);
    }
    nvme_tunnel_cmd every;
    every.data_address = 0x1122334455667788ull;
    every.cdw13 = 0xA1A2A3A4;
    every.cdw14 = 0xB1B2B3B4;
    every.cdw15 = 0xC1C2C3C4;
    const nvme_entry_bytes bytes = encode_nvme_entry(every);
    EXPECT_EQ(fake::hex(bytes.data(), bytes.size()),
              entry_of({{24, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
                        {52, {0xA4, 0xA3, 0xA2, 0xA1, 0xB4, 0xB3, 0xB2, 0xB1, 0xC4, 0xC3, 0xC2, 0xC1}}}));
}

class NvmeTunnel : public bridge_command_test {};

// The submit carries the entry with the caller's buffer address; the data phase's
// outcome is the result; the completion is always fetched; a failed submit ends it.
TEST_F(NvmeTunnel, ResultRules) {
    alignas(4) uint8_t page[512] = {};
    const struct {
        const char* name;
        std::vector<fake::answer> answers;
        cmd_status status;
        size_t blocks;
    } cases[] = {
        {"success", {ok(), ok(std::vector<uint8_t>(512, 7)), ok()}, 0, 3},
        {"nvme error", {ok(), refused(0x44, 0x00), ok()}, 0x4400, 3},
        {"nvme time-out", {ok(), refused(0x2E, 0x00), ok()}, 0x2E00, 3},
        // Data from the controller that did not all arrive leaves nothing to decode.
        {"failed without sense", {ok(), check_condition(), ok()}, k_status_short_answer, 3},
        {"one byte of 512", {ok(), ok_short(std::vector<uint8_t>(1, 7), 512), ok()}, k_status_short_answer, 3},
        {"511 bytes of 512", {ok(), ok_short(std::vector<uint8_t>(511, 7), 512), ok()}, k_status_short_answer, 3},
        {"completion fails", {ok(), ok(std::vector<uint8_t>(512, 7)), check_condition()}, 0, 3},
        {"submit refused", {check_condition()}, 2, 1},
        {"submit OS error", {access_denied()}, fake::k_access_denied, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        next_case();
        for (const fake::answer& a : c.answers) fake::script(a);
        EXPECT_EQ(nvme_read_smart_log(device.get(), page), c.status);
        const std::vector<std::string> blocks = sent_blocks();
        ASSERT_EQ(blocks.size(), c.blocks);
        EXPECT_EQ(blocks[0], k_submit_admin);
        if (c.blocks == 3) {
            EXPECT_EQ(blocks[1], k_data_in_512);
            EXPECT_EQ(blocks[2], k_completion);
        }
        const std::vector<uint8_t> entry = data_out(0);
        ASSERT_EQ(entry.size(), 64u);
        EXPECT_EQ(get_le64(entry.data() + 24), reinterpret_cast<uintptr_t>(page));
    }
    EXPECT_EQ(page[0], 7);
}

// A command without data names no buffer in its entry.
TEST_F(NvmeTunnel, TemperatureThresholdFromCompletion) {
    std::vector<uint8_t> completion(16, 0);
    completion[0] = 0x57;
    completion[1] = 0x01;
    fake::script(ok());
    fake::script(ok());
    fake::script(ok(completion));
    uint16_t kelvin = 0;
    EXPECT_EQ(nvme_get_temp_threshold(device.get(), &kelvin), 0);
    EXPECT_EQ(kelvin, 343);
    EXPECT_EQ(sent_blocks(), (std::vector<std::string>{k_submit_admin, k_no_data_phase, k_completion}));
    EXPECT_EQ(get_le64(data_out(0).data() + 24), 0u);
}

// The threshold is read from the completion: a completion that fails or comes back short
// gives no value, and the data phase's own failure still comes first.
TEST_F(NvmeTunnel, TemperatureThresholdNeedsTheWholeCompletion) {
    const struct {
        const char* name;
        std::vector<fake::answer> answers;
        cmd_status status;
    } cases[] = {
        {"completion refused", {ok(), ok(), check_condition()}, 2},
        {"completion OS error", {ok(), ok(), access_denied()}, fake::k_access_denied},
        {"completion of 2 bytes", {ok(), ok(), ok_short(std::vector<uint8_t>{0x57, 0x01}, 16)}, k_status_short_answer},
        {"nvme error first", {ok(), refused(0x44, 0x00), check_condition()}, 0x4400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        next_case();
        for (const fake::answer& a : c.answers) fake::script(a);
        uint16_t kelvin = 0x5555;
        EXPECT_EQ(nvme_get_temp_threshold(device.get(), &kelvin), c.status);
        EXPECT_EQ(kelvin, 0x5555);
        EXPECT_EQ(sent_blocks(), (std::vector<std::string>{k_submit_admin, k_no_data_phase, k_completion}));
    }
}

const std::string k_flag_clear = "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=00";
const std::string k_flag_set = "E3 00 00 00 4B 00 00 00 00 00 00 00 01 00 00 00 out 1 data=01";
const std::string k_write_64k = "E5 00 00 F8 01 00 02 00 00 00 00 00 00 00 00 00 out 65536";
const std::string k_read_64k = "E4 00 00 F8 01 00 01 00 00 00 00 00 00 00 00 00 in 65536";

std::vector<uint8_t> rw_pattern(size_t length) {
    std::vector<uint8_t> data(length, 0);
    for (size_t i = 0; i < 1024 && i < length; ++i) data[i] = static_cast<uint8_t>(i);
    return data;
}

TEST_F(NvmeTunnel, ReadWriteTest) {
    std::vector<uint8_t> one_wrong = rw_pattern(65536);
    one_wrong[1023] ^= 1;
    std::vector<uint8_t> wrong_after = rw_pattern(65536);
    wrong_after[1024] = 0x55;
    const std::vector<std::string> full = {k_flag_clear, k_submit_io, k_write_64k,  k_completion,
                                           k_submit_io,  k_read_64k,  k_completion, k_flag_set};
    run_cases(cmd_nvme_rw_test, "nvme_rw_test",
              {
                  {{}, {ok(), ok(), ok(), ok(), ok(), ok(rw_pattern(65536)), ok(), ok()}, "nvme_rw_test pass\n", full},
                  {{}, {ok(), ok(), ok(), ok(), ok(), ok(wrong_after), ok(), ok()}, "nvme_rw_test pass\n", full},
                  {{}, {ok(), ok(), ok(), ok(), ok(), ok(one_wrong), ok(), ok()}, "nvme_rw_test fail\n", full},
                  // A failed read whose buffer still holds the pattern is no pass.
                  {{}, {ok(), ok(), ok(), ok(), ok(), refused(0x44, 0), ok(), ok()}, "nvme_rw_test fail\n", full},
                  // The flag is set back also after a failed write.
                  {{},
                   {ok(), ok(), refused(0x44, 0), ok(), ok()},
                   "nvme_rw_test fail\n",
                   {k_flag_clear, k_submit_io, k_write_64k, k_completion, k_flag_set}},
                  {{}, {ok(), check_condition(), ok()}, "nvme_rw_test fail\n", {k_flag_clear, k_submit_io, k_flag_set}},
              });
    // The written data: the counting pattern, then zeros.
    next_case();
    for (int i = 0; i < 8; ++i) fake::script(i == 5 ? ok(rw_pattern(65536)) : ok());
    run(cmd_nvme_rw_test, "nvme_rw_test");
    EXPECT_EQ(data_out(2), rw_pattern(65536));
    const std::vector<uint8_t> write_entry = data_out(1);
    EXPECT_EQ(get_le32(write_entry.data() + 40), 1024u);
    EXPECT_EQ(get_le32(write_entry.data() + 48), 127u);
}

TEST_F(NvmeTunnel, SettingCommands) {
    run_cases(
        cmd_nvme_cmd_timeout, "nvme_cmd_timeout",
        {
            {{"2"}, {}, "nvme_cmd_timeout fail\n", {}},
            {{"656"}, {}, "nvme_cmd_timeout fail\n", {}},
            {{"3"}, {ok()}, "nvme_cmd_timeout pass\n", {"E5 00 00 FD 01 00 00 00 03 00 00 00 00 00 00 00 out 0"}},
            {{"655"}, {ok()}, "nvme_cmd_timeout pass\n", {"E5 00 00 FD 01 00 00 00 8F 02 00 00 00 00 00 00 out 0"}},
            {{"30"}, {check_condition()}, "nvme_cmd_timeout fail\n"},
        });
    run_cases(cmd_nvme_aspm_dis, "nvme_aspm_dis",
              {{{}, {ok()}, "nvme_aspm_dis success\n", {k_aspm_off}},
               {{}, {check_condition()}, "nvme_aspm_dis fail\n", {k_aspm_off}}});
    run_cases(cmd_nvme_pws, "nvme_pws",
              {{{"0x21"}, {ok(), ok(), ok()}, "nvme_pws success\n", {k_submit_admin, k_no_data_phase, k_completion}},
               {{"1"}, {ok(), refused(0x44, 0), ok()}, "nvme_pws fail\n"}});
    EXPECT_EQ(get_le32(data_out(0).data() + 44), 1u);
    const std::string apst_data = "E5 00 10 F8 00 00 02 00 00 00 00 00 00 00 00 00 out 4096";
    run_cases(cmd_nvme_lowpw_dis, "nvme_lowpw_dis",
              {{{},
                {ok(), ok(), ok(), ok()},
                "nvme_lowpw_dis success\n",
                {k_aspm_off, k_submit_admin, apst_data, k_completion}},
               {{}, {check_condition()}, "nvme_lowpw_dis fail\n", {k_aspm_off}},
               {{}, {ok(), ok(), refused(0x44, 0), ok()}, "nvme_lowpw_dis fail\n"}});
    EXPECT_EQ(data_out(2), std::vector<uint8_t>(4096, 0));
}

TEST_F(NvmeTunnel, LogAndThresholdCommands) {
    std::vector<uint8_t> threshold(16, 0);
    threshold[0] = 0x57;
    threshold[1] = 0x01;
    run_cases(cmd_nvme_get_temp_thres, "nvme_get_temp_thres",
              {{{},
                {ok(), ok(), ok(threshold)},
                "Temperature threshold: 70\xC2\xB0"
                "C\n"},
               {{},
                {ok(), ok(), ok()},
                "Temperature threshold: -273\xC2\xB0"
                "C\n"},
               {{}, {ok(), refused(0x2E, 0), ok(threshold)}, "nvme_get_temp_thres fail\n"}});
    const std::string log81 = "E4 00 02 F8 00 00 01 00 00 00 00 00 00 00 00 00 in 512";
    run_cases(cmd_nvme_get_log, "nvme_get_log",
              {{{"0x03"}, {}, "nvme_get_log fail\n", {}},
               {{"81"}, {ok(), ok(), ok()}, std::string(k_path) + " \n", {k_submit_admin, log81, k_completion}},
               {{"81"}, {ok(), refused(0x44, 0), ok()}, "nvme_get_log fail\n"}});
    next_case();
    for (int i = 0; i < 3; ++i) fake::script(ok());
    const std::string out = run(cmd_nvme_get_log, "nvme_get_log", {"0x102"});
    EXPECT_EQ(data_out(0)[40], 0x02);
    EXPECT_EQ(out.rfind(std::string(k_path) + " \n\n\tSmart log:\n", 0), 0u) << out;
}

// A length no NLB field can carry is refused before anything is sent.
TEST_F(NvmeTunnel, BlockLengthsOutsideTheNlbField) {
    std::vector<uint8_t> buffer(512);
    for (const uint32_t length : {0u, 511u, 513u, 0x10000u * 512u + 512u}) {
        EXPECT_EQ(nvme_read_blocks(device.get(), 0, buffer.data(), length), -1) << length;
        EXPECT_EQ(nvme_write_blocks(device.get(), 0, buffer.data(), length), -1) << length;
    }
    EXPECT_TRUE(fake::requests().empty());
}

TEST_F(NvmeTunnel, IdentifyFailure) {
    run_cases(
        cmd_nvme_get_id, "nvme_get_id",
        {{{}, {ok(), refused(0x44, 0), ok()}, "nvme_get_id fail\n", {k_submit_admin, k_data_in_4096, k_completion}},
         {{}, {check_condition()}, "nvme_get_id fail\n", {k_submit_admin}}});
}

}  // namespace
