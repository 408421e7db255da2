#include "zelko/nvme/id_ctrl_report.h"

#include <cstring>

#include "zelko/common/cursor.h"
#include "zelko/nvme/id_ctrl_bits.h"
#include "zelko/nvme/report_print.h"

namespace zelko {

namespace {

constexpr int k_kelvin_offset = 273;

int as_int(uint32_t value) { return static_cast<int>(value); }
uint32_t bits(uint32_t value, int high, int low) { return (value >> low) & ((1u << (high - low + 1)) - 1); }
bool bit(uint32_t value, int n) { return ((value >> n) & 1u) != 0; }

// "\t\tbit [      4] 1 = ..." and "\t\tbit [  3:  1] 5 = ...".
void bit_line(std::FILE* out, int n, uint32_t value, const char* text) {
    report(out, "\t\tbit [%7d] %d = %s\n", n, as_int(value), text);
}
void range_line(std::FILE* out, int high, int low, uint32_t value, const char* text) {
    report(out, "\t\tbit [%3d:%3d] %d = %s\n", high, low, as_int(value), text);
}

void print_bit(std::FILE* out, const id_bit& row, uint32_t value) {
    const bool set = bit(value, row.bit);
    if (row.zero != nullptr) {
        bit_line(out, row.bit, set, set ? row.text : row.zero);
    } else {
        report(out, "\t\tbit [%7d] %d = %s %s\n", row.bit, set ? 1 : 0, set ? "Supports" : "Does not support",
               row.text);
    }
}

void print_bits(std::FILE* out, std::span<const id_bit> rows, uint32_t value, uint32_t ver) {
    for (const id_bit& row : rows) {
        if (nvme_rev_at_least(ver, row.gate)) print_bit(out, row, value);
    }
}

void bit_section(std::FILE* out, const char* heading, std::span<const id_bit> rows, uint32_t value, uint32_t ver) {
    report(out, "%s", heading);
    print_bits(out, rows, value, ver);
}

// "%d = %d (K), %d (C)\n"
void kelvin(std::FILE* out, uint32_t value) {
    report(out, "%d = %d (K), %d (C)\n", as_int(value), as_int(value), as_int(value) - k_kelvin_offset);
}

void kelvin_or_undefined(std::FILE* out, uint32_t value) {
    if (value == 0) {
        report(out, "0 = undefined\n");
    } else {
        kelvin(out, value);
    }
}

// The heading, then `zero_text` for a zero value, else `format` with the value and
// `derived` (a format may use only the first).
void value_section(std::FILE* out, const char* heading, uint32_t value, const char* zero_text, const char* format,
                   int derived = 0) {
    report(out, "%s", heading);
    if (value == 0) {
        report(out, "%s", zero_text);
    } else {
        report(out, format, as_int(value), derived);
    }
}

// A field copied out into a terminated string: an embedded zero ends it early.
template <size_t N>
void text_field(std::FILE* out, read_cursor& in, const char* format, size_t offset) {
    char text[N + 1] = {};
    in.bytes_at(offset, text, N);
    report(out, format, text);
}

// The fields of the structure, at their byte offsets.
struct id_ctrl {
    read_cursor& in;
    uint32_t ver;
    uint32_t oacs;
    uint32_t ctratt;

    uint8_t u8(size_t at) { return in.u8_at(at); }
    uint16_t u16(size_t at) { return in.le16_at(at); }
    uint32_t u32(size_t at) { return in.le32_at(at); }
    uint64_t u64(size_t at) { return in.le64_at(at); }
    bool at_least(uint32_t gate) const { return nvme_rev_at_least(ver, gate); }
};

void print_header(std::FILE* out, id_ctrl& c) {
    report(out, "Identify: Controller data structure(CNTID = 0)\n");
    report(out, "\tPCI Vendor ID: 0x%04x\n", c.u16(0));
    report(out, "\tPCI Subsystem Vendor ID: 0x%04x\n", c.u16(2));
    text_field<20>(out, c.in, "\tSerial Number: %s\n", 4);
    text_field<40>(out, c.in, "\tModel Number: %s\n", 24);
    text_field<8>(out, c.in, "\tFirmware Revision: %s\n", 64);
    const uint8_t rab = c.u8(72);
    report(out, "\tRecommended Arbitration Burst (RAB): %d (means %d)\n", rab, as_int(1u << (rab & 31)));
    report(out, "\tIEEE OUI Identifier (IEEE): %02X-%02X-%02X\n", c.u8(75), c.u8(74), c.u8(73));
    bit_section(out, "\tController Multi-Path I/O and Namespace Sharing Capabilities (CMIC):\n", k_cmic_bits, c.u8(76),
                c.ver);
    const uint8_t mdts = c.u8(77);
    report(out, "\tMaximum Data Transfer Size (MDTS): %d (means %d)\n", mdts, as_int(1u << (mdts & 31)));
    report(out, "\tController ID (CNTLID): 0x%x\n", c.u16(78));
    report(out, "\tVersion (VER): 0x%x (NVMe Revision %d.%d.%d)\n", c.ver, as_int(c.ver >> 16),
           as_int(bits(c.ver, 15, 8)), as_int(bits(c.ver, 7, 0)));
    report(out, "\tRTD3 Resume Latency (RTD3R): %d (usec)\n", as_int(c.u32(84)));
    report(out, "\tRTD3 Entry Latency (RTD3E): %d (usec)\n", as_int(c.u32(88)));
    bit_section(out, "\tOptional Asynchronous Events Supported (OAES):\n", k_oaes_bits, c.u32(92), c.ver);
    bit_section(out, "\tController Attributes (CTRATT):\n", k_ctratt_bits, c.ctratt, c.ver);
}

void print_rrls(std::FILE* out, id_ctrl& c) {
    const uint16_t rrls = c.u16(100);
    report(out, "\tRead Recovery Levels Supports (RRLS):\n");
    for (int n = 0; n < 16; ++n) {
        if (bit(rrls, n)) {
            report(out, "\t\tbit [     %2d] 1 = Read Recovery Level %2d is supported\n", n, n);
        } else {
            report(out, "\t\tbit [     %2d] 0 = Read Recovery Level %2d is not supported\n", n, n);
        }
    }
}

void print_cntrltype(std::FILE* out, id_ctrl& c) {
    static constexpr const char* k_types[] = {"\t00h (not reported)\n", "\t01h (I/O Controller)\n",
                                              "\t02h (Discovery Controller)\n", "\t03h (Administrative Controller)\n"};
    const uint8_t type = c.u8(111);
    report(out, "\tController Type (CNTRLTYPE): ");
    if (type < 4) {
        report(out, "%s", k_types[type]);
    } else {
        report(out, "\t%02xh (invalid value)\n", type);
    }
}

// Only byte 127 tells whether the FRU identifier is there.
void print_fguid(std::FILE* out, id_ctrl& c) {
    report(out, "\tFRU Globally Unique Identifier (FGUID): ");
    if (c.u8(127) == 0) {
        report(out, "(not implemented)");
        report(out, "\n");
        return;
    }
    report(out, "\tbyte [127:123] %02X%02X%02X%02X%02X (Extension identifer assigned by the vendor)\n", c.u8(123),
           c.u8(124), c.u8(125), c.u8(126), c.u8(127));
    report(out,
           "\tbyte [122:120] %02X%02X%02X (Organizationally Unique Identifier (OUI) value assigned by the IEEE "
           "Registration Authority)\n",
           c.u8(120), c.u8(121), c.u8(122));
    report(out, "\tbyte [119:112] %02X%02X%02X%02X%02X%02X%02X%02X (Vendor specific extension identifier)\n", c.u8(112),
           c.u8(113), c.u8(114), c.u8(115), c.u8(116), c.u8(117), c.u8(118), c.u8(119));
    report(out, "\n");
}

void print_crdt(std::FILE* out, id_ctrl& c) {
    for (int n = 0; n < 3; ++n) {
        const uint16_t value = c.u16(128 + 2 * n);
        report(out, "\tCommand Retry Delay Time %d (CDRT%d): %d (%d ms)\n", n + 1, n + 1, value, value * 100);
    }
}

void print_vwci(std::FILE* out, id_ctrl& c) {
    const uint8_t vwci = c.u8(254);
    report(out, "\tVPD Write Cycle Information (VWCI):\n");
    if (bit(vwci, 7)) {
        report(out, "\t\tbit [      7] 1 = The VPD Write Cycles Remaining field is valid\n");
        report(out,
               "\t\tbit [  6:  0] %d = the remaining number of times that VPD contents are able to be updated using "
               "the VPD Write command\n",
               as_int(bits(vwci, 6, 0)));
    } else {
        report(out, "\t\tbit [      7] 0 = The VPD Write Cycles Remaining field is not valid\n");
    }
}

void print_frmw(std::FILE* out, id_ctrl& c) {
    const uint8_t frmw = c.u8(260);
    report(out, "\tFirmware Updates (FRMW):\n");
    print_bits(out, k_frmw_high_bits, frmw, c.ver);
    report(out, "\t\tbit [  3:  1] %d = The number of firmware slots that the controller supports\n",
           as_int(bits(frmw, 3, 1)));
    print_bits(out, k_frmw_low_bits, frmw, c.ver);
}

void print_hmb_size(std::FILE* out, const char* heading, uint32_t value) {
    value_section(out, heading, value, "0 = HMB is not supported\n", "%d = %d KiB\n", as_int(value * 4));
}

void print_rpmbs(std::FILE* out, id_ctrl& c) {
    const uint32_t rpmbs = c.u32(312);
    report(out, "\tReplay Protected Memory Block Support (RPMBS):\n");
    const uint32_t units = bits(rpmbs, 2, 0);
    if (units != 0) {
        const uint32_t access = bits(rpmbs, 31, 24);
        const uint32_t total = bits(rpmbs, 23, 16);
        report(out, "\t\tbit [ 31: 24] %d = %d bytes\n", as_int(access), as_int((access + 1) * 512));
        report(out, "\t\tbit [ 23: 16] %d = %d KiB\n", as_int(total), as_int((total + 1) * 128));
        if (bits(rpmbs, 5, 3) == 0) report(out, "\t\tbit [  5:  3] %d = means HMAC SHA-256\n", 0);
    }
    if (units == 0) {
        report(out, "\t\tbit [  2:  0] 0 = Does not support RPMB\n");
    } else {
        report(out, "\t\tbit [  2:  0] %d = The number of RPMB targets\n", as_int(units));
    }
}

void print_self_test(std::FILE* out, id_ctrl& c) {
    const bool self_test = bit(c.oacs, 4);
    const uint16_t edstt = c.u16(316);
    report(out, "\tExtended Device Self-test Time (EDSTT): ");
    if (self_test) {
        report(out, "%d = %d minutes\n", edstt, edstt);
    } else {
        report(out, "0 = Does not support Device Self-test\n");
    }
    const uint8_t dsto = c.u8(318);
    report(out, "\tDevice Self-test Options (DSTO): ");
    if (!self_test) {
        report(out, "0 = Not supported\n");
    } else if (dsto == 1) {
        report(out, "\n\tbit [      0] 1 = Supports only one device self-test operation in progress at a time\n");
    } else if (dsto == 0) {
        report(out, "\n\tbit [      0] 0 = Supports one device self-test operation per controller at a time\n");
    }
    const uint8_t fwug = c.u8(319);
    report(out, "\tFirmware Update Granularity (FWUG): ");
    if (fwug == 0xFF) {
        report(out, "FFh = No limitation\n");
    } else if (fwug == 0) {
        report(out, "00h = no information\n");
    } else {
        report(out, "%02Xh = means %d KiB\n", fwug, fwug * 4);
    }
}

void thermal_value(std::FILE* out, const char* heading, uint16_t value, bool managed, const char* not_managed) {
    report(out, "%s", heading);
    if (!managed) {
        report(out, "%s", not_managed);
    } else if (value == 0) {
        report(out, "0 = Not reported\n");
    } else {
        kelvin(out, value);
    }
}

void print_thermal(std::FILE* out, id_ctrl& c) {
    const uint16_t hctma = c.u16(322);
    bit_section(out, "\tHost Controlled Thermal Management Attributes (HCTMA):\n", k_hctma_bits, hctma, c.ver);
    const bool managed = bit(hctma, 0);
    thermal_value(out, "\tMinimum Thermal Management Temperature (MNTMT): ", c.u16(324), managed,
                  "N/A = Not suppored\n");
    thermal_value(out, "\tMaximum Thermal Management Temperature (MXTMT): ", c.u16(326), managed,
                  "N/A = Not supported\n");
}

void print_sanicap(std::FILE* out, id_ctrl& c) {
    static constexpr const char* k_nodmmas[] = {
        "Additional media modification after a successful sanitize operation is not defined",
        "Media is not additionally modified after a successful sanitize operation",
        "Media is additionally modified after a successful sanitize operation",
        "(reserved value)",
    };
    const uint32_t sanicap = c.u32(328);
    report(out, "\tSanitize Capabilities (SANICAP): ");
    if (bits(sanicap, 2, 0) == 0) {
        report(out, "0 = The Sanitize command is not supported\n");
        return;
    }
    report(out, "\n");
    if (c.at_least(k_nvme_rev_1_4)) {
        const uint32_t nodmmas = bits(sanicap, 31, 30);
        range_line(out, 31, 30, nodmmas, k_nodmmas[nodmmas]);
        const bool ndi = bit(sanicap, 29);
        bit_line(out, 29, ndi, ndi ? "No-Deallocate Inhibited" : "No-Deallocate is not inhibited");
    }
    print_bits(out, k_sanicap_op_bits, sanicap, c.ver);
}

// The zero text of ANATT, ANAGRPMAX and NANAGRPID.
constexpr const char* k_no_ana = "0 (does not support Asymmetric Namespace Access Reporting)\n";

void print_ana_value(std::FILE* out, const char* heading, uint32_t value) {
    value_section(out, heading, value, k_no_ana, "%d\n");
}

void print_rev_1_4_block(std::FILE* out, id_ctrl& c) {
    const uint32_t hmminds = c.u32(332);
    value_section(out, "\tHost Memory Buffer Minimum Descriptor Entry Size (HMMINDS): ", hmminds,
                  "0 (does not indicate any limitations)\n", "%d (%d KiB)\n", as_int(hmminds * 4));
    value_section(out, "\tHost Memory Maximum Descriptors Entries (HMMAXD): ", c.u16(336),
                  "0 (does not indicate a maximum number of Host Memory Buffer Descriptor Entries)\n", "%d\n");
    report(out, "\tNVM Set Identifier Maximum (NSETIDMAX): %d\n", c.u16(338));
    report(out, "\tEndurance Group Identifier Maximum (ENDGIDMAX): %d\n", c.u16(340));
    const uint8_t anatt = c.u8(342);
    value_section(out, "\tANA Transition Time (ANATT): ", anatt, k_no_ana, "%d (%d second(s))\n", anatt);
    bit_section(out, "\tAsymmetric Namespace Access Capabilities (ANACAP):\n", k_anacap_bits, c.u8(343), c.ver);
    print_ana_value(out, "\tANA Group Identifier Maximum (ANAGRPMAX): ", c.u32(344));
    print_ana_value(out, "\tNumber of ANA Group Identifiers (NANAGRPID): ", c.u32(348));
    const uint32_t pels = c.u32(352);
    value_section(out, "\tPersistent Event Log Size (PELS): ", pels, "0 (does not support Persistent Event Log)\n",
                  "%d (%d KiB)\n", as_int(pels * 64));
}

void print_rev_2_0_capacities(std::FILE* out, id_ctrl& c) {
    report(out, "\tDomain Identifier: ");
    if (bit(c.ctratt, 10)) {
        report(out, "%d\n", c.u16(356));
    } else {
        report(out, "0 (does not support multiple domains)\n");
    }
    report(out, "\tMax Endurance Group Capacity: ");
    if (bit(c.ctratt, 4)) {
        report(out, "%llu (byte)\n", static_cast<unsigned long long>(c.u64(368)));
    } else {
        report(out, "0 (does not support Endurance Group)\n");
    }
}

void print_queue_entry_size(std::FILE* out, const char* heading, const char* queue, uint8_t value) {
    report(out, "%s", heading);
    const uint32_t max = bits(value, 7, 4);
    const uint32_t required = bits(value, 3, 0);
    report(out, "\t\tbit [  7:  4] %d = %d bytes = The maximum %s Queue Entry Size when using NVM Command Set\n",
           as_int(max), as_int(1u << max), queue);
    report(out, "\t\tbit [  3:  0] %d = %d bytes = The required %s Queue Entry Size when using NVM Command Set\n",
           as_int(required), as_int(1u << required), queue);
}

void print_vwc(std::FILE* out, id_ctrl& c) {
    static constexpr const char* k_flush[] = {
        "Support for the NSID field set to FFFFFFFFh in the Flush command is not indicated",
        "(reserved value)",
        "The Flush command does not support the NSID field set to FFFFFFFFh",
        "The Flush command supports the NSID field set to FFFFFFFFh",
    };
    const uint8_t vwc = c.u8(525);
    report(out, "\tVolatile Write Cache (VWC):\n");
    const bool present = bit(vwc, 0);
    if (present && c.at_least(k_nvme_rev_1_4)) {
        const uint32_t flush = bits(vwc, 2, 1);
        range_line(out, 2, 1, flush, k_flush[flush]);
    }
    bit_line(out, 0, present, present ? "A volatile write cache is present" : "A volatile write cache is not present");
}

void print_atomic(std::FILE* out, id_ctrl& c) {
    const uint16_t awun = c.u16(526);
    report(out, "\tAtomic Write Unit Normal (AWUN): ");
    if (awun == 0xFFFF) {
        report(out, "FFFFh = all commands are atomic\n");
    } else {
        report(out, "%04xh = %d sector(s)\n", awun, awun + 1);
    }
    const uint16_t awupf = c.u16(528);
    report(out, "\tAtomic Write Unit Power Fail (AWUPF): %04Xh = %d sector(s)\n", awupf, awupf + 1);
}

void print_acwu(std::FILE* out, id_ctrl& c) {
    const uint16_t acwu = c.u16(532);
    value_section(out, "\tAtomic Compare & Write Unit (ACWU): ", acwu,
                  "0 = Compare and Write is not supported in a fused command\n", "%d = means %d sector(s)\n", acwu + 1);
}

void print_sgls(std::FILE* out, id_ctrl& c) {
    const uint32_t sgls = c.u32(536);
    report(out, "\tSGL Support (SGLS):\n");
    const uint32_t support = bits(sgls, 1, 0);
    if (support == 0) {
        if (c.at_least(k_nvme_rev_1_3)) {
            report(out, "\t\tbit [  1:  0] 0 = SGLs are not supported\n");
        } else {
            report(out, "\t\tbit [      0] 0 = SGLs are not supported\n");
        }
        return;
    }
    print_bits(out, k_sgls_high_bits, sgls, c.ver);
    if (c.at_least(k_nvme_rev_2_0)) {
        const uint32_t descriptors = bits(sgls, 15, 8);
        if (descriptors == 0) {
            report(out, "\t\tbit [ 15:  8] 0 = No recommended maximum number of SGL descriptors is reported\n");
        } else {
            report(out, "\t\tbit [ 15:  8] %d = Recommended maximum number of SGL descriptors in a command\n",
                   as_int(descriptors));
        }
    }
    print_bits(out, k_sgls_keyed_bits, sgls, c.ver);
    if (support == 1) {
        range_line(out, 1, 0, 1, "SGLs are supported with no alignment nor granularity requirement for Data Blocks");
    } else if (support == 2) {
        range_line(out, 1, 0, 2,
                   "SGLs are supported with a Dword alignment and granularity requirement for Data Blocks");
    }
}

void print_namespace_limits(std::FILE* out, id_ctrl& c) {
    value_section(out, "\tMaximum Number of Allowed Namespaces (MNAN): ", c.u32(540),
                  "\n\t0 (Maximum number of namespaces supported by the NVM subsystem is less than or equal to the "
                  "value in the NN field)\n",
                  "%d\n");
}

void print_attachment_limits(std::FILE* out, id_ctrl& c) {
    const uint64_t maxdna_low = c.u64(544);
    const uint64_t maxdna_high = c.u64(552);
    report(out, "\tMaximum Domain Namespace Attachments (MAXDNA): ");
    if (maxdna_low == 0 && maxdna_high == 0) {
        report(out, "0 (no maximum is specified)\n");
    } else {
        report(out, "%llu\n", static_cast<unsigned long long>(maxdna_low));
    }
    value_section(out, "\tMaximum I/O Controller Namespace Attachments (MAXCNA): ", c.u32(560),
                  "0 (no maximum is specified)\n", "%d\n");
}

void print_subnqn(std::FILE* out, id_ctrl& c) {
    char subnqn[257] = {};
    c.in.bytes_at(768, subnqn, 256);
    report(out, "\tNVM Subsystem NVMe Qualified Name (SUBNQN): ");
    report(out, " %-.*s\n", 256, subnqn);
}

void print_capsule_size(std::FILE* out, const char* heading, uint32_t value) {
    report(out, "%s", heading);
    report(out, "%d (means %d bytes)\n", as_int(value), as_int(value * 16));
}

void print_fabrics(std::FILE* out, id_ctrl& c) {
    print_capsule_size(out, "\tI/O Queue Command Capsule Supported Size (IOCCSZ): ", c.u32(1792));
    print_capsule_size(out, "\tI/O Queue Response Capsule Supported Size (IORCSZ): ", c.u32(1796));
    print_capsule_size(out, "\tIn Capsule Data Offset (ICDOFF): ", c.u16(1800));
    bit_section(out, "\tFabrics Controller Attributes (FCATT):\n", k_fcatt_bits, c.u8(1802), c.ver);
    value_section(out, "\tMaximum SGL Data Block Descriptors (MSDBD): ", c.u8(1803), "0 (means no limit)\n", "%d\n");
    bit_section(out, "\tOptional Fabric Commands Support (OFCS):\n", k_ofcs_bits, c.u16(1804), c.ver);
}

// NPSS may claim up to 256 states; the structure holds 32 descriptors.
void print_power_states(std::FILE* out, id_ctrl& c) {
    const int npss = c.u8(263);
    const int last = npss < k_psd_count ? npss : k_psd_count - 1;
    for (int n = 0; n <= last; ++n) {
        if (n == 0) {
            report(out, "\tPower State 0 Descriptor (PSD0):\n");
        } else {
            report(out, "\tPower State %d Descriptor (PSD%d):\n", n, n);
        }
        const uint8_t* psd = c.in.span_at(k_psd_base + k_psd_len * n, k_psd_len);
        if (psd != nullptr) print_nvme_psd(out, psd, c.ver);
    }
}

// Power scale texts of APS and IPS, and their milliwatts per unit.
constexpr const char* k_power_scale_text[] = {"not reported\n", "0.0001 W (0.1 mW)\n", "0.01 W (10 mW)\n",
                                              "(illegal value)\n"};
constexpr double k_power_scale_mw[] = {0, 0.1, 10, 0};

void latency(std::FILE* out, const char* heading, uint32_t value) {
    report(out, heading, as_int(value));
    if (value == 0) {
        report(out, "not reported\n");
    } else {
        report(out, "%d (usec)\n", as_int(value));
    }
}

}  // namespace

void print_nvme_psd(std::FILE* out, const uint8_t* descriptor, uint32_t ver) {
    if (descriptor == nullptr) return;
    read_cursor in(descriptor, k_psd_len);
    static constexpr const char* k_workloads[] = {
        "not reported / no workload\n",
        "workload #1 (Extended Idle Period with a Burst of Random Writes)\n",
        "workload #2 (Heavy Sequential Writes)\n",
    };
    const uint8_t byte22 = in.u8_at(22);
    const uint32_t aps = bits(byte22, 7, 6);
    report(out, "\t\tbit [183:182] %d = Active Power Scale (APS) is ", as_int(aps));
    report(out, "%s", k_power_scale_text[aps]);
    const uint32_t apw = bits(byte22, 2, 0);
    report(out, "\t\tbit [178:176] %d = Active Power Workload (APW) is ", as_int(apw));
    report(out, "%s", apw < 3 ? k_workloads[apw] : "(illegal)\n");
    const uint16_t actp = in.le16_at(20);
    report(out, "\t\tbit [175:160] %d = Active Power (ACTP) ", actp);
    if (actp == 0) {
        report(out, "is not reported\n");
    } else {
        report(out, "is %3.2f (mW)\n", actp * k_power_scale_mw[aps]);
    }
    const uint32_t ips = bits(in.u8_at(18), 7, 6);
    report(out, "\t\tbit [151:150] %d = Idle Power Scale (IPS) is ", as_int(ips));
    report(out, "%s", k_power_scale_text[ips]);
    const uint16_t idlp = in.le16_at(16);
    report(out, "\t\tbit [143:128] %d = Idle Power (IDLP) is ", idlp);
    if (idlp == 0) {
        report(out, "not reported\n");
    } else {
        report(out, "%3.2f (mW)\n", idlp * k_power_scale_mw[ips]);
    }
    report(out, "\t\tbit [124:120] %d = Relative Write Latency (RWL)\n", as_int(bits(in.u8_at(15), 4, 0)));
    report(out, "\t\tbit [116:112] %d = Relative Write Throughput (RWT)\n", as_int(bits(in.u8_at(14), 4, 0)));
    report(out, "\t\tbit [108:104] %d = Relative Read Latency (RRL)\n", as_int(bits(in.u8_at(13), 4, 0)));
    report(out, "\t\tbit [100: 96] %d = Relative Read Throughput (RRT)\n", as_int(bits(in.u8_at(12), 4, 0)));
    latency(out, "\t\tbit [ 95: 64] %d = Exit Latency (EXLAT) is ", in.le32_at(8));
    latency(out, "\t\tbit [ 63: 32] %d = Entry Latency (ENLAT) is ", in.le32_at(4));
    const uint8_t byte3 = in.u8_at(3);
    if (bit(byte3, 1)) {
        report(out, "\t\tbit [     25] 1 = Non-operational state\n");
    } else {
        report(out, "\t\tbit [     25] 0 = Operational state\n");
    }
    const bool mxps = bit(byte3, 0);
    if (nvme_rev_at_least(ver, k_nvme_rev_1_3)) {
        report(out, "\t\tbit [     24] %d = Max Power Scale (MXPS) is ", mxps ? 1 : 0);
    } else {
        report(out, "\t\tbit [     24] %d = Max Power Scale (MPS) is ", mxps ? 1 : 0);
    }
    report(out, "%s", mxps ? "0.0001 W (0.1 mW)\n" : "0.01 W (10 mW)\n");
    const double max_scale = mxps ? 0.1 : 10;
    const uint16_t mp = in.le16_at(0);
    report(out, "\t\tbit [ 15:  0] %d = Maximum Power (MP) is ", mp);
    if (mp == 0) {
        report(out, "not reported\n");
    } else {
        report(out, "%3.2f (mW)\n", mp * max_scale);
    }
}

void print_nvme_id_ctrl(std::FILE* out, const uint8_t* buffer) {
    if (buffer == nullptr || !reports_enabled()) return;
    read_cursor in(buffer, k_id_ctrl_len);
    id_ctrl c{in, in.le32_at(80), in.le16_at(256), in.le32_at(96)};

    print_header(out, c);
    if (c.at_least(k_nvme_rev_1_4)) {
        print_rrls(out, c);
        print_cntrltype(out, c);
    }
    if (c.at_least(k_nvme_rev_1_3)) print_fguid(out, c);
    if (c.at_least(k_nvme_rev_1_4)) print_crdt(out, c);
    if (c.at_least(k_nvme_rev_2_0)) {
        bit_section(out, "\tNVM Subsystem Report (NVMSR):\n", k_nvmsr_bits, c.u8(253), c.ver);
        print_vwci(out, c);
        bit_section(out, "\tManagement Endpoint Capabilities (MEC):\n", k_mec_bits, c.u8(255), c.ver);
    }
    bit_section(out, "\tOptional Admin Command Support (OACS):\n", k_oacs_bits, c.oacs, c.ver);
    report(out, "\tAbort Command Limit (ACL): %d (means %d)\n", c.u8(258), c.u8(258) + 1);
    report(out, "\tAsynchronous Event Request Limit (AERL): %d (means %d)\n", c.u8(259), c.u8(259) + 1);
    print_frmw(out, c);
    bit_section(out, "\tLog Page Attributes (LPA):\n", k_lpa_bits, c.u8(261), c.ver);
    report(out, "\tError Log Page Entries (ELPE): %d (means %d)\n", c.u8(262), c.u8(262) + 1);
    report(out, "\tNumber of Power States Support (NPSS): %d (means %d)\n", c.u8(263), c.u8(263) + 1);
    bit_section(out, "\tAdmin Vendor Specific Command Configuration (AVSCC):\n", k_avscc_bits, c.u8(264), c.ver);
    bit_section(out, "\tAutonomous Power State Transition Attributes (APSTA):\n", k_apsta_bits, c.u8(265), c.ver);
    report(out, "\tWarning Composite Temperature Threshold (WCTEMP): ");
    kelvin_or_undefined(out, c.u16(266));
    report(out, "\tCritical Composite Temperature Threshold (CCTEMP): ");
    kelvin_or_undefined(out, c.u16(268));
    const uint16_t mtfa = c.u16(270);
    value_section(out, "\tMaximum Time for Firmware Activation (MTFA): ", mtfa, "0 = undefined\n", "%d = %d msec\n",
                  mtfa * 100);
    print_hmb_size(out, "\tHost Memory Buffer Preferred Size (HMPRE): ", c.u32(272));
    print_hmb_size(out, "\tHost Memory Buffer Minimum Size (HMMIN): ", c.u32(276));
    if (bit(c.oacs, 3)) {
        report(out, "\tTotal NVM Capacity (TNVMCAP): %llu (byte)\n", static_cast<unsigned long long>(c.u64(280)));
        report(out, "\tUnallocated NVM Capacity (UNVMCAP): %llu (byte)\n", static_cast<unsigned long long>(c.u64(296)));
    }
    print_rpmbs(out, c);
    if (c.at_least(k_nvme_rev_1_3)) print_self_test(out, c);
    const uint16_t kas = c.u16(320);
    report(out, "\tKeep Alive Support (KAS): ");
    if (kas == 0) {
        report(out, "0 = Not supported\n");
    } else {
        report(out, "1 = Supported, The granularity of the Keep Alive Timer is %d msec\n", kas * 100);
    }
    if (c.at_least(k_nvme_rev_1_3)) {
        print_thermal(out, c);
        print_sanicap(out, c);
    }
    if (c.at_least(k_nvme_rev_1_4)) print_rev_1_4_block(out, c);
    if (c.at_least(k_nvme_rev_2_0)) print_rev_2_0_capacities(out, c);
    print_queue_entry_size(out, "\tSubmission Queue Entry Size (SQES):\n", "Submission", c.u8(512));
    print_queue_entry_size(out, "\tCompletion Queue Entry Size (CQES):\n", "Completion", c.u8(513));
    value_section(out, "\tMaximum Outstanding Commands (MAXCMD): ", c.u16(514), "0 = unused\n", "%d\n");
    report(out, "\tNumber of Namespaces (NN): %d\n", as_int(c.u32(516)));
    bit_section(out, "\tOptional NVM Command Support (ONCS):\n", k_oncs_bits, c.u16(520), c.ver);
    bit_section(out, "\tFused Operation Support (FUSES):\n", k_fuses_bits, c.u16(522), c.ver);
    bit_section(out, "\tFormat NVM Attributes (FNA):\n", k_fna_bits, c.u8(524), c.ver);
    print_vwc(out, c);
    print_atomic(out, c);
    bit_section(out, "\tI/O Command Set Vendor Specific Command Configuration (ICSVSCC):\n", k_icsvscc_bits, c.u8(530),
                c.ver);
    if (c.at_least(k_nvme_rev_1_4)) {
        bit_section(out, "\tNamespace Write Protection Capabilities (NWPC):\n", k_nwpc_bits, c.u8(531), c.ver);
    }
    print_acwu(out, c);
    if (c.at_least(k_nvme_rev_2_0)) {
        bit_section(out, "\tOptional Copy Formats Supported:\n", k_ocfs_bits, c.u16(534), c.ver);
    }
    print_sgls(out, c);
    if (c.at_least(k_nvme_rev_1_4)) print_namespace_limits(out, c);
    if (c.at_least(k_nvme_rev_2_0)) print_attachment_limits(out, c);
    print_subnqn(out, c);
    if (c.at_least(k_nvme_rev_2_0)) print_fabrics(out, c);
    print_power_states(out, c);
}

}  // namespace zelko
