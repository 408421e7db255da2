#include "zelko/pg/image_check.h"

#include "zelko/common/bytes.h"
#include "zelko/device/discovery.h"

namespace zelko {

namespace {

// Chip identities of the first chip family, whose rescue images carry their own magic.
constexpr uint32_t k_first_family_low = 0xA0010001;
constexpr uint32_t k_first_family_high = 0xA0010003;

struct chip_row {
    uint32_t chip;
    int code;
    int code_for_variant;  // the code for variants 4 and 10, when it differs
};

constexpr chip_row k_chips[] = {
    {0xA0010001, 2, 2},   {0xA0010002, 3, 3},   {0xA0010003, 3, 3},   {0xA0020001, 12, 13},
    {0xA0020002, 12, 13}, {0xA0020003, 12, 13}, {0xA0030001, 21, 21}, {0xA0030002, 22, 22},
};

}  // namespace

int expected_chip_code(uint32_t chip, uint32_t variant) {
    for (const chip_row& row : k_chips) {
        if (row.chip == chip) return variant == 4 || variant == 10 ? row.code_for_variant : row.code;
    }
    return -1;
}

bool image_kind_ok(const image_header_fields& f, uint32_t chip, bool rescue) {
    if (!rescue) return f.magic == k_image_magic_main && f.mark != k_image_rescue_mark;
    if (chip >= k_first_family_low && chip <= k_first_family_high) return f.magic == k_image_magic_rescue;
    return f.magic == k_image_magic_main && f.mark == k_image_rescue_mark;
}

cmd_status check_image(bridge_dev* dev, const char* path, bool rescue) {
    uint8_t header[k_image_header_len] = {};
    const cmd_status read = read_image_header(path, header);
    if (read != 0) return read;
    // Parts outside the file, or a front part that does not start with the header, are
    // refused before the bridge is asked anything.
    const int64_t size = image_file_size(path);
    if (size < 0 || !image_layout_ok(decode_image_header(header, sizeof header), static_cast<uint64_t>(size)))
        return -1;
    alignas(4) uint8_t data[k_inquiry_len] = {};
    if (inquiry(dev, data, k_inquiry_len) != 0) return -1;
    const bridge_gen gen = generation_of_revision(data + k_inquiry_revision);
    if (gen < 0) return -1;
    alignas(4) uint8_t raw[4] = {};
    uint32_t variant = 0;
    if (mem_read(dev, k_register_base[gen] + k_reg_chip_version, raw, 4) == 0) variant = get_le32(raw) >> 16;
    raw[0] = raw[1] = raw[2] = raw[3] = 0;
    const cmd_status status = mem_read(dev, k_register_base[gen] + k_reg_chip_identity, raw, 4);
    if (status != 0) return status;
    const uint32_t chip = get_le32(raw);
    const image_header_fields f = decode_image_header(header, sizeof header);
    const int code = expected_chip_code(chip, variant);
    if (code < 0 || f.chip_code != code) return -1;
    return image_kind_ok(f, chip, rescue) ? 0 : -1;
}

}  // namespace zelko
