#include "zelko/pg/pg_report.h"

#include <cstdio>

#include "zelko/common/print_level.h"

namespace zelko {

namespace {

constexpr int k_label_width = 20;

void hex_line(std::FILE* out, const char* label, unsigned value) {
    std::fprintf(out, "%*s = 0x%x\n", k_label_width, label, value);
}

void text_line(std::FILE* out, const char* label, const char* text) {
    std::fprintf(out, "%*s = %s\n", k_label_width, label, text);
}

}  // namespace

void print_pg_info(std::FILE* out, const PgInfo& info) {
    if (!reports_enabled()) return;
    std::fprintf(out, "\n\nPrint PGINFO:\n\n");
    std::fprintf(out, "%*s = 0x%04x\n", k_label_width, "VID", info.VID);
    std::fprintf(out, "%*s = 0x%04x\n", k_label_width, "PID", info.PID);
    text_line(out, "PRODUCT", info.PRODUCT);
    text_line(out, "MANUFACTURE", info.MANUFACTURE);
    text_line(out, "SERIAL", info.SERIAL);
    text_line(out, "SCSI_VENDOR", info.SCSI_VENDOR);
    text_line(out, "SCSI_PRODUCT", info.SCSI_PRODUCT);
    hex_line(out, "ASPMDIS", info.ASPMDIS);
    hex_line(out, "DISK_IPS_THRES", info.DISK_IPS_THRES);
    hex_line(out, "LED", info.LED);
    hex_line(out, "HW_LED_CFG", info.HW_LED_CFG);
    std::fprintf(out, "%*s = ", k_label_width, "CUSTOMIZED_LED");
    for (uint8_t byte : info.CUSTOMIZED_LED) std::fprintf(out, "0x%02x ", byte);
    std::fprintf(out, "\n");
    hex_line(out, "SUSPEND_LED_OFF", info.SUSPEND_LED_OFF);
    std::fprintf(out, "%*s = 0x%llx\n", k_label_width, "CUSTOMIZED_FEATURE",
                 static_cast<unsigned long long>(info.CUSTOMIZED_FEATURE));
    hex_line(out, "SUPPORT_HID", info.SUPPORT_HID);
    hex_line(out, "USB_SELF_PWR", info.USB_SELF_PWR);
}

}  // namespace zelko
