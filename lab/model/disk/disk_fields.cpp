#include "lab/model/disk/disk_fields.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lab/model/disk/ata.h"
#include "lab/model/disk/disk_spaces.h"
#include "lab/model/nvme/pcie_function.h"
#include "lab/host/lab_files.h"
#include "lab/record/text.h"

namespace {

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

void store(bridge_record& record, lab_memory which, const std::vector<uint8_t>& bytes) {
    space_write(record, which, 0, bytes.data(), bytes.size());
}

std::vector<std::string> no_lines(const bridge_record&) { return {}; }
bool no_header_line(bridge_record&, const std::string&, std::string* error) {
    return fail(error, "kept in the disk's memories, not in a header line");
}

// --- the link registers --------------------------------------------------------------

enum class link_part { max_gen, max_width, gen, width };

template <link_part Part>
std::string show_link(const bridge_record& record) {
    const pcie_link link = link_of(space_bytes(record, lab_memory::pcie_conf));
    switch (Part) {
        case link_part::max_gen: return std::to_string(link.max_gen);
        case link_part::max_width: return std::to_string(link.max_width);
        case link_part::gen: return std::to_string(link.gen);
        case link_part::width: return std::to_string(link.width);
    }
    return "";
}

template <link_part Part>
bool set_link(bridge_record& record, const std::string& value, std::string* error) {
    uint32_t number = 0;
    const bool is_gen = Part == link_part::max_gen || Part == link_part::gen;
    if (!parse_u32(value, &number) || (is_gen ? number < 1 || number > k_link_max_gen : !link_width_valid(number))) {
        return fail(error, is_gen ? "a link generation is 1 to " + std::to_string(k_link_max_gen)
                                  : std::string("a link width is 1, 2, 4, 8, 12, 16 or 32"));
    }
    std::vector<uint8_t> conf = space_bytes(record, lab_memory::pcie_conf);
    pcie_link link = link_of(conf);
    switch (Part) {
        case link_part::max_gen:
            link.max_gen = number;
            link.gen = std::min(link.gen, number);
            break;
        case link_part::max_width:
            link.max_width = number;
            link.width = std::min(link.width, number);
            break;
        case link_part::gen:
            if (number > link.max_gen)
                return fail(error, "the link trains at most to generation " + std::to_string(link.max_gen));
            link.gen = number;
            break;
        case link_part::width:
            if (number > link.max_width)
                return fail(error, "the link has at most " + std::to_string(link.max_width) + " lanes");
            link.width = number;
            break;
    }
    put_link(conf, link);
    store(record, lab_memory::pcie_conf, conf);
    return true;
}

template <link_part Part>
constexpr custom_field link_field() {
    return {no_lines, no_header_line, show_link<Part>, set_link<Part>};
}

// --- SMART data ----------------------------------------------------------------------

std::string show_smart_attributes(const bridge_record& record) {
    std::string out;
    for (const smart_attribute& a : smart_attributes(space_bytes(record, lab_memory::smart_data))) {
        char text[96];
        std::snprintf(text, sizeof text, "%s0x%02X %u/%u raw 0x%llX threshold %u", out.empty() ? "" : "; ", a.id,
                      a.current, a.worst, static_cast<unsigned long long>(a.raw), a.threshold);
        out += text;
    }
    return out.empty() ? "none" : out;
}

bool byte_value(const std::string& text, uint8_t* value) {
    uint32_t number = 0;
    if (!parse_u32(text, &number) || number > 0xFF) return false;
    *value = static_cast<uint8_t>(number);
    return true;
}

bool set_smart_attribute(bridge_record& record, const std::string& value, std::string* error) {
    const std::vector<std::string> words = split_words(value);
    const std::string usage = "smart_attribute is \"ID CURRENT WORST RAW [THRESHOLD]\" or \"ID none\"";
    smart_attribute a;
    if (words.empty() || !byte_value(words[0], &a.id) || a.id == 0) return fail(error, usage);
    std::vector<uint8_t> smart = space_bytes(record, lab_memory::smart_data);
    if (words.size() == 2 && words[1] == "none") {
        if (!smart_remove_attribute(smart, a.id)) return fail(error, "no attribute " + words[0]);
        store(record, lab_memory::smart_data, smart);
        return true;
    }
    int64_t raw = 0;
    if ((words.size() != 4 && words.size() != 5) || !byte_value(words[1], &a.current) ||
        !byte_value(words[2], &a.worst) || !parse_i64(words[3], &raw) || raw < 0 || raw > 0xFFFFFFFFFFFFll ||
        (words.size() == 5 && !byte_value(words[4], &a.threshold))) {
        return fail(error, usage);
    }
    a.raw = static_cast<uint64_t>(raw);
    if (!smart_put_attribute(smart, a)) return fail(error, "all 30 attribute slots are in use");
    store(record, lab_memory::smart_data, smart);
    return true;
}

std::string show_smart_file(const bridge_record& record) {
    const std::vector<uint8_t> smart = space_bytes(record, lab_memory::smart_data);
    char text[64];
    std::snprintf(text, sizeof text, "version 0x%02X%02X, checksum %s", smart[1], smart[0],
                  smart_checksum(smart) == smart[k_smart_checksum] ? "good" : "bad");
    return text;
}

// Only a regular file: a device node or a pipe could give endless bytes or none at all.
bool load_smart_file(bridge_record& record, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!lab_read_exact_file(path, k_smart_data_size, "512 bytes of SMART data", &bytes, error)) return false;
    store(record, lab_memory::smart_data, bytes);
    return true;
}

// --- SET FEATURES received -----------------------------------------------------------

std::vector<std::string> encode_features(const bridge_record& record) {
    const std::vector<uint8_t>& kept = record.disk.ata_features;
    if (kept.empty()) return {};
    return {hex_bytes(kept.data(), kept.size())};
}

bool decode_features(bridge_record& record, const std::string& value, std::string* error) {
    std::vector<uint8_t> kept;
    if (!parse_hex_pairs(value, &kept)) return fail(error, "ata_features takes hex pairs");
    if (kept.size() % 2 != 0 || kept.size() > 2 * k_set_features_kept) {
        return fail(error, "ata_features holds up to " + std::to_string(k_set_features_kept) + " byte pairs");
    }
    record.disk.ata_features = kept;
    return true;
}

std::string show_features(const bridge_record& record) {
    const std::vector<uint8_t>& kept = record.disk.ata_features;
    std::string out;
    for (size_t i = 0; i + 1 < kept.size(); i += 2) {
        const char* name = set_features_name(kept[i]);
        char text[80];
        std::snprintf(text, sizeof text, "%s0x%02X %s, count 0x%02X", out.empty() ? "" : "; ", kept[i],
                      name != nullptr ? name : "(unknown)", kept[i + 1]);
        out += text;
    }
    return out.empty() ? "none received" : out;
}

}  // namespace

constinit const custom_field k_pcie_max_gen_field = link_field<link_part::max_gen>();
constinit const custom_field k_pcie_max_width_field = link_field<link_part::max_width>();
constinit const custom_field k_pcie_gen_field = link_field<link_part::gen>();
constinit const custom_field k_pcie_width_field = link_field<link_part::width>();
constinit const custom_field k_smart_attribute_field = {no_lines, no_header_line, show_smart_attributes,
                                                        set_smart_attribute};
constinit const custom_field k_smart_file_field = {no_lines, no_header_line, show_smart_file, load_smart_file};
constinit const custom_field k_ata_features_field = {encode_features, decode_features, show_features, nullptr};

namespace {

template <auto Member>
constexpr auto* disk = &field_of<&bridge_record::disk, Member>;

using D = disk_state;

}  // namespace

const char* const k_disk_kind_names[] = {"nvme", "sata", "none", nullptr};

std::span<const persisted_field> disk_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"disk",                "disk",     true,  choice_field{disk<&D::kind>, k_disk_kind_names}},
        {"disk_state",          "disk",     true,  u32_field{disk<&D::state>, false, k_u32}},
        {"pcie_link",           "disk",     true,  u32_field{disk<&D::pcie_link>, false, k_u32}},
        {"model",               "disk",     true,  text_field{disk<&D::model>, 0, 40, nullptr}},
        {"serial",              "disk",     true,  text_field{disk<&D::serial>, 0, 20, nullptr}},
        {"firmware",            "disk",     true,  text_field{disk<&D::firmware>, 0, 8, nullptr}},
        {"capacity_sectors",    "disk",     true,  i64_field{disk<&D::capacity_sectors>, 0, 0xFFFFFFFFFFFFll}},
        {"security_status",     "disk",     true,  u32_field{disk<&D::security_status>, true, k_u16}},
        {"master_password_id",  "disk",     true,  u32_field{disk<&D::master_password_id>, true, k_u16}},
        {"erase_time",          "disk",     true,  u32_field{disk<&D::erase_time>, true, k_u16}},
        {"enhanced_erase_time", "disk",     true,  u32_field{disk<&D::enhanced_erase_time>, true, k_u16}},
    };
    // clang-format on
    return rows;
}

std::span<const persisted_field> disk_memory_fields() {
    // clang-format off
    static const persisted_field rows[] = {
        {"pcie_max_gen",        "disk",     true,  k_pcie_max_gen_field},
        {"pcie_max_width",      "disk",     true,  k_pcie_max_width_field},
        {"pcie_gen",            "disk",     true,  k_pcie_gen_field},
        {"pcie_width",          "disk",     true,  k_pcie_width_field},
        {"smart_attribute",     "disk",     true,  k_smart_attribute_field},
        {"smart_file",          "disk",     true,  k_smart_file_field},
        {"ata_features",        "disk",     false, k_ata_features_field},
    };
    // clang-format on
    return rows;
}
