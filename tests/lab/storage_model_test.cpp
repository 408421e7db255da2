// The storage API the device models use, on a record kept in memory and on one whose
// memories are files of a lab directory: both must read and write alike.
#include <stdlib.h>

#include <filesystem>

#include "lab/host/lab_dir.h"
#include "lab/record/memory_load.h"
#include "lab/model/disk/disk_spaces.h"
#include "lab/record/state.h"
#include "lab/record/storage.h"
#include "model_fixture.h"

namespace {

struct temp_lab {
    std::string dir;
    temp_lab() {
        std::string name = "/tmp/mvbridge-storage-XXXXXX";
        dir = mkdtemp(name.data()) != nullptr ? name : "";
        std::filesystem::create_directories(dir + "/bridges");
    }
    ~temp_lab() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

std::vector<uint8_t> read_bytes(bridge_record& record, lab_memory which, uint64_t offset, size_t length) {
    std::vector<uint8_t> bytes(length, 0x77);
    EXPECT_TRUE(memory_read(record, which, offset, bytes.data(), length)) << offset;
    return bytes;
}

// One walk of writes and reads, on either kind of record.
void walk_memories(bridge_record& record) {
    EXPECT_EQ(memory_size(record, lab_memory::flash), 2u << 20);
    EXPECT_EQ(memory_size(record, lab_memory::led), 16384u);
    EXPECT_EQ(memory_size(record, lab_memory::media), 1953525168ull * 512);
    EXPECT_FALSE(memory_written(record, lab_memory::flash));

    // Never written: the erased value of each memory.
    EXPECT_EQ(read_bytes(record, lab_memory::flash, 0x1FFFF0, 16), std::vector<uint8_t>(16, 0xFF));
    EXPECT_EQ(read_bytes(record, lab_memory::media, 0, 8), std::vector<uint8_t>(8, 0x00));

    // A write across a page boundary, far from the start: the gap before it still reads
    // erased, the bytes around it are untouched.
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(memory_write(record, lab_memory::flash, 0x10FFD, data.data(), data.size()));
    EXPECT_EQ(read_bytes(record, lab_memory::flash, 0x10FFC, 8), (std::vector<uint8_t>{0xFF, 1, 2, 3, 4, 5, 6, 0xFF}));
    EXPECT_EQ(read_bytes(record, lab_memory::flash, 0x8000, 4), std::vector<uint8_t>(4, 0xFF));
    EXPECT_TRUE(memory_written(record, lab_memory::flash));
    EXPECT_FALSE(memory_written(record, lab_memory::media));

    // The media's last sector, and nothing beyond any memory.
    const uint64_t media_end = memory_size(record, lab_memory::media);
    ASSERT_TRUE(memory_write(record, lab_memory::media, media_end - 2, data.data(), 2));
    EXPECT_EQ(read_bytes(record, lab_memory::media, media_end - 4, 4), (std::vector<uint8_t>{0, 0, 1, 2}));
    uint8_t byte = 0;
    EXPECT_FALSE(memory_write(record, lab_memory::media, media_end - 1, data.data(), 2));
    EXPECT_FALSE(memory_read(record, lab_memory::led, 16384, &byte, 1));
    EXPECT_FALSE(memory_read(record, lab_memory::flash, UINT64_MAX, &byte, 2));
    EXPECT_TRUE(memory_read(record, lab_memory::led, 16384, &byte, 0));
    EXPECT_FALSE(memory_write(record, lab_memory::led, 16385, &byte, 0));

    // A smaller flash refuses what lies beyond it, a larger one reads erased there.
    record.params.flash_size = k_flash_size_min;
    EXPECT_FALSE(memory_read(record, lab_memory::flash, 0x10FFD, &byte, 1));
    record.params.flash_size = 4u << 20;
    EXPECT_EQ(read_bytes(record, lab_memory::flash, 0x3FFFFF, 1), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(read_bytes(record, lab_memory::flash, 0x10FFD, 1), std::vector<uint8_t>{1});
}

TEST(storage_model, a_record_without_a_lab_keeps_its_memories_in_memory) {
    bridge_record record = make_bridge();
    walk_memories(record);
    // A copy of the record has its own memories.
    bridge_record copy = record;
    const uint8_t zero = 0;
    ASSERT_TRUE(memory_write(copy, lab_memory::flash, 0x10FFD, &zero, 1));
    EXPECT_EQ(read_bytes(record, lab_memory::flash, 0x10FFD, 1), std::vector<uint8_t>{1});
}

TEST(storage_model, a_record_of_a_lab_keeps_its_memories_in_files) {
    const temp_lab lab;
    ASSERT_FALSE(lab.dir.empty());
    bridge_record record = make_bridge();
    record.memories.dir = lab.dir;
    walk_memories(record);
    EXPECT_EQ(memory_file_name(record, lab_memory::flash), "bridges/PhysicalDrive1.flash");
    // The flash file holds what was written and erased bytes before it; the media file
    // has the disk's size.
    EXPECT_EQ(std::filesystem::file_size(lab.dir + "/bridges/PhysicalDrive1.flash"), 0x11003u);
    EXPECT_EQ(std::filesystem::file_size(lab.dir + "/bridges/PhysicalDrive1.media"), 1953525168ull * 512);
    EXPECT_FALSE(std::filesystem::exists(lab.dir + "/bridges/PhysicalDrive1.led"));
    // Saved and loaded again, the record reaches the same files.
    std::string error;
    ASSERT_TRUE(lab_save_bridge(lab.dir, record, &error)) << error;
    bridge_record back;
    ASSERT_TRUE(lab_load_bridge(lab.dir, "PhysicalDrive1", &back, &error)) << error;
    EXPECT_EQ(read_bytes(back, lab_memory::flash, 0x10FFC, 8), (std::vector<uint8_t>{0xFF, 1, 2, 3, 4, 5, 6, 0xFF}));
}

// Loading a state file of the older form moves its areas into the flash; an erased area
// makes no flash file; a repeated or unknown area is refused.
TEST(storage_model, flash_blobs_of_older_state_files_move_into_the_flash) {
    const std::string head = "mvbridge-lab bridge 1\nname PhysicalDrive1\n" + identity_lines();
    bridge_record record;
    std::string error;
    ASSERT_TRUE(decode_bridge(head + "blob flash_pg 4096\nblob cust_page 4096\ndata\n" + std::string(4096, '\xFF') +
                                  "C" + std::string(4095, '\xFF'),
                              &record, &error))
        << error;
    EXPECT_TRUE(record.dirty);
    EXPECT_EQ(flash_at(record, k_flash_cust_page, 2), (std::vector<uint8_t>{'C', 0xFF}));
    EXPECT_EQ(record.memories.pages.size(), 1u);
    EXPECT_EQ(encode_bridge(record).find("blob"), std::string::npos);

    for (const std::string& bad : {head + "blob flash_pg 4096\nblob flash_pg 4096\ndata\n" + std::string(8192, 'x'),
                                   head + "blob uuid_area 2048\ndata\n" + std::string(2048, 'x')}) {
        bridge_record refused;
        EXPECT_FALSE(decode_bridge(bad, &refused, &error));
    }
    bridge_record plain;
    ASSERT_TRUE(decode_bridge(head + "data\n", &plain, &error)) << error;
    EXPECT_FALSE(plain.dirty);
}

// The table is in the enum's order; choice values are named through a checked lookup, so
// a value beyond its list never reads outside it.
TEST(storage_model, memory_table_follows_the_enum_and_choice_names_are_checked) {
    for (size_t i = 0; i < memory_rows().size(); ++i) EXPECT_EQ(static_cast<size_t>(memory_rows()[i].which), i);
    EXPECT_EQ(memory_rows().size(), static_cast<size_t>(lab_memory::count));
    for (const lab_memory_area& area : memory_areas()) {
        EXPECT_TRUE(memory_range_ok(make_bridge(), area.which, area.offset, area.length)) << area.name;
    }
    bridge_record record = make_bridge();
    record.disk.kind = 3;
    EXPECT_EQ(field_show_text(record, *find_field("disk"), 0), "?");
    bridge_record back;
    std::string error;
    EXPECT_FALSE(decode_bridge(encode_bridge(record), &back, &error));
    EXPECT_EQ(error, "line 10: disk is one of nvme|sata|none");
    EXPECT_STREQ(choice_name(k_disk_kind_names, 2), "none");
}

}  // namespace

namespace {

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    std::fclose(file);
}

// `load`: a file's bytes at an offset, over the power-on content of a memory that has
// one; a file that is no regular file or does not fit is refused before anything is
// written.
TEST(storage, load_a_memory_from_a_file) {
    temp_lab lab;
    bridge_record record = make_bridge();
    const std::string file = lab.dir + "/bytes.bin";
    write_file(file, {0xDE, 0xAD, 0xBE, 0xEF});
    std::string error;
    // A bridge whose PCIe configuration space was never written (as a lab made before it
    // existed) gets its power-on content under the file's bytes.
    const lab_memory_row& conf = memory_row(lab_memory::pcie_conf);
    bridge_record bare;
    ASSERT_FALSE(memory_written(bare, lab_memory::pcie_conf));
    ASSERT_TRUE(memory_load_file(bare, conf, 0x40, file, &error)) << error;
    std::vector<uint8_t> expected = pcie_conf_power_on();
    std::copy_n(std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}.begin(), 4, expected.begin() + 0x40);
    EXPECT_EQ(read_bytes(bare, lab_memory::pcie_conf, 0, expected.size()), expected);
    // The last bytes of a memory; an empty file at its very end.
    const lab_memory_row& flash = memory_row(lab_memory::flash);
    const uint64_t end = memory_size(record, lab_memory::flash);
    ASSERT_TRUE(memory_load_file(record, flash, end - 4, file, &error)) << error;
    EXPECT_EQ(read_bytes(record, lab_memory::flash, end - 5, 5), (std::vector<uint8_t>{0xFF, 0xDE, 0xAD, 0xBE, 0xEF}));
    write_file(lab.dir + "/empty.bin", {});
    EXPECT_TRUE(memory_load_file(record, flash, end, lab.dir + "/empty.bin", &error)) << error;

    const struct {
        const lab_memory_row& memory;
        uint64_t offset;
        std::string path;
        std::string error;
    } refused[] = {
        {flash, end - 3, file, file + " has 4 bytes: they do not fit flash (2097152 bytes) at offset 2097149"},
        {flash, UINT64_MAX, file,
         file + " has 4 bytes: they do not fit flash (2097152 bytes) at offset 18446744073709551615"},
        {conf, 253, file, file + " has 4 bytes: they do not fit pcie_conf (256 bytes) at offset 253"},
        {flash, 0, lab.dir, lab.dir + " is not a regular file"},
        {flash, 0, lab.dir + "/missing", lab.dir + "/missing: No such file or directory"},
        {flash, 0, "/dev/null", "/dev/null is not a regular file"},
    };
    for (const auto& c : refused) {
        bridge_record fresh = make_bridge();
        const bool written = memory_written(fresh, c.memory.which);
        const std::vector<uint8_t> conf_before = space_bytes(fresh, lab_memory::pcie_conf);
        EXPECT_FALSE(memory_load_file(fresh, c.memory, c.offset, c.path, &error)) << c.path;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(memory_written(fresh, c.memory.which), written) << c.path;
        EXPECT_EQ(space_bytes(fresh, lab_memory::pcie_conf), conf_before) << c.path;
    }
}

}  // namespace
