// The lab's NVMe controller served in process: the tunnel's sequence rules, the
// controller's answers and what it keeps.
#include <cstring>

#include "common/bytes.h"
#include "lab/model/nvme_store.h"
#include "lab/serve.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

const char* k_submit_admin = "E5 40 00 F7 00";
const char* k_submit_io = "E5 40 00 F7 01";
const char* k_completion = "E4 10 00 F9";

std::vector<uint8_t> entry(uint8_t opcode, uint32_t nsid, uint32_t length, uint32_t cdw10, uint32_t cdw11 = 0,
                           uint32_t cdw12 = 0) {
    std::vector<uint8_t> e(64, 0);
    e[0] = opcode;
    e[2] = 0x33;
    put_le32(&e[4], nsid);
    put_le32(&e[36], length);
    put_le32(&e[40], cdw10);
    put_le32(&e[44], cdw11);
    put_le32(&e[48], cdw12);
    return e;
}

// "E4 LL LL F8 HH HH DD" for a data phase of `length` bytes with direction code `dir`.
std::string data_phase(bool to_host, uint32_t length, int dir) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %02X %02X F8 %02X %02X %02X", to_host ? "E4" : "E5", length & 0xFF,
                  (length >> 8) & 0xFF, (length >> 16) & 0xFF, (length >> 24) & 0xFF, dir);
    return text;
}

// Runs one admin or I/O command; returns the data phase and leaves the completion in `completion`.
served run(bridge_record& r, const std::vector<uint8_t>& e, bool io, bool to_host, int dir,
           std::vector<uint8_t>* completion = nullptr, const std::vector<uint8_t>& out = {}) {
    EXPECT_EQ(serve_out(r, io ? k_submit_io : k_submit_admin, e).sense(), "");
    const uint32_t length = get_le32(&e[36]);
    served phase = to_host ? serve_in(r, data_phase(true, length, dir), length)
                           : serve_out(r, data_phase(false, length, dir), out.empty() ? std::vector<uint8_t>(length, 0) : out);
    served done = serve_in(r, k_completion, 16);
    if (completion != nullptr) *completion = done.answer.data;
    return phase;
}

TEST(nvme_model, tunnel_sequence_errors) {
    bridge_record r = make_bridge();
    // A data phase or a completion without an entry.
    EXPECT_EQ(serve_in(r, data_phase(true, 4096, 1), 4096).sense(), "05/2C/00");
    EXPECT_EQ(serve_in(r, k_completion, 16).sense(), "");
    // A second submit while one waits.
    EXPECT_EQ(serve_out(r, k_submit_admin, entry(0x06, 0, 4096, 1)).sense(), "");
    EXPECT_EQ(serve_out(r, k_submit_admin, entry(0x06, 0, 4096, 1)).sense(), "05/2C/00");
    // A data phase whose length or direction differs from the entry's.
    EXPECT_EQ(serve_in(r, data_phase(true, 512, 1), 512).sense(), "05/24/00");
    EXPECT_EQ(serve_out(r, data_phase(false, 4096, 2), std::vector<uint8_t>(4096)).sense(), "05/24/00");
    EXPECT_EQ(serve_in(r, data_phase(true, 4096, 1), 4096).sense(), "");
    // The completion ends the exchange; the tunnel takes a new entry.
    EXPECT_EQ(serve_in(r, k_completion, 16).sense(), "");
    EXPECT_EQ(serve_out(r, k_submit_admin, entry(0x06, 0, 4096, 1)).sense(), "");
    EXPECT_EQ(serve_in(r, k_completion, 16).sense(), "");
    EXPECT_EQ(r.state.nvme_entry_waiting, 0u);
    // Blocks of a bad length and a queue that does not exist.
    expect_senses(r, {{"E5 20 00 F7 00", false, 32, "05/24/00"},
                      {"E5 40 00 F7 02", false, 64, "05/24/00"},
                      {"E4 08 00 F9", true, 8, "05/24/00"},
                      {"E5 00 00 FD 01 00 00 00 02", false, 0, "05/24/00"},
                      {"E5 00 00 FD 01 00 00 00 90 02", false, 0, "05/24/00"}});
    bridge_record sata = make_bridge(k_disk_sata);
    EXPECT_EQ(serve_out(sata, k_submit_admin, entry(0x06, 0, 4096, 1)).sense(), "05/20/00");
}

TEST(nvme_model, failed_commands_carry_their_status) {
    bridge_record r = make_bridge();
    const struct {
        const char* name;
        std::vector<uint8_t> e;
        bool io;
        uint16_t status;
    } cases[] = {
        {"identify cns 2", entry(0x06, 0, 4096, 2), false, 0x02},
        {"identify namespace 2", entry(0x06, 2, 4096, 0), false, 0x0B},
        {"log 03", entry(0x02, 0xFFFFFFFF, 512, 0x007F0003), false, 0x109},
        {"read past the end", entry(0x02, 1, 512, 0xFFFFFFFF, 0xFFFF), true, 0x80},
        {"read length mismatch", entry(0x02, 1, 512, 0, 0, 1), true, 0x04},
        {"read namespace 2", entry(0x02, 2, 512, 0), true, 0x0B},
        {"admin opcode 7F", entry(0x7F, 0, 0, 0), false, 0x01},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> completion;
        const bool to_host = get_le32(&c.e[36]) != 0;
        const served phase = run(r, c.e, c.io, to_host, to_host ? 1 : 0, &completion);
        EXPECT_EQ(phase.sense(), "04/44/00");
        EXPECT_TRUE(phase.answer.data.empty());
        ASSERT_EQ(completion.size(), 16u);
        EXPECT_EQ(get_le16(&completion[14]), (c.status << 1) | 1);
        EXPECT_EQ(get_le16(&completion[12]), 0x33);
    }
}

TEST(nvme_model, features_media_and_counters) {
    bridge_record r = make_bridge();
    std::vector<uint8_t> completion;
    // Power state beyond NPSS (2) is refused; within it is kept.
    EXPECT_EQ(run(r, entry(0x09, 0, 0, 2, 3), false, false, 0).sense(), "04/44/00");
    EXPECT_EQ(run(r, entry(0x09, 0, 0, 2, 2), false, false, 0).sense(), "");
    EXPECT_EQ(r.state.nvme_power_state, 2u);
    // Temperature threshold: set, then read in completion dword 0.
    EXPECT_EQ(run(r, entry(0x09, 0, 0, 4, 350), false, false, 0).sense(), "");
    EXPECT_EQ(run(r, entry(0x0A, 0, 0, 4), false, false, 0, &completion).sense(), "");
    EXPECT_EQ(get_le32(completion.data()), 350u);
    // APST off with its table.
    std::vector<uint8_t> table(4096, 0);
    table[0] = 0x18;
    EXPECT_EQ(run(r, entry(0x09, 0, 4096, 0x0C, 0), false, false, 2, nullptr, table).sense(), "");
    EXPECT_EQ(r.state.nvme_apst, 0u);
    EXPECT_EQ(nvme_page(r, nvme_memory::apst_table), std::vector<uint8_t>(table.begin(), table.begin() + 256));
    // Two blocks written at LBA 5, read back across unwritten ones.
    std::vector<uint8_t> data(1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 3 + 1);
    EXPECT_EQ(run(r, entry(0x01, 1, 1024, 5, 0, 1), true, false, 2, nullptr, data).sense(), "");
    const served read = run(r, entry(0x02, 1, 2048, 4, 0, 3), true, true, 1);
    ASSERT_EQ(read.answer.data.size(), 2048u);
    EXPECT_EQ(std::vector<uint8_t>(read.answer.data.begin(), read.answer.data.begin() + 512), std::vector<uint8_t>(512, 0));
    EXPECT_EQ(std::vector<uint8_t>(read.answer.data.begin() + 512, read.answer.data.begin() + 1536), data);
    uint8_t smart[512];
    ASSERT_TRUE(nvme_memory_read(r, nvme_memory::smart, 0, smart, sizeof smart));
    EXPECT_EQ(get_le64(smart + 32), 1u);   // data units read
    EXPECT_EQ(get_le64(smart + 48), 1u);   // data units written
    EXPECT_EQ(get_le64(smart + 64), 1u);   // read commands
    EXPECT_EQ(get_le64(smart + 80), 1u);   // write commands
    // Outside the media nothing is read or written.
    const uint64_t end = nvme_memory_size(r, nvme_memory::media);
    EXPECT_FALSE(nvme_memory_read(r, nvme_memory::media, end - 511, smart, 512));
    EXPECT_FALSE(nvme_memory_write(r, nvme_memory::smart, 1, smart, 512));
}

}  // namespace

namespace {

// One tunnelled admin command at lab time `now_ms`; the data phase's answer.
served at_time(bridge_record& r, const std::vector<uint8_t>& e, int64_t now_ms, const std::vector<uint8_t>& out = {}) {
    const auto block = [&](const std::string& hex, bool data_in, uint32_t length, const uint8_t* data) {
        const auto cdb = cdb_of(hex);
        block_request request;
        request.cdb = cdb.data();
        request.data_in = data_in;
        request.length = length;
        request.data_out = data;
        request.now_ms = now_ms;
        served result;
        serve_request(r, request, result.answer);
        return result;
    };
    EXPECT_EQ(block(k_submit_admin, false, 64, e.data()).sense(), "");
    const uint32_t length = get_le32(&e[36]);
    const bool to_host = length != 0 && out.empty();
    served phase = block(data_phase(to_host, length, length == 0 ? 0 : to_host ? 1 : 2), to_host, length, out.data());
    block(k_completion, true, 16, nullptr);
    return phase;
}

TEST(nvme_model, sanitize_over_lab_time) {
    bridge_record r = make_bridge();
    r.state.nvme_sanitize_ms = 3000;
    const std::vector<uint8_t> data(512, 0x5A);
    EXPECT_EQ(run(r, entry(0x01, 1, 512, 7), true, false, 2, nullptr, data).sense(), "");
    EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x202), 1000).sense(), "");
    const std::vector<uint8_t> log81 = entry(0x02, 0xFFFFFFFF, 512, 0x007F0081);
    served log = at_time(r, log81, 2500);
    EXPECT_EQ(get_le16(&log.answer.data[0]), 32768u);
    EXPECT_EQ(get_le16(&log.answer.data[2]), 2u);
    EXPECT_EQ(get_le32(&log.answer.data[4]), 0x202u);
    // A second sanitize waits for it.
    EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x2), 2600).sense(), "04/44/00");
    log = at_time(r, log81, 4000);
    EXPECT_EQ(get_le16(&log.answer.data[0]), 0xFFFFu);
    EXPECT_EQ(get_le16(&log.answer.data[2]), 0x101u);
    uint8_t block[512];
    ASSERT_TRUE(nvme_memory_read(r, nvme_memory::media, 7 * 512, block, sizeof block));
    EXPECT_EQ(std::vector<uint8_t>(block, block + 512), std::vector<uint8_t>(512, 0));
    // Overwrite with a 32-bit pattern; exit failure mode only after a failed sanitize.
    EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x3, 0x11223344), 5000).sense(), "");
    at_time(r, log81, 9000);
    ASSERT_TRUE(nvme_memory_read(r, nvme_memory::media, 4, block, 4));
    EXPECT_EQ(std::vector<uint8_t>(block, block + 4), (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x1), 9000).sense(), "04/44/00");
    // An action SANICAP does not report.
    const std::vector<uint8_t> no_sanitize(4, 0);
    ASSERT_TRUE(nvme_memory_write(r, nvme_memory::id_ctrl, 328, no_sanitize.data(), no_sanitize.size()));
    EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x2), 9000).sense(), "04/44/00");
}

TEST(nvme_model, firmware_chunks_and_slots) {
    bridge_record r = make_bridge();
    std::vector<uint8_t> chunk(4096, 0xAB);
    std::memcpy(chunk.data(), "REV-0042", 8);
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 0), 0, chunk).sense(), "");
    // Overlapping the first chunk is refused; the next one in place is taken.
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 512), 0, chunk).sense(), "04/44/00");
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 1024), 0, chunk).sense(), "");
    EXPECT_EQ(r.state.nvme_fw_length, 8192u);
    // Slot 4 does not exist (FRMW reports three); slot 3 with action 3 runs at once.
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 4 | (1 << 3)), 0).sense(), "04/44/00");
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 3 | (3 << 3)), 0).sense(), "");
    EXPECT_EQ(r.state.nvme_fw_active, 3u);
    const served id = at_time(r, entry(0x06, 0, 4096, 1), 0);
    EXPECT_EQ(std::string(id.answer.data.begin() + 64, id.answer.data.begin() + 72), "REV-0042");
    // Activating an empty slot fails; a gap makes the image unusable.
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 2 | (2 << 3)), 0).sense(), "04/44/00");
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 0), 0, chunk).sense(), "");
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 2048), 0, chunk).sense(), "");
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 2 | (1 << 3)), 0).sense(), "04/44/00");
}

}  // namespace
