#include "lab/model/nvme/nvme_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "zelko/common/cursor.h"
#include "lab/host/lab_files.h"
#include "lab/model/nvme/pcie_function.h"
#include "lab/record/text.h"

using namespace zelko;

namespace {

// A plausible NVMe 1.4 controller: firmware download/commit and format (OACS), three
// firmware slots with activation without reset (FRMW), three power states, sanitize by
// block erase, overwrite and crypto erase.
constexpr uint32_t k_default_ver = 0x00010400;
constexpr uint16_t k_default_oacs = 0x0006;
constexpr uint8_t k_default_frmw = 0x16;
constexpr uint8_t k_default_lpa = 0x0E;
constexpr uint16_t k_default_wctemp = 343;
constexpr uint16_t k_default_cctemp = 358;
constexpr uint32_t k_default_sanicap = 0x00000007;

void put_text(write_cursor& out, size_t offset, size_t width, const std::string& text) {
    std::string padded = text.substr(0, width);
    padded.resize(width, ' ');
    out.bytes_at(offset, padded.data(), width);
}

std::vector<uint8_t> default_id_ctrl(const bridge_record& record) {
    const disk_state& p = record.disk;
    std::vector<uint8_t> page(k_nvme_page_len, 0);
    write_cursor out(page.data(), page.size());
    out.le16_at(0, k_nvme_disk_vendor_id);  // VID and SSVID: the PCIe function's vendor
    out.le16_at(2, k_nvme_disk_vendor_id);
    put_text(out, 4, 20, p.serial);
    put_text(out, 24, 40, p.model);
    put_text(out, 64, 8, p.firmware);
    out.u8_at(72, 2);     // RAB
    out.u8_at(73, 0x4E);  // IEEE OUI
    out.u8_at(74, 0x7A);
    out.u8_at(75, 0x02);
    out.u8_at(77, 7);    // MDTS: 128 pages
    out.le16_at(78, 1);  // CNTLID
    out.le32_at(k_idc_ver, k_default_ver);
    out.le32_at(84, 500000);      // RTD3R
    out.le32_at(88, 1000000);     // RTD3E
    out.le32_at(92, 0x00000200);  // OAES: firmware activation notices
    out.u8_at(111, 1);            // CNTRLTYPE: I/O controller
    out.le16_at(256, k_default_oacs);
    out.u8_at(258, 3);  // ACL
    out.u8_at(259, 3);  // AERL
    out.u8_at(260, k_default_frmw);
    out.u8_at(261, k_default_lpa);
    out.u8_at(262, 63);  // ELPE
    out.u8_at(k_idc_npss, 2);
    out.u8_at(265, 1);  // APSTA
    out.le16_at(266, k_default_wctemp);
    out.le16_at(268, k_default_cctemp);
    out.le16_at(270, 50);  // MTFA
    out.le32_at(328, k_default_sanicap);
    out.u8_at(512, 0x66);      // SQES
    out.u8_at(513, 0x44);      // CQES
    out.le16_at(514, 256);     // MAXCMD
    out.le32_at(516, 1);       // NN
    out.le16_at(520, 0x001F);  // ONCS
    out.u8_at(525, 0x07);      // VWC present, flush with all namespaces
    std::string subnqn = "nqn.2024-06.com.morvelt.lab:" + p.serial;
    out.bytes_at(768, subnqn.data(), std::min<size_t>(subnqn.size(), 256));
    // Power states: 8.25 W, 5.5 W operational; 50 mW non-operational.
    const struct {
        uint16_t mp;
        uint8_t flags;
        uint32_t enlat;
        uint32_t exlat;
    } states[] = {{825, 0, 0, 0}, {550, 0, 0, 0}, {500, 0x03, 5000, 10000}};
    for (size_t n = 0; n < 3; ++n) {
        const size_t at = 2048 + 32 * n;
        out.le16_at(at, states[n].mp);
        out.u8_at(at + 3, states[n].flags);
        out.le32_at(at + 4, states[n].enlat);
        out.le32_at(at + 8, states[n].exlat);
        out.u8_at(at + 12, static_cast<uint8_t>(n));
        out.u8_at(at + 13, static_cast<uint8_t>(n));
        out.u8_at(at + 14, static_cast<uint8_t>(n));
        out.u8_at(at + 15, static_cast<uint8_t>(n));
    }
    return page;
}

std::vector<uint8_t> default_id_ns(const bridge_record& record) {
    std::vector<uint8_t> page(k_nvme_page_len, 0);
    write_cursor out(page.data(), page.size());
    const uint64_t blocks = static_cast<uint64_t>(record.disk.capacity_sectors);
    out.le64_at(0, blocks);   // NSZE
    out.le64_at(8, blocks);   // NCAP
    out.le64_at(16, blocks);  // NUSE
    out.u8_at(25, 0);         // NLBAF: one format
    out.u8_at(26, 0);         // FLBAS: format 0
    out.u8_at(128 + 2, 9);    // LBAF0: 512-byte blocks
    return page;
}

std::vector<uint8_t> default_smart() {
    std::vector<uint8_t> page(k_nvme_log_len, 0);
    write_cursor out(page.data(), page.size());
    out.le16_at(k_smart_temperature, 308);
    out.u8_at(3, 100);      // available spare
    out.u8_at(4, 10);       // spare threshold
    out.u8_at(5, 1);        // percentage used
    out.le64_at(112, 12);   // power cycles
    out.le64_at(128, 345);  // power-on hours
    out.le64_at(144, 2);    // unsafe shutdowns
    out.le16_at(200, 308);  // sensor 1
    out.le16_at(202, 312);  // sensor 2
    return page;
}

// Where each part lives: its memory, its offset there, its size (0: the memory's), and
// the bit of nvme_held that says it is held as bytes (0: always held).
struct place {
    lab_memory memory;
    uint64_t base;
    uint64_t size;
    uint32_t held_bit;
};

place place_of(nvme_memory which) {
    switch (which) {
        case nvme_memory::id_ctrl: return {lab_memory::nvme, 0, k_nvme_page_len, 1};
        case nvme_memory::id_ns: return {lab_memory::nvme, 4096, k_nvme_page_len, 2};
        case nvme_memory::smart: return {lab_memory::nvme, 8192, k_nvme_log_len, 4};
        case nvme_memory::apst_table: return {lab_memory::nvme, 8704, k_nvme_apst_len, 0};
        case nvme_memory::entry: return {lab_memory::nvme, 8960, k_nvme_entry_len, 0};
        case nvme_memory::completion: return {lab_memory::nvme, 9024, k_nvme_completion_len, 0};
        // 9040 to 9095 held the slots' revisions before the slots held whole images.
        case nvme_memory::fw_slot_lengths: return {lab_memory::nvme, 9096, 4 * k_nvme_fw_slot_count, 0};
        case nvme_memory::media: return {lab_memory::media, 0, 0, 0};
        case nvme_memory::fw_slots: return {lab_memory::nvme_slots, 0, 0, 0};
        case nvme_memory::fw_buffer: break;
    }
    return {lab_memory::nvme_fw, 0, 0, 0};
}

std::vector<uint8_t> default_page(const bridge_record& record, nvme_memory which) {
    if (which == nvme_memory::id_ctrl) return default_id_ctrl(record);
    if (which == nvme_memory::id_ns) return default_id_ns(record);
    return default_smart();
}

bool held(const bridge_record& record, const place& p) {
    return p.held_bit == 0 || (record.nvme.held & p.held_bit) != 0;
}

bool inside(uint64_t offset, size_t length, uint64_t size) { return offset <= size && length <= size - offset; }

// A 32-bit mix of a key and a word's index: what a block encrypted with a key that is gone
// reads as.
uint32_t key_noise(uint32_t key, uint64_t word) {
    uint64_t x = (uint64_t{key} << 32) ^ (word * 0x9E3779B97F4A7C15ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<uint32_t>(x);
}

// After a sanitize, blocks that hold only zeros read as what it left: the pattern of an
// overwrite, or after a crypto erase the noise of data whose key was replaced.
void apply_media_fill(const bridge_record& record, uint64_t offset, uint8_t* out, size_t length) {
    const uint32_t fill = record.nvme.media_fill;
    const uint32_t key = record.nvme.media_key;
    if (fill == 0 && key == 0) return;
    size_t done = 0;
    while (done < length) {
        const uint64_t at = offset + done;
        const size_t count = std::min<size_t>(length - done, k_nvme_block_len - at % k_nvme_block_len);
        if (std::all_of(out + done, out + done + count, [](uint8_t b) { return b == 0; })) {
            for (size_t i = 0; i < count; ++i) {
                const uint32_t word = key != 0 ? key_noise(key, (at + i) / 4) : fill;
                out[done + i] = static_cast<uint8_t>(word >> (8 * ((at + i) % 4)));
            }
        }
        done += count;
    }
}

void add_le128(std::vector<uint8_t>& page, size_t offset, uint64_t amount) {
    const uint64_t low = get_le64(&page[offset]);
    put_le64(&page[offset], low + amount);
    if (low + amount < low) put_le64(&page[offset + 8], get_le64(&page[offset + 8]) + 1);
}

std::string text_at(const std::vector<uint8_t>& page, size_t offset, size_t width) {
    std::string text(reinterpret_cast<const char*>(&page[offset]), width);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

bool set_smart_byte(bridge_record& record, const std::string& value, std::string* error, size_t offset, uint32_t max,
                    const char* key) {
    uint32_t number = 0;
    if (!parse_u32(value, &number) || number > max) {
        *error = std::string(key) + " needs a number up to " + std::to_string(max);
        return false;
    }
    uint8_t bytes[2];
    put_le16(bytes, static_cast<uint16_t>(number));
    return nvme_memory_write(record, nvme_memory::smart, offset, bytes, max > 0xFF ? 2 : 1);
}

std::vector<std::string> no_lines(const bridge_record&) { return {}; }
bool no_decode(bridge_record&, const std::string&, std::string* error) {
    *error = "kept in the SMART log";
    return false;
}

std::vector<uint8_t> smart_of(const bridge_record& record) {
    std::vector<uint8_t> page(k_nvme_log_len);
    nvme_memory_read(record, nvme_memory::smart, 0, page.data(), page.size());
    return page;
}
std::string show_temperature(const bridge_record& record) {
    return std::to_string(get_le16(&smart_of(record)[k_smart_temperature])) + " K";
}
std::string show_warning(const bridge_record& record) { return hex_number(smart_of(record)[k_smart_warning], 2); }
bool set_temperature(bridge_record& record, const std::string& value, std::string* error) {
    return set_smart_byte(record, value, error, k_smart_temperature, 0xFFFF, "nvme_temperature");
}
bool set_warning(bridge_record& record, const std::string& value, std::string* error) {
    return set_smart_byte(record, value, error, k_smart_warning, 0xFF, "nvme_critical_warning");
}

}  // namespace

const custom_field k_nvme_temperature_field{no_lines, no_decode, show_temperature, set_temperature};
const custom_field k_nvme_warning_field{no_lines, no_decode, show_warning, set_warning};

uint64_t nvme_memory_size(const bridge_record& record, nvme_memory which) {
    const place p = place_of(which);
    return p.size != 0 ? p.size : memory_size(record, p.memory);
}

bool nvme_memory_read(const bridge_record& record, nvme_memory which, uint64_t offset, void* out, size_t length) {
    const place p = place_of(which);
    if (!inside(offset, length, nvme_memory_size(record, which))) return false;
    if (!held(record, p)) {
        const std::vector<uint8_t> page = default_page(record, which);
        if (length != 0) std::memcpy(out, page.data() + offset, length);
        return true;
    }
    if (!memory_read(record, p.memory, p.base + offset, out, length)) return false;
    if (which == nvme_memory::media) apply_media_fill(record, offset, static_cast<uint8_t*>(out), length);
    return true;
}

// A page built from the disk's settings is stored whole before its first change.
bool nvme_memory_write(bridge_record& record, nvme_memory which, uint64_t offset, const void* data, size_t length) {
    const place p = place_of(which);
    if (!inside(offset, length, nvme_memory_size(record, which))) return false;
    if (!held(record, p)) {
        const std::vector<uint8_t> page = default_page(record, which);
        if (!memory_write(record, p.memory, p.base, page.data(), page.size())) return false;
        record.nvme.held |= p.held_bit;
    }
    record.dirty = true;
    return memory_write(record, p.memory, p.base + offset, data, length);
}

uint32_t nvme_fw_slot_count(const bridge_record& record) {
    uint8_t frmw = 0;
    nvme_memory_read(record, nvme_memory::id_ctrl, k_idc_frmw, &frmw, 1);
    return (frmw >> 1) & 0x7;
}

uint32_t nvme_fw_slot_length(const bridge_record& record, uint32_t slot) {
    uint8_t bytes[4] = {};
    if (slot == 0 || slot > k_nvme_fw_slot_count ||
        !nvme_memory_read(record, nvme_memory::fw_slot_lengths, uint64_t{slot - 1} * 4, bytes, sizeof bytes)) {
        return 0;
    }
    return get_le32(bytes);
}

std::vector<uint8_t> nvme_page(bridge_record& record, nvme_memory which) {
    std::vector<uint8_t> page(static_cast<size_t>(place_of(which).size));
    nvme_memory_read(record, which, 0, page.data(), page.size());
    return page;
}

bool nvme_load_file(bridge_record& record, nvme_memory which, const std::string& path, std::string* error) {
    const uint64_t size = nvme_memory_size(record, which);
    const std::string what = "a " + std::to_string(size) + "-byte page";
    std::vector<uint8_t> bytes;
    if (!lab_read_exact_file(path, size, what, &bytes, error)) return false;
    if (place_of(which).held_bit == 0) {
        *error = path + " is not " + what;
        return false;
    }
    return nvme_memory_write(record, which, 0, bytes.data(), bytes.size());
}

void nvme_media_erase(bridge_record& record, uint32_t pattern) {
    memory_erase(record, lab_memory::media);
    record.nvme.media_fill = pattern;
    record.nvme.media_key = 0;
    record.dirty = true;
}

void nvme_media_crypto_erase(bridge_record& record) {
    const uint32_t old_key = record.nvme.media_key;
    nvme_media_erase(record, 0);
    const uint32_t key = key_noise(old_key, static_cast<uint64_t>(record.nvme.sanitize_start_ms) + 1);
    record.nvme.media_key = key != 0 ? key : 1;
}

void nvme_entry_clear(nvme_state& s) {
    s.entry_waiting = 0;
    s.entry_host = 0;
    s.entry_since_ms = 0;
}

void nvme_power_on(bridge_record& record) {
    nvme_state& s = record.nvme;
    if (s.fw_pending != 0) s.fw_active = s.fw_pending;
    s.fw_pending = 0;
    nvme_entry_clear(s);
    s.power_state = 0;
    s.apst = 1;
    s.cmd_timeout = 30;
    s.aspm = 1;
    record.dirty = true;
}

void nvme_count_io(bridge_record& record, bool write, uint64_t blocks) {
    std::vector<uint8_t> page = nvme_page(record, nvme_memory::smart);
    add_le128(page, write ? 48 : 32, (blocks + 999) / 1000);
    add_le128(page, write ? 80 : 64, 1);
    nvme_memory_write(record, nvme_memory::smart, 0, page.data(), page.size());
}

void print_nvme_summary(bridge_record& record) {
    const std::vector<uint8_t> ctrl = nvme_page(record, nvme_memory::id_ctrl);
    const std::vector<uint8_t> ns = nvme_page(record, nvme_memory::id_ns);
    const std::vector<uint8_t> smart = nvme_page(record, nvme_memory::smart);
    const nvme_state& s = record.nvme;
    const uint32_t ver = get_le32(&ctrl[k_idc_ver]);
    std::printf("  identify %s\n", (s.held & 1) == 0 ? "from the disk settings" : "as loaded");
    std::printf("  vid 0x%04X\n", get_le16(&ctrl[0]));
    std::printf("  sn \"%s\"\n", text_at(ctrl, 4, 20).c_str());
    std::printf("  mn \"%s\"\n", text_at(ctrl, 24, 40).c_str());
    std::printf("  fr \"%s\"\n", text_at(ctrl, 64, 8).c_str());
    std::printf("  ver %u.%u.%u\n", ver >> 16, (ver >> 8) & 0xFF, ver & 0xFF);
    std::printf("  oacs 0x%04X frmw 0x%02X lpa 0x%02X npss %u\n", get_le16(&ctrl[256]), ctrl[260], ctrl[261],
                ctrl[k_idc_npss]);
    std::printf("  wctemp %u K cctemp %u K sanicap 0x%08X\n", get_le16(&ctrl[266]), get_le16(&ctrl[268]),
                get_le32(&ctrl[328]));
    std::printf("  namespace 1: %llu blocks of %u bytes\n", static_cast<unsigned long long>(get_le64(&ns[0])),
                1u << (ns[128 + 4 * (ns[26] & 0x0F) + 2] & 31));
    std::printf(
        "  smart: critical warning 0x%02X, temperature %u K, data units read %llu, written %llu, "
        "read commands %llu, write commands %llu\n",
        smart[k_smart_warning], get_le16(&smart[k_smart_temperature]),
        static_cast<unsigned long long>(get_le64(&smart[32])), static_cast<unsigned long long>(get_le64(&smart[48])),
        static_cast<unsigned long long>(get_le64(&smart[64])), static_cast<unsigned long long>(get_le64(&smart[80])));
    for (uint32_t slot = 1; slot <= nvme_fw_slot_count(record); ++slot) {
        const uint32_t length = nvme_fw_slot_length(record, slot);
        char revision[k_nvme_fw_revision_len + 1] = {};
        if (length >= k_nvme_fw_revision_len) {
            nvme_memory_read(record, nvme_memory::fw_slots, uint64_t{slot - 1} * k_nvme_fw_buffer_size, revision,
                             k_nvme_fw_revision_len);
        }
        std::printf(
            "  firmware slot %u: %s%s%s\n", slot,
            length == 0 ? (slot == 1 ? "the disk's own firmware" : "empty")
                        : (std::to_string(length) + " bytes, revision \"" + escape_text(revision) + "\"").c_str(),
            (ctrl[k_idc_frmw] & 1) != 0 && slot == 1 ? ", read-only" : "", slot == s.fw_active ? ", running" : "");
    }
    std::printf("  tunnel: %s\n", s.entry_waiting == 0 ? "idle" : "an entry waits for its data phase");
}
