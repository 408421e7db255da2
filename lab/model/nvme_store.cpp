#include "lab/model/nvme_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/cursor.h"
#include "lab/text.h"

using namespace zelko;

namespace {

// A plausible NVMe 1.4 controller: firmware download/commit and format (OACS), three
// firmware slots with activation without reset (FRMW), three power states, sanitize by
// block erase, overwrite and crypto erase.
constexpr uint16_t k_default_vid = 0x1F2A;
constexpr uint32_t k_default_ver = 0x00010400;
constexpr uint16_t k_default_oacs = 0x0006;
constexpr uint8_t k_default_frmw = 0x16;
constexpr uint8_t k_default_lpa = 0x0E;
constexpr uint16_t k_default_wctemp = 343;
constexpr uint16_t k_default_cctemp = 358;
constexpr uint32_t k_default_sanicap = 0x00000007;

// A media entry: the LBA (8 bytes) and the block.
constexpr size_t k_media_entry = 8 + k_nvme_block_len;

void put_text(write_cursor& out, size_t offset, size_t width, const std::string& text) {
    std::string padded = text.substr(0, width);
    padded.resize(width, ' ');
    out.bytes_at(offset, padded.data(), width);
}

std::vector<uint8_t> default_id_ctrl(const bridge_record& record) {
    const bridge_params& p = record.params;
    std::vector<uint8_t> page(k_nvme_page_len, 0);
    write_cursor out(page.data(), page.size());
    out.le16_at(0, k_default_vid);
    out.le16_at(2, k_default_vid);
    put_text(out, 4, 20, p.serial);
    put_text(out, 24, 40, p.model);
    put_text(out, 64, 8, p.firmware);
    out.u8_at(72, 2);                      // RAB
    out.u8_at(73, 0x4E);                   // IEEE OUI
    out.u8_at(74, 0x7A);
    out.u8_at(75, 0x02);
    out.u8_at(77, 7);                      // MDTS: 128 pages
    out.le16_at(78, 1);                    // CNTLID
    out.le32_at(k_idc_ver, k_default_ver);
    out.le32_at(84, 500000);               // RTD3R
    out.le32_at(88, 1000000);              // RTD3E
    out.le32_at(92, 0x00000200);           // OAES: firmware activation notices
    out.u8_at(111, 1);                     // CNTRLTYPE: I/O controller
    out.le16_at(256, k_default_oacs);
    out.u8_at(258, 3);                     // ACL
    out.u8_at(259, 3);                     // AERL
    out.u8_at(260, k_default_frmw);
    out.u8_at(261, k_default_lpa);
    out.u8_at(262, 63);                    // ELPE
    out.u8_at(k_idc_npss, 2);
    out.u8_at(265, 1);                     // APSTA
    out.le16_at(266, k_default_wctemp);
    out.le16_at(268, k_default_cctemp);
    out.le16_at(270, 50);                  // MTFA
    out.le32_at(328, k_default_sanicap);
    out.u8_at(512, 0x66);                  // SQES
    out.u8_at(513, 0x44);                  // CQES
    out.le16_at(514, 256);                 // MAXCMD
    out.le32_at(516, 1);                   // NN
    out.le16_at(520, 0x001F);              // ONCS
    out.u8_at(525, 0x07);                  // VWC present, flush with all namespaces
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
    const uint64_t blocks = static_cast<uint64_t>(record.params.capacity_sectors);
    out.le64_at(0, blocks);                // NSZE
    out.le64_at(8, blocks);                // NCAP
    out.le64_at(16, blocks);               // NUSE
    out.u8_at(25, 0);                      // NLBAF: one format
    out.u8_at(26, 0);                      // FLBAS: format 0
    out.u8_at(128 + 2, 9);                 // LBAF0: 512-byte blocks
    return page;
}

std::vector<uint8_t> default_smart() {
    std::vector<uint8_t> page(k_nvme_log_len, 0);
    write_cursor out(page.data(), page.size());
    out.le16_at(k_smart_temperature, 308);
    out.u8_at(3, 100);                     // available spare
    out.u8_at(4, 10);                      // spare threshold
    out.u8_at(5, 1);                       // percentage used
    out.le64_at(112, 12);                  // power cycles
    out.le64_at(128, 345);                 // power-on hours
    out.le64_at(144, 2);                   // unsafe shutdowns
    out.le16_at(200, 308);                 // sensor 1
    out.le16_at(202, 312);                 // sensor 2
    return page;
}

template <typename Record>
auto& page_of(Record& record, nvme_memory which) {
    switch (which) {
    case nvme_memory::id_ctrl: return record.state.nvme_id_ctrl;
    case nvme_memory::id_ns: return record.state.nvme_id_ns;
    case nvme_memory::smart: return record.state.nvme_smart;
    case nvme_memory::media: break;
    }
    return record.state.nvme_media;
}

// A page as the controller holds it: built from the disk's settings while never set.
std::vector<uint8_t> current_page(const bridge_record& record, nvme_memory which) {
    const std::vector<uint8_t>& page = page_of(record, which);
    if (!page.empty()) return page;
    if (which == nvme_memory::id_ctrl) return default_id_ctrl(record);
    if (which == nvme_memory::id_ns) return default_id_ns(record);
    return default_smart();
}

// The page for a change: from then on it is held as it stands.
std::vector<uint8_t>& held_page(bridge_record& record, nvme_memory which) {
    std::vector<uint8_t>& page = page_of(record, which);
    if (page.empty()) page = current_page(record, which);
    return page;
}

bool inside(uint64_t offset, size_t length, uint64_t size) { return offset <= size && length <= size - offset; }

// The entry of a written block, or null.
uint8_t* media_block(std::vector<uint8_t>& media, uint64_t lba) {
    for (size_t at = 0; at + k_media_entry <= media.size(); at += k_media_entry) {
        if (get_le64(&media[at]) == lba) return &media[at + 8];
    }
    return nullptr;
}

// Reads into `out`, or writes from `in` when `out` is null.
bool media_access(bridge_record& record, uint64_t offset, uint8_t* out, const uint8_t* in, size_t length) {
    if (!inside(offset, length, nvme_memory_size(record, nvme_memory::media))) return false;
    std::vector<uint8_t>& media = record.state.nvme_media;
    while (length != 0) {
        const uint64_t lba = offset / k_nvme_block_len;
        const size_t within = static_cast<size_t>(offset % k_nvme_block_len);
        const size_t count = std::min<size_t>(length, k_nvme_block_len - within);
        uint8_t* block = media_block(media, lba);
        if (out != nullptr) {
            if (block != nullptr) {
                std::memcpy(out, block + within, count);
            } else {
                for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(record.state.nvme_media_fill >> (8 * ((within + i) % 4)));
            }
            out += count;
        } else {
            if (block == nullptr) {
                if (media.size() + k_media_entry > k_nvme_media_max_bytes) return false;
                const size_t at = media.size();
                media.resize(at + k_media_entry, 0);
                put_le64(&media[at], lba);
                block = &media[at + 8];
            }
            std::memcpy(block + within, in, count);
            in += count;
        }
        offset += count;
        length -= count;
    }
    return true;
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

bool set_smart_u8_or_u16(bridge_record& record, const std::string& value, std::string* error, size_t offset,
                         uint32_t max, const char* key) {
    uint32_t number = 0;
    if (!parse_u32(value, &number) || number > max) {
        *error = std::string(key) + " needs a number up to " + std::to_string(max);
        return false;
    }
    std::vector<uint8_t>& page = held_page(record, nvme_memory::smart);
    if (max > 0xFF) {
        put_le16(&page[offset], static_cast<uint16_t>(number));
    } else {
        page[offset] = static_cast<uint8_t>(number);
    }
    return true;
}

std::vector<std::string> no_lines(const bridge_record&) { return {}; }
bool no_decode(bridge_record&, const std::string&, std::string* error) {
    *error = "kept in the SMART log";
    return false;
}

std::string show_temperature(const bridge_record& record) {
    return std::to_string(get_le16(&current_page(record, nvme_memory::smart)[k_smart_temperature])) + " K";
}
std::string show_warning(const bridge_record& record) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", current_page(record, nvme_memory::smart)[k_smart_warning]);
    return text;
}
bool set_temperature(bridge_record& record, const std::string& value, std::string* error) {
    return set_smart_u8_or_u16(record, value, error, k_smart_temperature, 0xFFFF, "nvme_temperature");
}
bool set_warning(bridge_record& record, const std::string& value, std::string* error) {
    return set_smart_u8_or_u16(record, value, error, k_smart_warning, 0xFF, "nvme_critical_warning");
}

}  // namespace

const custom_field k_nvme_temperature_field{no_lines, no_decode, show_temperature, set_temperature};
const custom_field k_nvme_warning_field{no_lines, no_decode, show_warning, set_warning};

uint64_t nvme_memory_size(const bridge_record& record, nvme_memory which) {
    switch (which) {
    case nvme_memory::id_ctrl:
    case nvme_memory::id_ns: return k_nvme_page_len;
    case nvme_memory::smart: return k_nvme_log_len;
    case nvme_memory::media: break;
    }
    return static_cast<uint64_t>(record.params.capacity_sectors) * k_nvme_block_len;
}

bool nvme_memory_read(bridge_record& record, nvme_memory which, uint64_t offset, void* out, size_t length) {
    if (which == nvme_memory::media) return media_access(record, offset, static_cast<uint8_t*>(out), nullptr, length);
    if (!inside(offset, length, nvme_memory_size(record, which))) return false;
    if (length != 0) std::memcpy(out, current_page(record, which).data() + offset, length);
    return true;
}

bool nvme_memory_write(bridge_record& record, nvme_memory which, uint64_t offset, const void* data, size_t length) {
    if (!inside(offset, length, nvme_memory_size(record, which))) return false;
    record.dirty = true;
    if (which == nvme_memory::media) {
        return media_access(record, offset, nullptr, static_cast<const uint8_t*>(data), length);
    }
    if (length != 0) std::memcpy(held_page(record, which).data() + offset, data, length);
    return true;
}

bool nvme_load_file(bridge_record& record, nvme_memory which, const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const uint64_t size = nvme_memory_size(record, which);
    if (which == nvme_memory::media || bytes.size() != size) {
        *error = path + " is not a " + std::to_string(size) + "-byte page";
        return false;
    }
    return nvme_memory_write(record, which, 0, bytes.data(), bytes.size());
}

void nvme_media_erase(bridge_record& record, uint32_t pattern) {
    record.state.nvme_media.clear();
    record.state.nvme_media_fill = pattern;
    record.dirty = true;
}

void nvme_power_on(bridge_record& record) {
    bridge_live& s = record.state;
    if (s.nvme_fw_pending != 0) s.nvme_fw_active = s.nvme_fw_pending;
    s.nvme_fw_pending = 0;
    s.nvme_entry.clear();
    s.nvme_completion.assign(16, 0);
    s.nvme_power_state = 0;
    s.nvme_apst = 1;
    s.nvme_cmd_timeout = 30;
    s.nvme_aspm = 1;
    record.dirty = true;
}

void nvme_count_io(bridge_record& record, bool write, uint64_t blocks) {
    std::vector<uint8_t>& page = held_page(record, nvme_memory::smart);
    add_le128(page, write ? 48 : 32, (blocks + 999) / 1000);
    add_le128(page, write ? 80 : 64, 1);
    record.dirty = true;
}

void print_nvme_summary(const bridge_record& record) {
    const std::vector<uint8_t> ctrl = current_page(record, nvme_memory::id_ctrl);
    const std::vector<uint8_t> ns = current_page(record, nvme_memory::id_ns);
    const std::vector<uint8_t> smart = current_page(record, nvme_memory::smart);
    const bridge_live& s = record.state;
    const uint32_t ver = get_le32(&ctrl[k_idc_ver]);
    std::printf("  identify %s\n", s.nvme_id_ctrl.empty() ? "from the disk settings" : "as loaded");
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
    std::printf("  smart: critical warning 0x%02X, temperature %u K, data units read %llu, written %llu, "
                "read commands %llu, write commands %llu\n",
                smart[k_smart_warning], get_le16(&smart[k_smart_temperature]),
                static_cast<unsigned long long>(get_le64(&smart[32])), static_cast<unsigned long long>(get_le64(&smart[48])),
                static_cast<unsigned long long>(get_le64(&smart[64])), static_cast<unsigned long long>(get_le64(&smart[80])));
    std::printf("  media: %zu blocks written\n", s.nvme_media.size() / k_media_entry);
    std::printf("  tunnel: %s\n", s.nvme_entry.empty() ? "idle" : "an entry waits for its data phase");
}
