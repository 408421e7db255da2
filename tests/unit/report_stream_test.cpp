// The library's report printers print to the stream their caller passes and to nothing
// else: a program may print a report into a file or a buffer while its standard output
// stays its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "zelko/bridge/pcie_ata_report.h"
#include "zelko/nvme/id_ctrl_report.h"
#include "zelko/nvme/log_reports.h"
#include "zelko/pg/pg_report.h"

using namespace zelko;

namespace {

// What `print` writes into a memory stream, with standard output watched meanwhile.
struct printed {
    std::string stream;
    std::string standard_output;
};
printed print_into_stream(const std::function<void(std::FILE*)>& print) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    EXPECT_NE(out, nullptr);
    testing::internal::CaptureStdout();
    print(out);
    std::fflush(stdout);
    printed result{.standard_output = testing::internal::GetCapturedStdout()};
    std::fclose(out);
    result.stream.assign(text, size);
    std::free(text);
    return result;
}

TEST(ReportStream, EachPrinterWritesOnlyToTheStreamItIsGiven) {
    std::vector<uint8_t> id(k_id_ctrl_len, 0);
    id[80 + 2] = 0x01;  // VER 1.0
    id[4] = 'S';
    const std::vector<uint8_t> log(k_log_report_len, 0x11);
    const std::vector<uint8_t> smart(512, 0x05);
    PgInfo info{};
    info.VID = 0x1234;
    struct row {
        const char* name;
        std::function<void(std::FILE*)> print;
        const char* first_line;
    } rows[] = {
        {"id ctrl", [&](std::FILE* out) { print_nvme_id_ctrl(out, id.data()); },
         "Identify: Controller data structure(CNTID = 0)\n"},
        {"psd", [&](std::FILE* out) { print_nvme_psd(out, id.data() + k_psd_base, 0x00010000); },
         "\t\tbit [183:182] 0 = Active Power Scale (APS) is not reported\n"},
        {"smart log", [&](std::FILE* out) { print_nvme_smart_log(out, log.data()); }, "\n"},
        {"sanitize log", [&](std::FILE* out) { print_nvme_sanitize_log(out, log.data()); }, nullptr},
        {"pg info", [&](std::FILE* out) { print_pg_info(out, info); }, "\n"},
        {"hex dump", [&](std::FILE* out) { print_hex_dump(out, log.data(), 4); }, "11 11 11 11 \n"},
        {"smart table", [&](std::FILE* out) { smart_table_print(out, smart.data(), smart.size()); },
         "version: 05 05\n"},
    };
    for (const row& r : rows) {
        const printed p = print_into_stream(r.print);
        EXPECT_EQ(p.standard_output, "") << r.name;
        EXPECT_FALSE(p.stream.empty()) << r.name;
        if (r.first_line != nullptr) {
            EXPECT_EQ(p.stream.substr(0, p.stream.find('\n') + 1), r.first_line) << r.name;
        }
    }
}

}  // namespace
