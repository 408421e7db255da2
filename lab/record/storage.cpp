#include "lab/record/storage.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "lab/host/lab_dir.h"
#include "lab/host/lab_os.h"
#include "lab/model/nvme/nvme_store.h"
#include "lab/record/state.h"

namespace {

uint64_t flash_size(const bridge_record& record) { return record.params.flash_size; }
uint64_t led_size(const bridge_record&) { return k_led_memory_size; }
uint64_t nvme_pages_size(const bridge_record&) { return k_nvme_pages_size; }
uint64_t nvme_fw_size(const bridge_record&) { return k_nvme_fw_buffer_size; }
// One download buffer's size for each firmware slot the controller's FRMW reports.
uint64_t nvme_slots_size(const bridge_record& record) {
    return uint64_t{nvme_fw_slot_count(record)} * k_nvme_fw_buffer_size;
}
template <uint32_t Size>
uint64_t fixed_size(const bridge_record&) {
    return Size;
}
uint64_t media_size(const bridge_record& record) {
    return static_cast<uint64_t>(record.disk.capacity_sectors) * k_media_sector_size;
}

// THE table of memories, one row per value of lab_memory in its order.
const std::vector<lab_memory_row> k_memories = {
    {lab_memory::flash, "flash", "flash", flash_size, 0xFF, "memory"},
    {lab_memory::led, "led", "led", led_size, 0xFF, "memory"},
    {lab_memory::media, "media", "media", media_size, 0x00, "disk"},
    // The NVMe controller's pages (Identify, logs, features, tunnel; nvme_store.h) and its
    // firmware download buffer.
    {lab_memory::nvme, "nvme_pages", "nvme", nvme_pages_size, 0x00, "nvme"},
    {lab_memory::nvme_fw, "nvme_fw", "nvmefw", nvme_fw_size, 0x00, "nvme"},
    {lab_memory::pcie_conf, "pcie_conf", "pcie-conf", fixed_size<k_pcie_conf_size>, 0x00, "disk"},
    {lab_memory::pcie_bar0, "pcie_bar0", "pcie-bar0", fixed_size<k_pcie_bar0_size>, 0x00, "disk"},
    {lab_memory::smart_data, "smart_data", "smart", fixed_size<k_smart_data_size>, 0x00, "disk"},
    // The NVMe controller's committed firmware images, slot n at (n - 1) x the buffer's size.
    {lab_memory::nvme_slots, "nvme_slots", "nvmeslots", nvme_slots_size, 0x00, "nvme"},
};

const std::vector<lab_memory_area> k_areas = {
    {"flash_pg", lab_memory::flash, k_flash_pg_sector, k_flash_sector_size},
    {"cust_page", lab_memory::flash, k_flash_cust_page, k_cust_page_size},
    {"uuid_area", lab_memory::flash, k_flash_uuid_area, k_uuid_area_size},
};

// Pages of a record without a lab directory.
constexpr uint64_t k_page_size = 4096;
// Erased bytes written at a time when a write beyond a file's end fills the gap.
constexpr size_t k_fill_chunk = 64u << 10;

std::string memory_path(const bridge_record& record, lab_memory which) {
    return lab_bridge_file_path(record.memories.dir, record.id, memory_row(which).suffix);
}

bool read_pages(const bridge_record& record, lab_memory which, uint64_t offset, uint8_t* out, size_t length) {
    const uint8_t erased = memory_row(which).erased;
    size_t done = 0;
    while (done < length) {
        const uint64_t at = offset + done;
        const uint64_t page = at / k_page_size;
        const size_t in_page = static_cast<size_t>(at % k_page_size);
        const size_t count = std::min<size_t>(length - done, k_page_size - in_page);
        const auto found = record.memories.pages.find({static_cast<int>(which), page});
        if (found == record.memories.pages.end()) {
            std::memset(out + done, erased, count);
        } else {
            std::memcpy(out + done, found->second.data() + in_page, count);
        }
        done += count;
    }
    return true;
}

bool write_pages(bridge_record& record, lab_memory which, uint64_t offset, const uint8_t* data, size_t length) {
    const uint8_t erased = memory_row(which).erased;
    size_t done = 0;
    while (done < length) {
        const uint64_t at = offset + done;
        const size_t in_page = static_cast<size_t>(at % k_page_size);
        const size_t count = std::min<size_t>(length - done, k_page_size - in_page);
        std::vector<uint8_t>& page = record.memories.pages[{static_cast<int>(which), at / k_page_size}];
        if (page.empty()) page.assign(k_page_size, erased);
        std::memcpy(page.data() + in_page, data + done, count);
        done += count;
    }
    return true;
}

bool read_file(const bridge_record& record, lab_memory which, uint64_t offset, uint8_t* out, size_t length) {
    bool missing = false;
    lab_data_owner file(lab_data_open(memory_path(record, which), false, &missing));
    size_t got = 0;
    if (file.get() == nullptr && !missing) return false;
    if (file.get() != nullptr && !lab_data_read_at(file.get(), offset, out, length, &got)) return false;
    // Beyond the file's end the memory was never written.
    std::memset(out + got, memory_row(which).erased, length - got);
    return true;
}

// Bytes between the file's end and `offset` are written erased first, so that a memory
// whose erased value is not 0 never reads a hole's zeros; a memory erased to 0 is a
// sparse file of its whole size instead.
bool prepare_file(const bridge_record& record, lab_memory which, lab_data_file* file, uint64_t offset) {
    const uint8_t erased = memory_row(which).erased;
    if (erased == 0) return lab_data_extend(file, memory_size(record, which));
    uint64_t end = 0;
    if (!lab_data_size(file, &end)) return false;
    if (end >= offset) return true;
    const std::vector<uint8_t> fill(static_cast<size_t>(std::min<uint64_t>(k_fill_chunk, offset - end)), erased);
    while (end < offset) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(fill.size(), offset - end));
        if (!lab_data_write_at(file, end, fill.data(), count)) return false;
        end += count;
    }
    return true;
}

bool write_file(const bridge_record& record, lab_memory which, uint64_t offset, const uint8_t* data, size_t length) {
    lab_data_owner file(lab_data_open(memory_path(record, which), true, nullptr));
    if (file.get() == nullptr) return false;
    return prepare_file(record, which, file.get(), offset) && lab_data_write_at(file.get(), offset, data, length);
}

}  // namespace

const lab_memory_row& memory_row(lab_memory which) { return k_memories[static_cast<size_t>(which)]; }
const std::vector<lab_memory_row>& memory_rows() { return k_memories; }
const std::vector<lab_memory_area>& memory_areas() { return k_areas; }

const lab_memory_row* find_memory(const std::string& name) {
    for (const lab_memory_row& row : k_memories) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

uint64_t memory_size(const bridge_record& record, lab_memory which) { return memory_row(which).size(record); }

bool memory_range_ok(const bridge_record& record, lab_memory which, uint64_t offset, uint64_t length) {
    const uint64_t size = memory_size(record, which);
    return offset <= size && length <= size - offset;
}

bool memory_read(const bridge_record& record, lab_memory which, uint64_t offset, void* out, size_t length) {
    if (!memory_range_ok(record, which, offset, length)) return false;
    if (length == 0) return true;
    auto* bytes = static_cast<uint8_t*>(out);
    return record.memories.dir.empty() ? read_pages(record, which, offset, bytes, length)
                                       : read_file(record, which, offset, bytes, length);
}

bool memory_write(bridge_record& record, lab_memory which, uint64_t offset, const void* data, size_t length) {
    if (!memory_range_ok(record, which, offset, length)) return false;
    if (length == 0) return true;
    const auto* bytes = static_cast<const uint8_t*>(data);
    return record.memories.dir.empty() ? write_pages(record, which, offset, bytes, length)
                                       : write_file(record, which, offset, bytes, length);
}

std::string memory_file_name(const bridge_record& record, lab_memory which) {
    return lab_bridge_file_path("", record.id, memory_row(which).suffix).substr(1);
}

bool memory_erase(bridge_record& record, lab_memory which) {
    if (record.memories.dir.empty()) {
        std::erase_if(record.memories.pages,
                      [which](const auto& entry) { return entry.first.first == static_cast<int>(which); });
        return true;
    }
    std::error_code ec;
    std::filesystem::remove(memory_path(record, which), ec);
    return !ec;
}

bool memory_written(const bridge_record& record, lab_memory which) {
    if (record.memories.dir.empty()) {
        for (const auto& [key, page] : record.memories.pages) {
            if (key.first == static_cast<int>(which)) return true;
        }
        return false;
    }
    std::error_code ec;
    return std::filesystem::exists(memory_path(record, which), ec);
}
