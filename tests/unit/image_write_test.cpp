// Writing images to the flash: chunk sizes, the order and addresses of an image's chunks,
// the PG record carried in the chunk over the PG sector, the boot header, the LED image's
// merged last page, the state query and the progress percentage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/pg/fw_update.h"
#include "zelko/pg/image_file.h"
#include "zelko/pg/image_write.h"
#include "tests/unit/bridge_command_fixture.h"
#include "tests/unit/bridge_script.h"

using namespace zelko;

namespace {

using bytes = std::vector<uint8_t>;

const std::string k_max_xfer = "E2 00 00 00 CA 00 00 00 02 00 00 00 04 00 00 00 in 4";
const std::string k_pg_sector_read = "E2 00 00 00 92 00 00 00 00 40 00 AC 00 10 00 00 in 4096";

std::string le_hex(uint32_t v) {
    uint8_t b[4];
    put_le32(b, v);
    return fake::hex(b, 4);
}

// The two blocks of one flash write of `length` bytes at `address`.
std::vector<std::string> flash_blocks(uint32_t address, uint32_t length) {
    return {"E3 00 00 00 10 00 00 00 " + le_hex(address) + " 04 00 00 00 out 4 data=" + le_hex(address),
            "E3 00 00 00 11 00 00 00 00 00 00 00 " + le_hex(length) + " out " + std::to_string(length)};
}

std::string write_file(const std::string& name, const bytes& b) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return path;
}

// An image of one 4096-byte front part for the PG sector and a rear part of `rear`
// bytes for 0x8C010000; every body byte tells its file offset.
bytes image_bytes(size_t rear) {
    bytes b(4096 + rear);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i / 4096 * 16 + i % 7);
    std::fill(b.begin(), b.begin() + 0x40, 0);
    put_le32(&b[0x00], k_image_magic_main);
    put_le32(&b[0x14], 4096);
    put_le32(&b[0x18], static_cast<uint32_t>(rear));
    put_le32(&b[0x10], crc32_update(0, &b[4096], rear));
    put_le32(&b[0x1C], 4096);
    put_le32(&b[0x20], 0x8C010000);
    put_le32(&b[0x28], 0);
    put_le32(&b[0x2C], 0x8C004000);
    put_le32(&b[0x30], 4096);
    return b;
}

TEST(ImageWrite, ChunkSizes) {
    const struct {
        bool ok;
        uint32_t limit, chunk;
    } rows[] = {{false, 0x40000, 4096}, {true, 0x40000, 65536}, {true, 65536, 65536},   {true, 10000, 8192},
                {true, 4095, 4096},     {true, 0, 4096},        {true, 0x3000, 0x3000}, {true, 0xFFFFFFFF, 65536}};
    for (const auto& r : rows) EXPECT_EQ(image_chunk_size(r.ok, r.limit), r.chunk) << r.ok << " " << r.limit;
}

TEST(ImageWrite, ProgressPercent) {
    update_progress p;
    EXPECT_EQ(progress_percent(p), 0);
    p.total = 200;
    p.written = 50;
    EXPECT_EQ(progress_percent(p), 25);
    p.total = 0xF0000000;
    p.written = 0xF0000000;
    EXPECT_EQ(progress_percent(p), 100);
}

class ImageWriteDevice : public bridge_command_test {};

TEST_F(ImageWriteDevice, RearThenFrontEachFromItsEndTheRecordCarried) {
    const bytes image = image_bytes(3 * 4096);
    const std::string path = write_file("multi.img", image);
    bytes sector(4096, 0);
    for (size_t i = 2048; i < 4096; ++i) sector[i] = static_cast<uint8_t>(0xC0 + i % 13);
    fake::script_ok(bridge_script::le32(8192));  // the bridge's limit: two sectors a chunk
    for (int i = 0; i < 4; ++i) fake::script_ok();
    fake::script_ok(sector);
    for (int i = 0; i < 2; ++i) fake::script_ok();
    std::atomic<uint32_t> progress{100};
    ASSERT_EQ(write_image(device.get(), path.c_str(), progress), 0);
    EXPECT_EQ(progress.load(), 100u + 4 * 4096);
    std::vector<std::string> expected = {k_max_xfer};
    for (const auto& b : flash_blocks(0x8C011000, 8192)) expected.push_back(b);
    for (const auto& b : flash_blocks(0x8C010000, 4096)) expected.push_back(b);
    expected.push_back(k_pg_sector_read);
    for (const auto& b : flash_blocks(0x8C004000, 4096)) expected.push_back(b);
    EXPECT_EQ(sent_blocks(), expected);
    EXPECT_EQ(data_out(2), bytes(image.begin() + 8192, image.end()));
    EXPECT_EQ(data_out(4), bytes(image.begin() + 4096, image.begin() + 8192));
    bytes front = sector;
    std::copy(image.begin(), image.begin() + 2048, front.begin());
    EXPECT_EQ(data_out(7), front);
}

TEST_F(ImageWriteDevice, FailuresStopAtOnce) {
    const std::string path = write_file("fail.img", image_bytes(4096));
    // The limit unreadable: 4096-byte chunks; the second flash write refused: its status.
    fake::script(check_condition());
    fake::script_ok();
    fake::script_ok();
    fake::script_ok();
    fake::script(check_condition());
    std::atomic<uint32_t> progress{0};
    EXPECT_EQ(write_image(device.get(), path.c_str(), progress), 2);
    EXPECT_EQ(progress.load(), 4096u);
    // A record that cannot be read stops before the PG sector is written.
    next_case();
    fake::script_ok(bridge_script::le32(65536));
    fake::script_ok();
    fake::script_ok();
    fake::script(check_condition());
    EXPECT_EQ(write_image(device.get(), path.c_str(), progress), 2);
    // A front part away from offset 0 sends nothing.
    next_case();
    bytes moved = image_bytes(4096);
    put_le32(&moved[0x28], 4096);
    EXPECT_EQ(write_image(device.get(), write_file("moved.img", moved).c_str(), progress), -1);
    EXPECT_TRUE(fake::requests().empty());
}

TEST_F(ImageWriteDevice, BootHeaderKeepsTheRecordHalf) {
    const bytes image = image_bytes(4096);
    const std::string path = write_file("boot.img", image);
    bytes sector(4096, 0x11);
    for (size_t i = 2048; i < 4096; ++i) sector[i] = static_cast<uint8_t>(i);
    fake::script_ok(sector);
    fake::script_ok();
    fake::script_ok();
    ASSERT_EQ(write_boot_header(device.get(), path.c_str()), 0);
    std::vector<std::string> expected = {k_pg_sector_read};
    for (const auto& b : flash_blocks(0x8C004000, 4096)) expected.push_back(b);
    EXPECT_EQ(sent_blocks(), expected);
    bytes written = sector;
    std::copy(image.begin(), image.begin() + 2048, written.begin());
    EXPECT_EQ(data_out(2), written);
}

// With a kept record, the boot header goes out with that record in its record half, the
// sector is read back, and a sector that differs is written again: four writes at most,
// then -1. A refused write or read ends it with its status at once.
TEST_F(ImageWriteDevice, BootHeaderWithAKeptRecordIsReadBackAndWrittenAgain) {
    const bytes image = image_bytes(4096);
    const std::string path = write_file("boot.img", image);
    kept_pg_record keep{};
    for (size_t i = 0; i < sizeof keep.bytes; ++i) keep.bytes[i] = static_cast<uint8_t>(i * 7);
    bytes good(image.begin(), image.begin() + 4096);
    for (size_t i = 0; i < sizeof keep.bytes; ++i) good[2048 + i] = keep.bytes[i];
    bytes torn = good;
    std::fill(torn.begin() + 2100, torn.end(), 0xFF);
    const std::vector<std::string> write = flash_blocks(0x8C004000, 4096);
    const std::vector<std::string> one = {write[0], write[1], k_pg_sector_read};
    const struct {
        const char* name;
        std::vector<fake::answer> answers;
        cmd_status status;
        size_t writes;
        size_t blocks;
    } cases[] = {
        {"read back as written", {ok(), ok(), ok(good)}, 0, 1, 3},
        {"torn once", {ok(), ok(), ok(torn), ok(), ok(), ok(good)}, 0, 2, 6},
        {"dropped three times",
         {ok(), ok(), ok(bytes(4096, 0xFF)), ok(), ok(), ok(torn), ok(), ok(), ok(torn), ok(), ok(), ok(good)},
         0,
         4,
         12},
        {"differs four times",
         {ok(), ok(), ok(torn), ok(), ok(), ok(torn), ok(), ok(), ok(torn), ok(), ok(), ok(torn)},
         -1,
         4,
         12},
        {"short read back",
         {ok(), ok(), ok_short(bytes(good.begin(), good.begin() + 100), 4096)},
         k_status_short_answer,
         1,
         3},
        {"write refused", {ok(), check_condition()}, 2, 1, 2},
        {"read back refused", {ok(), ok(), check_condition()}, 2, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        next_case();
        for (const fake::answer& a : c.answers) fake::script(a);
        EXPECT_EQ(write_boot_header(device.get(), path.c_str(), &keep), c.status);
        const std::vector<std::string> blocks = sent_blocks();
        ASSERT_EQ(blocks.size(), c.blocks);
        for (size_t i = 0; i < c.blocks; ++i) EXPECT_EQ(blocks[i], one[i % 3]) << i;
        for (size_t w = 0; w < c.writes && 3 * w + 1 < c.blocks; ++w) EXPECT_EQ(data_out(3 * w + 1), good) << w;
    }
}

TEST_F(ImageWriteDevice, LedImageLastPageMergedWithTheFlash) {
    bytes led(5000);
    for (size_t i = 0; i < led.size(); ++i) led[i] = static_cast<uint8_t>(i * 3);
    put_le32(&led[0x00], k_led_image_magic);
    put_le32(&led[0x08], 0x8C1F0000);
    put_le32(&led[0x0C], 64);
    put_le32(&led[0x14], 5000 - 64);
    const std::string path = write_file("led.img", led);
    const bytes flash(4096, 0xAB);
    fake::script_ok();
    fake::script_ok();
    fake::script_ok(flash);
    fake::script_ok();
    fake::script_ok();
    std::atomic<uint32_t> progress{0};
    ASSERT_EQ(write_led_image(device.get(), path.c_str(), progress), 0);
    EXPECT_EQ(progress.load(), 5000u);
    std::vector<std::string> expected = flash_blocks(0x8C1F0000, 4096);
    expected.push_back("E2 00 00 00 92 00 00 00 00 10 1F AC 00 10 00 00 in 4096");
    for (const auto& b : flash_blocks(0x8C1F1000, 4096)) expected.push_back(b);
    EXPECT_EQ(sent_blocks(), expected);
    EXPECT_EQ(data_out(1), bytes(led.begin(), led.begin() + 4096));
    bytes last(4096, 0xAB);  // 904 file bytes, then the 3192 bytes the flash held
    std::copy(led.begin() + 4096, led.end(), last.begin());
    ASSERT_EQ(led.size() - 4096, 904u);
    EXPECT_EQ(data_out(4), last);
    // A malformed image sends nothing.
    next_case();
    put_le32(&led[0x14], 5000);
    EXPECT_EQ(write_led_image(device.get(), write_file("bad_led.img", led).c_str(), progress), -1);
}

TEST_F(ImageWriteDevice, StateQueryAnswers) {
    const struct {
        fake::answer answer;
        uint32_t state;
    } rows[] = {
        {ok({1}), k_fw_state_main},
        {ok({2}), k_fw_state_rescue},
        {ok({0}), k_fw_state_unknown},
        {ok({3}), k_fw_state_unknown},
        {check_condition(), k_fw_state_unknown},
        {fake::answer{.data = {}, .residual = 1}, k_fw_state_unknown},
    };
    for (const auto& r : rows) {
        next_case();
        fake::script(r.answer);
        EXPECT_EQ(query_fw_state(device.get()), r.state);
        EXPECT_EQ(sent_blocks(), std::vector<std::string>{"E2 00 00 00 A6 00 00 00 00 00 00 00 01 00 00 00 in 1"});
    }
}

TEST_F(ImageWriteDevice, UpdateOfAPathThatDoesNotOpen) {
    update_progress progress;
    progress.written = 7;
    EXPECT_EQ(run_fw_update(progress, "\\\\.\\PhysicalDrive9", "a", "b", "", ""), -1);
    EXPECT_EQ(progress.status.load(), -1);
    EXPECT_EQ(progress.written.load(), 0u);
}

}  // namespace
