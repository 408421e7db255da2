// The Identify Controller, SMART / Health and sanitize reports on crafted structures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "zelko/common/bytes.h"
#include "zelko/common/print_level.h"
#include "zelko/nvme/id_ctrl_report.h"
#include "zelko/nvme/log_reports.h"

using namespace zelko;

namespace {

std::string captured(const std::function<void()>& print) {
    testing::internal::CaptureStdout();
    print();
    return testing::internal::GetCapturedStdout();
}

struct level_guard {
    explicit level_guard(int32_t level) { set_print_level(level); }
    ~level_guard() { set_print_level(0); }
};

class page {
public:
    explicit page(size_t size) : bytes_(size, 0) {}
    page& u8(size_t at, uint8_t v) {
        bytes_.at(at) = v;
        return *this;
    }
    page& u16(size_t at, uint16_t v) {
        put_le16(&bytes_.at(at + 1) - 1, v);
        return *this;
    }
    page& u32(size_t at, uint32_t v) {
        put_le32(&bytes_.at(at + 3) - 3, v);
        return *this;
    }
    page& text(size_t at, const std::string& t) {
        std::memcpy(&bytes_.at(at + t.size() - 1) - (t.size() - 1), t.data(), t.size());
        return *this;
    }
    const uint8_t* data() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

page id_ctrl(uint32_t ver) { return std::move(page(4096).u32(80, ver)); }
std::string report_of(const page& p) {
    return captured([&] { print_nvme_id_ctrl(stdout, p.data()); });
}

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

// Sections gated on the revision, by a text only they print.
TEST(IdCtrlReport, RevisionGates) {
    const struct {
        const char* text;
        uint32_t first_ver;
    } gated[] = {
        {"(RRLS)", k_nvme_rev_1_4},
        {"(CNTRLTYPE)", k_nvme_rev_1_4},
        {"(FGUID)", k_nvme_rev_1_3},
        {"(CDRT1)", k_nvme_rev_1_4},
        {"(NVMSR)", k_nvme_rev_2_0},
        {"(VWCI)", k_nvme_rev_2_0},
        {"(MEC)", k_nvme_rev_2_0},
        {"(EDSTT)", k_nvme_rev_1_3},
        {"(DSTO)", k_nvme_rev_1_3},
        {"(FWUG)", k_nvme_rev_1_3},
        {"(HCTMA)", k_nvme_rev_1_3},
        {"(MNTMT)", k_nvme_rev_1_3},
        {"(SANICAP)", k_nvme_rev_1_3},
        {"(HMMINDS)", k_nvme_rev_1_4},
        {"(PELS)", k_nvme_rev_1_4},
        {"Domain Identifier", k_nvme_rev_2_0},
        {"Max Endurance Group Capacity", k_nvme_rev_2_0},
        {"(NWPC)", k_nvme_rev_1_4},
        {"Optional Copy Formats", k_nvme_rev_2_0},
        {"(MNAN)", k_nvme_rev_1_4},
        {"(MAXDNA)", k_nvme_rev_2_0},
        {"(MAXCNA)", k_nvme_rev_2_0},
        {"(IOCCSZ)", k_nvme_rev_2_0},
        {"(FCATT)", k_nvme_rev_2_0},
        {"(OFCS)", k_nvme_rev_2_0},
        // Gated bits.
        {"Asymmetric Namespace Access Reporting\n", k_nvme_rev_1_4},
        {"bit [     31]", k_nvme_rev_2_0},
        {"Doorbell Buffer Config", k_nvme_rev_1_3},
        {"Persistent Event log page", k_nvme_rev_1_4},
        {"Timestamp feature", k_nvme_rev_1_3},
        {"Verify command", k_nvme_rev_1_4},
    };
    for (const uint32_t ver : {0x00010200u, 0x00010300u, 0x00010401u, 0x00020000u}) {
        const std::string out = report_of(id_ctrl(ver));
        for (const auto& g : gated)
            EXPECT_EQ(has(out, g.text), (ver & ~0xFFu) >= g.first_ver) << g.text << " ver " << ver;
    }
    EXPECT_TRUE(has(report_of(id_ctrl(0x00010400)), "\tVersion (VER): 0x10400 (NVMe Revision 1.4.0)\n"));
    EXPECT_TRUE(has(report_of(id_ctrl(0x00020103)), "\tVersion (VER): 0x20103 (NVMe Revision 2.1.3)\n"));
}

TEST(IdCtrlReport, SpecialValues) {
    const struct {
        const char* name;
        page p;
        std::vector<std::string> present;
        std::vector<std::string> absent = {};
    } cases[] = {
        {"mdts 5", id_ctrl(0x10400).u8(77, 5), {"\tMaximum Data Transfer Size (MDTS): 5 (means 32)\n"}},
        {"mdts 0", id_ctrl(0x10400), {"\tMaximum Data Transfer Size (MDTS): 0 (means 1)\n"}},
        {"wctemp",
         id_ctrl(0x10400).u16(268, 343),
         {"\tWarning Composite Temperature Threshold (WCTEMP): 0 = undefined\n",
          "\tCritical Composite Temperature Threshold (CCTEMP): 343 = 343 (K), 70 (C)\n"}},
        {"fguid absent",
         id_ctrl(0x10300).u8(112, 0x11).u8(126, 0x22),
         {"\tFRU Globally Unique Identifier (FGUID): (not implemented)\n"}},
        {"fguid",
         id_ctrl(0x10300).u8(112, 0xA0).u8(119, 0xA7).u8(120, 0xB0).u8(122, 0xB2).u8(123, 0xC3).u8(127, 0xC7),
         {"\tFRU Globally Unique Identifier (FGUID): \tbyte [127:123] C3000000C7 (Extension identifer assigned by the "
          "vendor)\n\tbyte [122:120] B000B2 (Organizationally Unique Identifier (OUI) value assigned by the IEEE "
          "Registration Authority)\n\tbyte [119:112] A0000000000000A7 (Vendor specific extension identifier)\n\n"}},
        {"oacs bit 3 clear", id_ctrl(0x10400).u32(280, 1000), {}, {"TNVMCAP", "UNVMCAP"}},
        {"oacs bit 3 set",
         id_ctrl(0x10400).u16(256, 0x0008).u32(280, 1000).u32(296, 24),
         {"\tTotal NVM Capacity (TNVMCAP): 1000 (byte)\n\tUnallocated NVM Capacity (UNVMCAP): 24 (byte)\n"}},
        {"dsto 2",
         id_ctrl(0x10400).u16(256, 0x0010).u8(318, 2).u16(316, 7).u8(319, 0xFF),
         {"\tExtended Device Self-test Time (EDSTT): 7 = 7 minutes\n",
          "\tDevice Self-test Options (DSTO): \tFirmware Update Granularity (FWUG): FFh = No limitation\n"}},
        {"dsto 1",
         id_ctrl(0x10400).u16(256, 0x0010).u8(318, 1).u8(319, 3),
         {"\tDevice Self-test Options (DSTO): \n\tbit [      0] 1 = Supports only one device self-test operation in "
          "progress at a time\n\tFirmware Update Granularity (FWUG): 03h = means 12 KiB\n"}},
        {"no self-test",
         id_ctrl(0x10400).u8(318, 1),
         {"\tExtended Device Self-test Time (EDSTT): 0 = Does not support Device Self-test\n"
          "\tDevice Self-test Options (DSTO): 0 = Not supported\n\tFirmware Update Granularity (FWUG): 00h = no "
          "information\n"}},
        {"sanicap 0",
         id_ctrl(0x10400).u32(328, 0xE0000000),
         {"\tSanitize Capabilities (SANICAP): 0 = The Sanitize command is not supported\n\tHost Memory Buffer "
          "Minimum "}},
        {"sanicap",
         id_ctrl(0x10400).u32(328, 0x60000002),
         {"\tSanitize Capabilities (SANICAP): \n\t\tbit [ 31: 30] 1 = Media is not additionally modified after a "
          "successful sanitize operation\n\t\tbit [     29] 1 = No-Deallocate Inhibited\n"
          "\t\tbit [      2] 0 = Does not support the Overwrite sanitize operation\n"
          "\t\tbit [      1] 1 = Supports the Block Erase sanitize operation\n"
          "\t\tbit [      0] 0 = Does not support the Crypto Erase sanitize operation\n"}},
        {"sgls 0 at 1.2",
         id_ctrl(0x10200),
         {"\tSGL Support (SGLS):\n\t\tbit [      0] 0 = SGLs are not supported\n\t"}},
        {"sgls 0 at 1.3",
         id_ctrl(0x10300),
         {"\tSGL Support (SGLS):\n\t\tbit [  1:  0] 0 = SGLs are not supported\n\t"}},
        {"sgls 3 at 2.0",
         id_ctrl(0x20000).u32(536, 0x00100503),
         {"\t\tbit [     21] 0 = Does not support the Transport SGL Data Block descriptor\n"
          "\t\tbit [     20] 1 = Supports the Address field of SGL Data Block descriptors as an offset\n",
          "\t\tbit [     16] 0 = Does not support the SGL Bit Bucket descriptor\n"
          "\t\tbit [ 15:  8] 5 = Recommended maximum number of SGL descriptors in a command\n"
          "\t\tbit [      2] 0 = Does not support the Keyed SGL Data Block descriptor\n\t"}},
        {"rpmbs",
         id_ctrl(0x10400).u32(312, 0x03010002),
         {"\tReplay Protected Memory Block Support (RPMBS):\n\t\tbit [ 31: 24] 3 = 2048 bytes\n"
          "\t\tbit [ 23: 16] 1 = 256 KiB\n\t\tbit [  5:  3] 0 = means HMAC SHA-256\n"
          "\t\tbit [  2:  0] 2 = The number of RPMB targets\n"}},
        {"rpmbs 0",
         id_ctrl(0x10400).u32(312, 0x03010008),
         {"\tReplay Protected Memory Block Support (RPMBS):\n\t\tbit [  2:  0] 0 = Does not support RPMB\n"}},
        {"frmw",
         id_ctrl(0x10400).u8(260, 0x17),
         {"\tFirmware Updates (FRMW):\n\t\tbit [      4] 1 = Supports firmware activation without a reset\n"
          "\t\tbit [  3:  1] 3 = The number of firmware slots that the controller supports\n"
          "\t\tbit [      0] 1 = The first firmware slot (slot 1) is read only\n"}},
        {"cntrltype", id_ctrl(0x10400).u8(111, 7), {"\tController Type (CNTRLTYPE): \t07h (invalid value)\n"}},
        {"vwc",
         id_ctrl(0x10400).u8(525, 0x05),
         {"\tVolatile Write Cache (VWC):\n\t\tbit [  2:  1] 2 = The Flush command does not support the NSID field set "
          "to FFFFFFFFh\n\t\tbit [      0] 1 = A volatile write cache is present\n"}},
        {"thermal",
         id_ctrl(0x10400).u16(322, 1).u16(326, 353),
         {"\tMinimum Thermal Management Temperature (MNTMT): 0 = Not reported\n"
          "\tMaximum Thermal Management Temperature (MXTMT): 353 = 353 (K), 80 (C)\n"}},
        {"no thermal management",
         id_ctrl(0x10400).u16(324, 300),
         {"(MNTMT): N/A = Not suppored\n", "(MXTMT): N/A = Not supported\n"}},
        {"awun",
         id_ctrl(0x10400).u16(526, 0xFFFF).u16(528, 0xFFFF),
         {"\tAtomic Write Unit Normal (AWUN): FFFFh = all commands are atomic\n"
          "\tAtomic Write Unit Power Fail (AWUPF): FFFFh = 65536 sector(s)\n"}},
        {"mnan 0",
         id_ctrl(0x10400),
         {"\tMaximum Number of Allowed Namespaces (MNAN): \n\t0 (Maximum number of namespaces supported by the NVM "
          "subsystem is less than or equal to the value in the NN field)\n"}},
        {"strings",
         id_ctrl(0x10400).text(4, "SN1").text(24, "MODEL  ").text(64, "FW01\0xyz").text(768, "nqn.x"),
         {"\tSerial Number: SN1\n\tModel Number: MODEL  \n\tFirmware Revision: FW01\n",
          "\tNVM Subsystem NVMe Qualified Name (SUBNQN):  nqn.x\n"}},
        {"kas",
         id_ctrl(0x10400).u16(320, 5),
         {"\tKeep Alive Support (KAS): 1 = Supported, The granularity of the Keep "
          "Alive Timer is 500 msec\n"}},
    };
    for (const auto& c : cases) {
        const std::string out = report_of(c.p);
        for (const std::string& text : c.present) EXPECT_TRUE(has(out, text)) << c.name << ": " << text;
        for (const std::string& text : c.absent) EXPECT_FALSE(has(out, text)) << c.name << ": " << text;
    }
}

// NPSS counts from 0; the structure holds 32 descriptors whatever NPSS says.
TEST(IdCtrlReport, PowerStates) {
    for (const auto& [npss, last] : {std::pair{0, 0}, {4, 4}, {31, 31}, {255, 31}}) {
        const std::string out = report_of(id_ctrl(0x10400).u8(263, static_cast<uint8_t>(npss)));
        EXPECT_TRUE(has(out, "\tPower State 0 Descriptor (PSD0):\n\t\tbit [183:182]")) << npss;
        const std::string last_heading =
            "\tPower State " + std::to_string(last) + " Descriptor (PSD" + std::to_string(last) + "):\n";
        EXPECT_TRUE(last == 0 || has(out, last_heading)) << npss;
        EXPECT_FALSE(has(out, "(PSD" + std::to_string(last + 1) + ")")) << npss;
        EXPECT_TRUE(out.ends_with("Maximum Power (MP) is not reported\n")) << npss;
    }
}

TEST(IdCtrlReport, PowerStateDescriptor) {
    page psd(32);
    psd.u16(0, 2500).u8(3, 0x02).u32(4, 0).u32(8, 150).u8(12, 0xE3).u8(15, 4).u16(16, 7).u8(18, 0x80).u16(20, 350).u8(
        22, 0x42);
    EXPECT_EQ(captured([&] { print_nvme_psd(stdout, psd.data(), 0x00010300); }),
              "\t\tbit [183:182] 1 = Active Power Scale (APS) is 0.0001 W (0.1 mW)\n"
              "\t\tbit [178:176] 2 = Active Power Workload (APW) is workload #2 (Heavy Sequential Writes)\n"
              "\t\tbit [175:160] 350 = Active Power (ACTP) is 35.00 (mW)\n"
              "\t\tbit [151:150] 2 = Idle Power Scale (IPS) is 0.01 W (10 mW)\n"
              "\t\tbit [143:128] 7 = Idle Power (IDLP) is 70.00 (mW)\n"
              "\t\tbit [124:120] 4 = Relative Write Latency (RWL)\n"
              "\t\tbit [116:112] 0 = Relative Write Throughput (RWT)\n"
              "\t\tbit [108:104] 0 = Relative Read Latency (RRL)\n"
              "\t\tbit [100: 96] 3 = Relative Read Throughput (RRT)\n"
              "\t\tbit [ 95: 64] 150 = Exit Latency (EXLAT) is 150 (usec)\n"
              "\t\tbit [ 63: 32] 0 = Entry Latency (ENLAT) is not reported\n"
              "\t\tbit [     25] 1 = Non-operational state\n"
              "\t\tbit [     24] 0 = Max Power Scale (MXPS) is 0.01 W (10 mW)\n"
              "\t\tbit [ 15:  0] 2500 = Maximum Power (MP) is 25000.00 (mW)\n");
    page other(32);
    other.u16(0, 3).u8(3, 0x01).u16(20, 9).u8(22, 0xC5);
    const std::string out = captured([&] { print_nvme_psd(stdout, other.data(), 0x00010200); });
    EXPECT_TRUE(has(out, "(APS) is (illegal value)\n\t\tbit [178:176] 5 = Active Power Workload (APW) is (illegal)\n"));
    EXPECT_TRUE(has(out, "\t\tbit [175:160] 9 = Active Power (ACTP) is 0.00 (mW)\n"));
    EXPECT_TRUE(has(out,
                    "\t\tbit [     24] 1 = Max Power Scale (MPS) is 0.0001 W (0.1 mW)\n"
                    "\t\tbit [ 15:  0] 3 = Maximum Power (MP) is 0.30 (mW)\n"));
}

TEST(IdCtrlReport, NothingAtLevelMinusOne) {
    level_guard quiet(-1);
    EXPECT_EQ(report_of(id_ctrl(0x20000).u8(263, 3)), "");
    EXPECT_EQ(captured([] { print_nvme_id_ctrl(stdout, nullptr); }), "");
    page p(512);
    EXPECT_EQ(captured([&] { print_nvme_smart_log(stdout, p.data()); }), "");
    EXPECT_EQ(captured([&] { print_nvme_sanitize_log(stdout, p.data()); }), "");
}

std::string smart_of(const page& p) {
    return captured([&] { print_nvme_smart_log(stdout, p.data()); });
}

TEST(LogReports, SmartAllZeros) {
    const std::string zeros = "0x00000000000000000000000000000000\n";
    EXPECT_EQ(smart_of(page(512)),
              "\n\tSmart log:\n"
              "\tCritical Warning                            : 0x0\n"
              "\tComposite Temperature                       : -273 C\n"
              "\tAvailable Spare                             : 0 %\n"
              "\tAvailable Spare Threshold                   : 0 %\n"
              "\tPercentage Used                             : 0 %\n"
              "\tEndurance Group Critical Warning Summary    : 0x0\n"
              "\tData Units Read                             : " +
                  zeros + "\tData Units Write                            : " + zeros +
                  "\tHost Read Commands                          : " + zeros +
                  "\tHost Write Commands                         : " + zeros +
                  "\tController Busy Time                        : " + zeros +
                  "\tPower Cycles                                : " + zeros +
                  "\tPower On Hours                              : " + zeros +
                  "\tUnsafe Shutdowns                            : " + zeros +
                  "\tMedia and Data Integrity Errors             : " + zeros +
                  "\tNumber of Error Information Log Entries     : " + zeros +
                  "\tWarning Composite Temperature Time          : 0\n"
                  "\tCritical Composite Temperature Time         : 0\n"
                  "\tThermal Management Temperature 1 Transition Count   : 0\n"
                  "\tThermal Management Temperature 2 Transition Count   : 0\n"
                  "\tTotal Time For Thermal Management Temperature 1     : 0\n"
                  "\tTotal Time For Thermal Management Temperature 2     : 0\n\n");
}

TEST(LogReports, SmartFields) {
    page p(512);
    p.u8(0, 0x1F).u16(1, 300).u8(3, 95).u8(4, 10).u8(5, 255).u8(6, 0x81).u8(32, 1).u8(40, 2);
    p.u32(176 + 12, 0xDEADBEEF).u32(192, 4000000000u).u32(196, 7);
    p.u16(202, 310).u16(206, 250).u32(216, 1).u32(220, 2).u32(224, 3).u32(228, 0xFFFFFFFF);
    const std::string out = smart_of(p);
    for (const char* line : {
             "\tCritical Warning                            : 0x1f\n",
             "\tComposite Temperature                       : 27 C\n",
             "\tAvailable Spare                             : 95 %\n",
             "\tPercentage Used                             : 255 %\n",
             "\tEndurance Group Critical Warning Summary    : 0x81\n",
             "\tData Units Read                             : 0x00000000000000020000000000000001\n",
             "\tNumber of Error Information Log Entries     : 0xdeadbeef000000000000000000000000\n",
             "\tWarning Composite Temperature Time          : 4000000000\n",
             "\tCritical Composite Temperature Time         : 7\n"
             "\tTemperature Sensor 1                        : 37 C\n"
             "\tTemperature Sensor 3                        : -23 C\n"
             "\tThermal Management Temperature 1 Transition Count   : 1\n",
             "\tTotal Time For Thermal Management Temperature 2     : 4294967295\n\n",
         }) {
        EXPECT_TRUE(has(out, line)) << line;
    }
    // A composite temperature below 273 K is negative; 0 K is -273.
    EXPECT_TRUE(has(smart_of(page(512).u16(1, 200)), ": -73 C\n"));
}

TEST(LogReports, Sanitize) {
    EXPECT_EQ(captured([] { print_nvme_sanitize_log(stdout, page(512).u16(0, 0xFFFF).u16(2, 0x0101).data()); }),
              "Sanitize Progress (SPROG) :  65535\n"
              "Sanitize Status (SSTAT) :  0x101\n"
              "Sanitize Command Dword 10 Information (SCDW10) :  0\n");
    EXPECT_EQ(captured([] { print_nvme_sanitize_log(stdout, page(512).u32(4, 0x00000302).data()); }),
              "Sanitize Progress (SPROG) :  0\n"
              "Sanitize Status (SSTAT) :  0\n"
              "Sanitize Command Dword 10 Information (SCDW10) :  0x302\n");
}

}  // namespace
