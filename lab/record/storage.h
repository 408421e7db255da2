// A bridge's large memories: its flash, its LED memory, its disk's media.
//
// How to add a memory a family needs:
//  1. Add its name to `lab_memory` below (before `count`).
//  2. Add one row to k_memories in storage.cpp: the name `show NAME SECTION` takes, the
//     file suffix (bridges/ID.SUFFIX), its size (a function of the record, so that it may
//     follow a parameter), the value its bytes read before they are written, and the
//     `show NAME` section that lists it.
//  3. Serve it from the family's handlers with memory_read / memory_write; a false result
//     is an access outside the memory (or an I/O failure of the lab), which a handler
//     answers as the device answers an address it does not have (05/21/00 or 05/24/00).
// Nothing else changes: the file, `show NAME SECTION [OFFSET [LENGTH]]` and `fill` follow
// the row.
//
// Each memory of a lab bridge is a file of its own beside the settings file, read and
// written in place at the requested offsets under the bridge's lock. Bytes never written
// read as the erased value; a missing file reads as erased and is made on the first
// write. A memory whose erased value is 0x00 (the media) is a sparse file of the
// memory's full size, so a disk of 1 TB costs only the blocks written. Like real flash, a
// write killed half-way may be torn, but no other byte of the memory, of another memory
// or of the settings file changes.
//
// A record that is not in a lab directory (in-process model tests, fuzz targets) keeps
// its memories in memory: pages of the written ranges, erased elsewhere.
//
// The bridge flash, at flash offsets (write address 0x8C000000 + offset, read window
// 0xAC000000 + offset):
//   0x0000 - 0x1FFF   boot loader sectors (never written by the lab's families)
//   0x2000 - 0x27FF   UUID area: what the UUID-by-offset read (E2 96) reaches
//   0x3000 - 0x3FFF   customer page (E3 44 write, E2 C4 read)
//   0x4000 - 0x4FFF   configuration (PG) sector: image header and PG record
//   0x4000 and up     firmware areas: a firmware image's front part starts with its
//                     header at the PG sector; its rear part and the LED image area lie
//                     above, wherever the image headers put them
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct bridge_record;

enum class lab_memory { flash, led, media, nvme, nvme_fw, pcie_conf, pcie_bar0, smart_data, nvme_slots, count };

// Flash offsets of the areas the lab's device models serve.
constexpr uint64_t k_flash_uuid_area = 0x2000;
constexpr uint32_t k_uuid_area_size = 0x800;
constexpr uint64_t k_flash_cust_page = 0x3000;
constexpr uint32_t k_cust_page_size = 4096;
constexpr uint64_t k_flash_pg_sector = 0x4000;
constexpr uint32_t k_flash_sector_size = 4096;

// Bridge addresses of the flash: writes go to 0x8C000000 + offset, reads come from the
// window with bit 29 set.
constexpr uint32_t k_flash_write_base = 0x8C000000;
constexpr uint32_t k_flash_read_base = 0xAC000000;

// The flash size a bridge has unless `flash_size` says otherwise, and its limits: the
// smallest holds the areas above, the largest fits the read window below the register
// blocks.
constexpr uint32_t k_flash_size_default = 2u << 20;
constexpr uint32_t k_flash_size_min = 0x10000;
constexpr uint32_t k_flash_size_max = 0x4000000;

constexpr uint32_t k_led_memory_size = 16384;
// The disk's PCIe function (configuration space, BAR0) and a SATA disk's SMART data.
constexpr uint32_t k_pcie_conf_size = 256;
constexpr uint32_t k_pcie_bar0_size = 0x4000;
constexpr uint32_t k_smart_data_size = 512;
constexpr uint64_t k_media_sector_size = 512;
constexpr uint64_t k_nvme_pages_size = 16384;
constexpr uint64_t k_nvme_fw_buffer_size = 4u << 20;

struct lab_memory_row {
    lab_memory which;
    const char* name;    // `show NAME SECTION` and `fill` name it so
    const char* suffix;  // the file bridges/ID.SUFFIX
    uint64_t (*size)(const bridge_record&);
    uint8_t erased;       // what a byte never written reads
    const char* section;  // the `show NAME` section that lists it
};

// A named range of a memory that `show NAME SECTION` dumps by its own name.
struct lab_memory_area {
    const char* name;
    lab_memory which;
    uint64_t offset;
    uint64_t length;
};

// Where a record's memories live: the files of its lab directory, or (no directory)
// pages in memory. Not persisted; the lab sets the directory when it loads a record.
struct memory_home {
    std::string dir;
    std::map<std::pair<int, uint64_t>, std::vector<uint8_t>> pages;  // (memory, page) -> bytes
};

const lab_memory_row& memory_row(lab_memory which);
const std::vector<lab_memory_row>& memory_rows();
const std::vector<lab_memory_area>& memory_areas();
// The memory `show` or `fill` names, or null.
const lab_memory_row* find_memory(const std::string& name);

bool memory_read(const bridge_record& record, lab_memory which, uint64_t offset, void* out, size_t length);
bool memory_write(bridge_record& record, lab_memory which, uint64_t offset, const void* data, size_t length);
uint64_t memory_size(const bridge_record& record, lab_memory which);

// Erases a whole memory: it reads erased again and its file is gone (a format or sanitize
// of the disk's media). False when the file cannot be removed.
bool memory_erase(bridge_record& record, lab_memory which);

// True when the range lies inside the memory.
bool memory_range_ok(const bridge_record& record, lab_memory which, uint64_t offset, uint64_t length);

// The memory's file relative to the lab directory ("bridges/ID.flash"), and whether it
// holds anything yet (a file, or pages of a record without a lab).
std::string memory_file_name(const bridge_record& record, lab_memory which);
bool memory_written(const bridge_record& record, lab_memory which);
