// The lab's NVMe controller served in process: the tunnel's sequence rules, the
// controller's answers and what it keeps.
#include <cstring>

#include "zelko/common/bytes.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/host/serve.h"
#include "lab/record/storage.h"
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
    served phase =
        to_host ? serve_in(r, data_phase(true, length, dir), length)
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
    EXPECT_EQ(r.nvme.entry_waiting, 0u);
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
    EXPECT_EQ(r.nvme.power_state, 2u);
    // Temperature threshold: set, then read in completion dword 0.
    EXPECT_EQ(run(r, entry(0x09, 0, 0, 4, 350), false, false, 0).sense(), "");
    EXPECT_EQ(run(r, entry(0x0A, 0, 0, 4), false, false, 0, &completion).sense(), "");
    EXPECT_EQ(get_le32(completion.data()), 350u);
    // APST off with its table.
    std::vector<uint8_t> table(4096, 0);
    table[0] = 0x18;
    EXPECT_EQ(run(r, entry(0x09, 0, 4096, 0x0C, 0), false, false, 2, nullptr, table).sense(), "");
    EXPECT_EQ(r.nvme.apst, 0u);
    EXPECT_EQ(nvme_page(r, nvme_memory::apst_table), std::vector<uint8_t>(table.begin(), table.begin() + 256));
    // Two blocks written at LBA 5, read back across unwritten ones.
    std::vector<uint8_t> data(1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 3 + 1);
    EXPECT_EQ(run(r, entry(0x01, 1, 1024, 5, 0, 1), true, false, 2, nullptr, data).sense(), "");
    const served read = run(r, entry(0x02, 1, 2048, 4, 0, 3), true, true, 1);
    ASSERT_EQ(read.answer.data.size(), 2048u);
    EXPECT_EQ(std::vector<uint8_t>(read.answer.data.begin(), read.answer.data.begin() + 512),
              std::vector<uint8_t>(512, 0));
    EXPECT_EQ(std::vector<uint8_t>(read.answer.data.begin() + 512, read.answer.data.begin() + 1536), data);
    uint8_t smart[512];
    ASSERT_TRUE(nvme_memory_read(r, nvme_memory::smart, 0, smart, sizeof smart));
    EXPECT_EQ(get_le64(smart + 32), 1u);  // data units read
    EXPECT_EQ(get_le64(smart + 48), 1u);  // data units written
    EXPECT_EQ(get_le64(smart + 64), 1u);  // read commands
    EXPECT_EQ(get_le64(smart + 80), 1u);  // write commands
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
    r.nvme.sanitize_ms = 3000;
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

std::vector<uint8_t> media_at(bridge_record& r, uint64_t offset, size_t length) {
    std::vector<uint8_t> bytes(length);
    EXPECT_TRUE(nvme_memory_read(r, nvme_memory::media, offset, bytes.data(), bytes.size()));
    return bytes;
}

// A sanitize that fails leaves the media, reports SSTAT 3 with SPROG FFFFh and refuses
// media access (Sanitize Failed, 1Ch) until Exit Failure Mode (allowed only when the
// sanitize ran with AUSE) or a new sanitize that succeeds; the log keeps the failure.
TEST(nvme_model, a_failed_sanitize_and_its_failure_mode) {
    for (const bool ause : {true, false}) {
        bridge_record r = make_bridge();
        r.nvme.sanitize_ms = 1000;
        r.nvme.sanitize_fail = 1;
        const std::vector<uint8_t> data(512, 0x5A);
        const std::vector<uint8_t> read1 = entry(0x02, 1, 512, 7);
        EXPECT_EQ(run(r, entry(0x01, 1, 512, 7), true, false, 2, nullptr, data).sense(), "");
        const uint32_t cdw10 = 0x2 | (ause ? 0x8 : 0);
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, cdw10), 0).sense(), "");
        const std::vector<uint8_t> log81 = entry(0x02, 0xFFFFFFFF, 512, 0x007F0081);
        served log = at_time(r, log81, 1000);
        EXPECT_EQ(get_le16(&log.answer.data[0]), 0xFFFFu);
        EXPECT_EQ(get_le16(&log.answer.data[2]), 0x3u);
        EXPECT_EQ(get_le32(&log.answer.data[4]), cdw10);
        EXPECT_EQ(media_at(r, 7 * 512, 512), data);
        std::vector<uint8_t> completion;
        EXPECT_EQ(run(r, read1, true, true, 1, &completion).sense(), "04/44/00");
        EXPECT_EQ(get_le16(&completion[14]) >> 1, 0x1Cu);
        EXPECT_EQ(at_time(r, entry(0x80, 1, 0, 0), 1000).sense(), "04/44/00");
        // Exit Failure Mode: accepted after an unrestricted sanitize only.
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x1), 1000).sense(), ause ? "" : "04/44/00") << ause;
        EXPECT_EQ(run(r, read1, true, true, 1).sense(), ause ? "" : "04/44/00") << ause;
        log = at_time(r, log81, 1000);
        EXPECT_EQ(get_le16(&log.answer.data[2]), 0x3u);
        EXPECT_EQ(get_le32(&log.answer.data[4]), cdw10);
        // A new sanitize that succeeds ends failure mode in either case.
        r.nvme.sanitize_fail = 0;
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x2), 2000).sense(), "");
        log = at_time(r, log81, 3000);
        EXPECT_EQ(get_le16(&log.answer.data[2]), 0x101u);
        EXPECT_EQ(run(r, read1, true, true, 1).sense(), "");
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x1), 3000).sense(), "04/44/00");
    }
}

// Scripted log answers: each read answers the next, the last repeats, and the status in
// them decides when the running sanitize ends (lab time does not): in progress (bits 2:0
// = 2) with any SPROG keeps it running, a completed status erases the media, a failed
// one enters failure mode.
TEST(nvme_model, scripted_sanitize_log_answers) {
    const std::vector<uint8_t> log81 = entry(0x02, 0xFFFFFFFF, 512, 0x007F0081);
    const std::vector<uint8_t> data(512, 0x5A);
    const std::vector<uint8_t> read1 = entry(0x02, 1, 512, 7);
    const auto answer_at = [&](bridge_record& r, int64_t now_ms) {
        const served log = at_time(r, log81, now_ms);
        return std::make_pair(get_le16(&log.answer.data[0]), get_le16(&log.answer.data[2]));
    };
    using pair = std::pair<uint16_t, uint16_t>;
    {
        bridge_record r = make_bridge();
        r.nvme.sanitize_ms = 1000;
        std::string error;
        ASSERT_TRUE(
            field_set_text(r, *find_field("nvme_sanitize_log"), "0x00021000 0x00FAFFFF 0x00028000 0x0101FFFF", &error))
            << error;
        EXPECT_EQ(run(r, entry(0x01, 1, 512, 7), true, false, 2, nullptr, data).sense(), "");
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x2), 0).sense(), "");
        EXPECT_EQ(answer_at(r, 0), (pair{0x1000, 0x0002}));
        // SSTAT FAh: bits 2:0 say in progress, whatever the other bits and SPROG hold.
        EXPECT_EQ(answer_at(r, 5000), (pair{0xFFFF, 0x00FA}));
        EXPECT_EQ(run(r, read1, true, true, 1).sense(), "04/44/00");
        EXPECT_EQ(answer_at(r, 9000), (pair{0x8000, 0x0002}));
        EXPECT_EQ(media_at(r, 7 * 512, 512), data);
        EXPECT_EQ(answer_at(r, 9000), (pair{0xFFFF, 0x0101}));
        EXPECT_EQ(media_at(r, 7 * 512, 512), std::vector<uint8_t>(512, 0));
        EXPECT_EQ(run(r, read1, true, true, 1).sense(), "");
        EXPECT_EQ(answer_at(r, 9000), (pair{0xFFFF, 0x0101}));
        EXPECT_EQ(field_show_text(r, *find_field("nvme_sanitize_log"), 0),
                  "0x00021000 0x00FAFFFF 0x00028000 0x0101FFFF (next 4 of 4, the last repeats)");
        // Saved and loaded with its position.
        bridge_record loaded = make_bridge();
        std::string why;
        ASSERT_TRUE(decode_bridge(encode_bridge(r), &loaded, &why)) << why;
        EXPECT_EQ(loaded.nvme.sanitize_log, r.nvme.sanitize_log);
        EXPECT_EQ(loaded.nvme.sanitize_log_next, 3u);
        // Cleared, the log follows lab time again.
        ASSERT_TRUE(field_set_text(r, *find_field("nvme_sanitize_log"), "none", &error));
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0x2), 10000).sense(), "");
        EXPECT_EQ(answer_at(r, 10500), (pair{0x8000, 0x0002}));
        EXPECT_EQ(field_show_text(r, *find_field("nvme_sanitize_log"), 0), "none (progress over lab time)");
    }
    {
        bridge_record r = make_bridge();
        std::string error;
        ASSERT_TRUE(field_set_text(r, *find_field("nvme_sanitize_log"), "0x00030000", &error));
        EXPECT_EQ(run(r, entry(0x01, 1, 512, 7), true, false, 2, nullptr, data).sense(), "");
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, 0xA), 0).sense(), "");
        EXPECT_EQ(answer_at(r, 0), (pair{0x0000, 0x0003}));
        EXPECT_EQ(r.nvme.sanitize_failed, 1u);
        EXPECT_EQ(media_at(r, 7 * 512, 512), data);
    }
    // Malformed scripts are refused whole and change nothing.
    bridge_record r = make_bridge();
    for (const char* bad : {"0x00028000,0x0101FFFF", "0x100000000", "50%", "0x00028000 x"}) {
        std::string error;
        EXPECT_FALSE(field_set_text(r, *find_field("nvme_sanitize_log"), bad, &error)) << bad;
        EXPECT_NE(error.find("nvme_sanitize_log"), std::string::npos) << error;
    }
    EXPECT_TRUE(r.nvme.sanitize_log.empty());
}

// What each finished sanitize leaves on the media: zeros after a block erase, noise that
// differs from it and from one crypto erase to the next, the final pattern of an overwrite
// (inverted when OIPBP is set and the passes are even; OWPASS 0 is 16 passes).
TEST(nvme_model, media_after_each_sanitize_action) {
    bridge_record r = make_bridge();
    r.nvme.sanitize_ms = 10;
    const std::vector<uint8_t> log81 = entry(0x02, 0xFFFFFFFF, 512, 0x007F0081);
    int64_t now = 0;
    const auto sanitize_with = [&](uint32_t cdw10, uint32_t pattern) {
        const std::vector<uint8_t> data(512, 0x5A);
        EXPECT_EQ(run(r, entry(0x01, 1, 512, 3), true, false, 2, nullptr, data).sense(), "");
        EXPECT_EQ(at_time(r, entry(0x84, 0, 0, cdw10, pattern), now).sense(), "") << cdw10;
        now += 10;
        EXPECT_EQ(get_le16(&at_time(r, log81, now).answer.data[2]), 0x101u) << cdw10;
        return std::make_pair(media_at(r, 3 * 512, 512), media_at(r, 1000 * 512, 8));
    };
    const auto block = sanitize_with(0x2, 0);
    EXPECT_EQ(block.first, std::vector<uint8_t>(512, 0));
    const auto crypto1 = sanitize_with(0x4, 0);
    const auto crypto2 = sanitize_with(0x4, 0);
    EXPECT_NE(crypto1.first, block.first);
    EXPECT_NE(crypto1.first, std::vector<uint8_t>(512, 0x5A));
    EXPECT_NE(crypto1.second, crypto2.second);
    EXPECT_NE(std::vector<uint8_t>(crypto1.first.begin(), crypto1.first.begin() + 8), crypto1.second);
    const uint32_t pattern = 0x11223344;
    const struct {
        uint32_t cdw10;
        uint32_t final_pattern;
    } overwrites[] = {
        {0x3 | (1 << 4), pattern},           // one pass
        {0x3 | (2 << 4), pattern},           // two passes, never inverted
        {0x3 | (2 << 4) | 0x100, ~pattern},  // two passes inverted between them
        {0x3 | (3 << 4) | 0x100, pattern},   // three: the last as given
        {0x3 | 0x100, ~pattern},             // OWPASS 0: sixteen passes
    };
    for (const auto& o : overwrites) {
        std::vector<uint8_t> expected(8);
        put_le32(&expected[0], o.final_pattern);
        put_le32(&expected[4], o.final_pattern);
        EXPECT_EQ(sanitize_with(o.cdw10, pattern).second, expected) << std::hex << o.cdw10;
    }
    // A block erase after a crypto erase reads zeros again.
    sanitize_with(0x4, 0);
    EXPECT_EQ(sanitize_with(0x2, 0).first, std::vector<uint8_t>(512, 0));
}

TEST(nvme_model, firmware_chunks_and_slots) {
    bridge_record r = make_bridge();
    std::vector<uint8_t> chunk(4096, 0xAB);
    std::memcpy(chunk.data(), "REV-0042", 8);
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 0), 0, chunk).sense(), "");
    // Overlapping the first chunk is refused; the next one in place is taken.
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 512), 0, chunk).sense(), "04/44/00");
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 1024), 0, chunk).sense(), "");
    EXPECT_EQ(r.nvme.fw_length, 8192u);
    // Slot 4 does not exist (FRMW reports three); slot 3 with action 3 runs at once.
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 4 | (1 << 3)), 0).sense(), "04/44/00");
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 3 | (3 << 3)), 0).sense(), "");
    EXPECT_EQ(r.nvme.fw_active, 3u);
    const served id = at_time(r, entry(0x06, 0, 4096, 1), 0);
    EXPECT_EQ(std::string(id.answer.data.begin() + 64, id.answer.data.begin() + 72), "REV-0042");
    // Activating an empty slot fails; a gap makes the image unusable.
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 2 | (2 << 3)), 0).sense(), "04/44/00");
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 0), 0, chunk).sense(), "");
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 2048), 0, chunk).sense(), "");
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 2 | (1 << 3)), 0).sense(), "04/44/00");
}

std::vector<uint8_t> slot_bytes(bridge_record& r, uint32_t slot, uint64_t offset, size_t length) {
    std::vector<uint8_t> bytes(length);
    EXPECT_TRUE(nvme_memory_read(r, nvme_memory::fw_slots, (slot - 1) * uint64_t{k_nvme_fw_buffer_size} + offset,
                                 bytes.data(), bytes.size()));
    return bytes;
}

// A committed slot holds the whole image (a shorter one later leaves nothing of the longer
// one behind); the slots are as many as FRMW reports, each one download buffer large.
TEST(nvme_model, slots_keep_whole_images) {
    bridge_record r = make_bridge();
    EXPECT_EQ(memory_size(r, lab_memory::nvme_slots), 3 * uint64_t{k_nvme_fw_buffer_size});
    std::vector<uint8_t> image(12288);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
    std::memcpy(image.data(), "LONG-001", 8);
    for (uint32_t n = 0; n < 3; ++n) {
        const std::vector<uint8_t> chunk(image.begin() + n * 4096, image.begin() + (n + 1) * 4096);
        EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, n * 1024), 0, chunk).sense(), "");
    }
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 2 | (1 << 3)), 0).sense(), "");
    EXPECT_EQ(nvme_fw_slot_length(r, 2), 12288u);
    EXPECT_EQ(slot_bytes(r, 2, 0, image.size()), image);
    std::vector<uint8_t> short_image(4096, 0xC3);
    std::memcpy(short_image.data(), "SHORT-02", 8);
    EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 0), 0, short_image).sense(), "");
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 2 | (3 << 3)), 0).sense(), "");
    EXPECT_EQ(nvme_fw_slot_length(r, 2), 4096u);
    EXPECT_EQ(slot_bytes(r, 2, 0, 4096), short_image);
    EXPECT_EQ(slot_bytes(r, 2, 4096, 8192), std::vector<uint8_t>(8192, 0));
    const served id = at_time(r, entry(0x06, 0, 4096, 1), 0);
    EXPECT_EQ(std::string(id.answer.data.begin() + 64, id.answer.data.begin() + 72), "SHORT-02");
    // Back to slot 1, never written: the disk's own firmware.
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 1 | (2 << 3)), 0).sense(), "");
    EXPECT_EQ(r.nvme.fw_pending, 1u);
}

// FRMW bit 0: slot 1 is read-only. Replacing it is refused with Invalid Firmware Slot
// (106h); activating it is not; slot 0 lets the controller choose a writable slot. A
// controller reporting no slots refuses every commit.
TEST(nvme_model, read_only_slot_1_and_the_controllers_choice) {
    bridge_record r = make_bridge();
    const uint8_t frmw = 0x17;
    ASSERT_TRUE(nvme_memory_write(r, nvme_memory::id_ctrl, 260, &frmw, 1));
    std::vector<uint8_t> chunk(4096, 0x11);
    std::memcpy(chunk.data(), "RO-TEST1", 8);
    const auto download = [&] { EXPECT_EQ(at_time(r, entry(0x11, 0, 4096, 1023, 0), 0, chunk).sense(), ""); };
    download();
    std::vector<uint8_t> completion;
    for (const uint32_t action : {0u, 1u, 3u}) {
        EXPECT_EQ(run(r, entry(0x10, 0, 0, 1 | (action << 3)), false, false, 0, &completion).sense(), "04/44/00");
        EXPECT_EQ(get_le16(&completion[14]) >> 1, 0x106u) << action;
    }
    EXPECT_EQ(nvme_fw_slot_length(r, 1), 0u);
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 1 | (2 << 3)), 0).sense(), "");
    // Running slot 3: the next writable slot is 2, not the read-only 1.
    r.nvme.fw_active = 3;
    EXPECT_EQ(at_time(r, entry(0x10, 0, 0, 0 | (1 << 3)), 0).sense(), "");
    EXPECT_EQ(nvme_fw_slot_length(r, 2), 4096u);
    EXPECT_EQ(r.nvme.fw_pending, 2u);
    const uint8_t no_slots = 0x00;
    ASSERT_TRUE(nvme_memory_write(r, nvme_memory::id_ctrl, 260, &no_slots, 1));
    download();
    EXPECT_EQ(memory_size(r, lab_memory::nvme_slots), 0u);
    EXPECT_EQ(run(r, entry(0x10, 0, 0, 0 | (1 << 3)), false, false, 0, &completion).sense(), "04/44/00");
    EXPECT_EQ(get_le16(&completion[14]) >> 1, 0x106u);
}

}  // namespace
