#include "zelko/pg/pg_report.h"

#include <cstdio>

#include "zelko/common/print_level.h"

namespace zelko {

namespace {

constexpr int k_label_width = 20;

void hex_line(const char* label, unsigned value) { std::printf("%*s = 0x%x\n", k_label_width, label, value); }

void text_line(const char* label, const char* text) { std::printf("%*s = %s\n", k_label_width, label, text); }

}  // namespace

void print_pg_info(const PgInfo& info) {
    if (!reports_enabled()) return;
    std::printf("\n\nPrint PGINFO:\n\n");
    std::printf("%*s = 0x%04x\n", k_label_width, "VID", info.VID);
    std::printf("%*s = 0x%04x\n", k_label_width, "PID", info.PID);
    text_line("PRODUCT", info.PRODUCT);
    text_line("MANUFACTURE", info.MANUFACTURE);
    text_line("SERIAL", info.SERIAL);
    text_line("SCSI_VENDOR", info.SCSI_VENDOR);
    text_line("SCSI_PRODUCT", info.SCSI_PRODUCT);
    hex_line("ASPMDIS", info.ASPMDIS);
    hex_line("DISK_IPS_THRES", info.DISK_IPS_THRES);
    hex_line("LED", info.LED);
    hex_line("HW_LED_CFG", info.HW_LED_CFG);
    std::printf("%*s = ", k_label_width, "CUSTOMIZED_LED");
    for (uint8_t byte : info.CUSTOMIZED_LED) std::printf("0x%02x ", byte);
    std::printf("\n");
    hex_line("SUSPEND_LED_OFF", info.SUSPEND_LED_OFF);
    std::printf("%*s = 0x%llx\n", k_label_width, "CUSTOMIZED_FEATURE",
                static_cast<unsigned long long>(info.CUSTOMIZED_FEATURE));
    hex_line("SUPPORT_HID", info.SUPPORT_HID);
    hex_line("USB_SELF_PWR", info.USB_SELF_PWR);
}

}  // namespace zelko
