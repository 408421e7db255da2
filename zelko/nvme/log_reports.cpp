#include "zelko/nvme/log_reports.h"

#include <cinttypes>

#include "zelko/common/cursor.h"
#include "zelko/nvme/report_print.h"

namespace zelko {

namespace {

constexpr int k_kelvin_offset = 273;

struct counter_row {
    const char* label;
    int offset;
};

// The 128-bit counters of the SMART / Health log.
constexpr counter_row k_smart_counters[] = {
    {"\tData Units Read                             : ", 32},
    {"\tData Units Write                            : ", 48},
    {"\tHost Read Commands                          : ", 64},
    {"\tHost Write Commands                         : ", 80},
    {"\tController Busy Time                        : ", 96},
    {"\tPower Cycles                                : ", 112},
    {"\tPower On Hours                              : ", 128},
    {"\tUnsafe Shutdowns                            : ", 144},
    {"\tMedia and Data Integrity Errors             : ", 160},
    {"\tNumber of Error Information Log Entries     : ", 176},
};

constexpr int k_sensor_base = 200;
constexpr int k_sensor_count = 8;

int celsius(uint16_t kelvin) { return static_cast<int16_t>(static_cast<uint16_t>(kelvin - k_kelvin_offset)); }

}  // namespace

void print_nvme_smart_log(std::FILE* out, const uint8_t* page) {
    if (page == nullptr) return;
    read_cursor in(page, k_log_report_len);
    report(out, "\n");
    report(out, "\tSmart log:\n");
    report(out, "\tCritical Warning                            : 0x%x\n", in.u8_at(0));
    report(out, "\tComposite Temperature                       : %d C\n", celsius(in.le16_at(1)));
    report(out, "\tAvailable Spare                             : %u %%\n", in.u8_at(3));
    report(out, "\tAvailable Spare Threshold                   : %u %%\n", in.u8_at(4));
    report(out, "\tPercentage Used                             : %u %%\n", in.u8_at(5));
    report(out, "\tEndurance Group Critical Warning Summary    : 0x%x\n", in.u8_at(6));
    for (const counter_row& row : k_smart_counters) {
        report(out, "%s", row.label);
        report(out, "0x%016" PRIx64 "%016" PRIx64 "\n", in.le64_at(row.offset + 8), in.le64_at(row.offset));
    }
    report(out, "\tWarning Composite Temperature Time          : %u\n", in.le32_at(192));
    report(out, "\tCritical Composite Temperature Time         : %u\n", in.le32_at(196));
    for (int n = 0; n < k_sensor_count; ++n) {
        const uint16_t kelvin = in.le16_at(k_sensor_base + 2 * n);
        if (kelvin != 0) report(out, "\tTemperature Sensor %d                        : %d C\n", n, celsius(kelvin));
    }
    report(out, "\tThermal Management Temperature 1 Transition Count   : %u\n", in.le32_at(216));
    report(out, "\tThermal Management Temperature 2 Transition Count   : %u\n", in.le32_at(220));
    report(out, "\tTotal Time For Thermal Management Temperature 1     : %u\n", in.le32_at(224));
    report(out, "\tTotal Time For Thermal Management Temperature 2     : %u\n", in.le32_at(228));
    report(out, "\n");
}

void print_nvme_sanitize_log(std::FILE* out, const uint8_t* page) {
    if (page == nullptr) return;
    read_cursor in(page, k_log_report_len);
    report(out, "Sanitize Progress (SPROG) :  %u\n", in.le16_at(0));
    report(out, "Sanitize Status (SSTAT) :  %#x\n", in.le16_at(2));
    report(out, "Sanitize Command Dword 10 Information (SCDW10) :  %#x\n", in.le32_at(4));
}

}  // namespace zelko
