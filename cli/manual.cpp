#include "cli/manual.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <utility>

#include "cli/command_table.h"
#include "zelko/common/version.h"
#include "zelko/led/led_names.h"

namespace zelko {

// The manual is data: nine sections, each a heading and a list of entries, each entry a list of
// printf lines with the arguments they take. Both the whole manual and a single entry are
// printed by walking these tables.

namespace {

constexpr const char* k_example_device = "\\\\.\\PhysicalDrive1";  // \\.\PhysicalDrive1
constexpr const char* k_restart_command = "fw_restart";            // named by nvme_fw_activate

// What a line's %s stands for.
enum class arg : uint8_t {
    program,  // P: the program name handed over by the dispatcher
    command,  // C: the entry's command name
    device,   // D: the example device path
    restart,  // the name of the fw_restart command
};

// Lines of the LED block that are printed once per LED state or LED mode, with "%2d [%s]".
enum class repeat : uint8_t {
    once,
    each_led_state,  // states 0 to 4
    each_led_mode,   // modes 1 to 5 (mode 0 is not listed)
};

struct manual_line {
    const char* format;
    std::array<arg, 3> args;
    int arg_count;
    repeat times;
};

template <typename... Args>
constexpr manual_line line(const char* format, Args... args) {
    static_assert(sizeof...(Args) <= 3);
    return {format, {args...}, static_cast<int>(sizeof...(Args)), repeat::once};
}

constexpr manual_line each_led_state(const char* format) { return {format, {}, 0, repeat::each_led_state}; }
constexpr manual_line each_led_mode(const char* format) { return {format, {}, 0, repeat::each_led_mode}; }

constexpr arg P = arg::program;
constexpr arg C = arg::command;
constexpr arg D = arg::device;

// The usage line every entry outside the LED block starts with: "%s" is the entry's command.
constexpr manual_line usage(const char* format) { return line(format, C); }

// clang-format off
// ---- Bridge command section ----

constexpr manual_line k_help[] = {usage("%s\n"), line("\tShow manual\n\n")};
constexpr manual_line k_scan[] = {usage("%s\n"), line("\tList all morvelt usb bridge disks.\n\n")};
constexpr manual_line k_dev_scan[] = {usage("%s\n"), line("\tList all morvelt usb bridge devices.\n\n")};
constexpr manual_line k_get_api_ver[] = {usage("%s\n"), line("\tGet ZELKO API version\n\n")};
constexpr manual_line k_query[] = {usage("%s <disk path>\n"), line("\tGet disk information.\n\n")};
constexpr manual_line k_fw_ver[] = {usage("%s <disk path>\n"), line("\tGet bridge firmware version.\n\n")};
constexpr manual_line k_fw_restart[] = {
    usage("%s <disk path> <type>\n"),
    line("\tset bridge firmware restart.\n\n"),
    line("\t%s %s %s 0\n\n", P, C, D),
};
constexpr manual_line k_set_disk_speed[] = {
    usage("%s <disk path> <speed>\n"),
    line("\tChange disk speed.\n"),
    line("\t<speed>:\n"),
    line("\t        1, gen1\n"),
    line("\t        2, gen2\n"),
    line("\t        3, gen3\n\n"),
};
constexpr manual_line k_get_disk_speed[] = {
    usage("%s <disk path>\n"),
    line("\tGet disk speed.\n"),
    line("\t<speed>:\n"),
    line("\t        1, gen1\n"),
    line("\t        2, gen2\n"),
    line("\t        3, gen3\n\n"),
};
constexpr manual_line k_set_bridge_rw_md[] = {
    usage("%s <disk path> <mode>\n"),
    line("\tSet disk status in which mode.\n"),
    line("\tThis command did not change disk state,\n"),
    line("\tit only for bridge to response OS request\n"),
    line("\t<mode>:\n"),
    line("\t        0, normal read/write\n"),
    line("\t        1, write protection\n"),
    line("\t        2, format in progress\n"),
    line("\tExample configure bridge rw mode:\n"),
    line("\t%s %s %s 1\n\n", P, C, D),
};
// Every command has an entry, the read/write mode query too.
constexpr manual_line k_get_bridge_rw_md[] = {
    usage("%s <disk path>\n"),
    line("\tGet the read/write mode the bridge reports to the host.\n\n"),
};
constexpr manual_line k_get_usb_speed[] = {usage("%s <disk path>\n"), line("\tGet bridge usb link speed\n\n")};
constexpr manual_line k_get_ips_threshold[] = {usage("%s <disk path>\n"), line("\tGet IPS threshold\n\n")};
constexpr manual_line k_get_uuid[] = {usage("%s <disk path>\n"), line("\tGet bridge UUID.\n\n")};
constexpr manual_line k_get_cust_page[] = {usage("%s <disk path>\n"), line("\tGet bridge customized page data.\n\n")};
constexpr manual_line k_set_cust_page[] = {
    usage("%s <disk path> <data>\n"),
    line("\tWrite data into bridge customized page.\n\n"),
};
constexpr manual_line k_set_disk_hotplug_dis[] = {usage("%s <disk path>\n"), line("\tDisable disk hotplug.\n\n")};

// ---- I2C command section ----

constexpr manual_line k_i2c_init[] = {
    usage("%s <device path> <i2c id> <hex slave addr> <scl> <sda>\n"),
    line("\tInit I2C\n"),
    line("\t<scl>: The gpio number of I2C SCL\n"),
    line("\t<sda>: The gpio number of I2C SDA\n\n"),
    line("\te.g. %s %s 1 67 9 10\n", C, D),
    line("\t=>Initialize I2C id 1, slave addr 0x67, SCL: GPIO9, SDA: GPIO10\n\n"),
};
constexpr manual_line k_i2c_write[] = {
    usage("%s <device path> <i2c id> <hex slave addr> <hex data>\n"),
    line("\te.g. %s %s 1 67 \"10 3F 61\"\n", C, D),
    line("\t=>I2C id 1, slave addr 0x67, write 0x10, 0x3F, 0x61\n\n"),
};
constexpr manual_line k_i2c_read[] = {
    usage("%s <device path> <i2c id> <hex slave addr> <len>\n"),
    line("\te.g. %s %s 1 67 1\n", C, D),
    line("\t=>I2C id 1, slave addr 0x67, read one byte data\n\n"),
};
constexpr manual_line k_i2c_read_wf[] = {
    usage("%s <device path> <i2c id> <hex slave addr> <len> <hex write command>\n"),
    line("\tWrite one byte first, then read\n"),
    line("\te.g. %s %s 1 67 3 68\n", C, D),
    line("\t=>I2C id 1, slave addr 0x67, write 0x68 first, then read 3 bytes data\n\n"),
};

// ---- NVMe command section ----

constexpr manual_line k_nvme_cmd_timeout[] = {
    usage("%s <device path> <timeout>\n"),
    line("\tSet NVMe command timeout value\n\n"),
    line("\t%s %s %s 3\n\n", P, C, D),
};
constexpr manual_line k_nvme_get_id[] = {
    usage("%s <device path>\n"),
    line("\tGet NVMe disk identify\n\n"),
    line("\t%s %s %s\n\n", P, C, D),
};
constexpr manual_line k_nvme_get_smart_log[] = {
    usage("%s <device path>\n"),
    line("\tGet NVMe disk smart log\n\n"),
    line("\t%s %s %s\n\n", P, C, D),
};
constexpr manual_line k_nvme_get_log[] = {
    usage("%s <device path> <log id>\n"),
    line("\tGet NVMe disk log\n\n"),
    line("\tGet Smart/Health Information Log:\n"),
    line("\t%s %s %s 0x2\n\n", P, C, D),
};
constexpr manual_line k_nvme_get_temp_thres[] = {
    usage("%s <device path>\n"),
    line("\tGet NVMe disk temperature threshold\n\n"),
};
// Every command has an entry, the ASPM switch too.
constexpr manual_line k_nvme_aspm_dis[] = {
    usage("%s <device path>\n"),
    line("\tDisable ASPM on the PCIe link of the NVMe disk\n\n"),
};
constexpr manual_line k_nvme_rw_test[] = {usage("%s <device path>\n"), line("\tRun NVMe read/write test\n\n")};
constexpr manual_line k_nvme_fw_download[] = {
    usage("%s <device path> <image> <xfer_size> <offset>\n"),
    line("\tRun NVMe firmware download\n\n"),
    line("\tThe Firmware Image Download command downloads "),
    line("a new image (in whole or in part) to the controller.\r\n"),
    line("\t<image>     : firmware file\n"),
    line("\t<xfer_size> : transfer chunksize limit, default 0x1000(4096)\n"),
    line("\t<offset>    : starting dword offset, default 0x0\n"),
    line("\n\tFor xfer size 16KB:\n "),
    line("\t%s %s %s <image> 0x4000 0x0\n\n", P, C, D),
};
constexpr manual_line k_nvme_fw_activate[] = {
    usage("%s <device path> <slot> <action>\n"),
    line("\tRun NVMe firmware activate\n\n"),
    line("\tNote: This command was known in NVM Express revision 1.4 "),
    line("as \"Firmware Commit.\"\n"),
    line("\tThe Firmware Commit command is used to modify "),
    line("the firmware image or Boot Partitions.\n"),
    line("\tAfter %s command.\n", C),
    line("\tIf SSD need power cycle, run \"%s %s %s 0\"\n", P, arg::restart, D),
    line("\n\tFor example:\n "),
    line("\t%s %s %s 0 1\n\n", P, C, D),
};
constexpr manual_line k_nvme_format[] = {
    usage("%s <device path> <nsid> <fmt>\n"),
    line("\tRun NVMe format command\n\n"),
    line("\t%s %s %s 0x1 0x0\n\n", P, C, D),
};
constexpr manual_line k_nvme_sanitize[] = {
    usage("%s <device path> <no-dealloc> <oipbp> <owpass> <ause> <sanact> <ovrpat>\n"),
    line("\tRun NVMe sanitize command\n\n"),
    line("\tBlock Erase:\n "),
    line("\t%s %s %s 0 0 0 0 0x2 0x0\n\n", P, C, D),
    line("\tOverwrite with 0x0:\n"),
    line("\t%s %s %s 0 0 0 0 0x3 0x0\n\n", P, C, D),
    line("\tOverwrite with 0xff:\n"),
    line("\t%s %s %s 0 0 0 0 0x3 0xff\n\n", P, C, D),
};
constexpr manual_line k_nvme_pws[] = {
    usage("%s <device path> <power state>\n"),
    line("\tSet nvme power state\n\n"),
    line("\tPower State 0:\n"),
    line("\t%s %s %s 0x0\n\n", P, C, D),
    line("\tPower State 1:\n"),
    line("\t%s %s %s 0x1\n\n", P, C, D),
};
constexpr manual_line k_nvme_lowpw_dis[] = {usage("%s <device path>\n"), line("\tDisable low power mode on nvme\n\n")};

// ---- PCIe command section ----

constexpr manual_line k_pcie_read_conf[] = {
    usage("%s <device path> <hex reg> <length>\n"),
    line("\tRead PCIe config space from <hex reg> with <length> bytes\n\n"),
};
constexpr manual_line k_pcie_write_conf[] = {
    usage("%s <device path> <hex reg> <data 4 bytes>\n"),
    line("\tWrite <hex reg> to PCIe config space with <data 4 bytes>\n\n"),
};
constexpr manual_line k_pcie_read_mem[] = {
    usage("%s <device path> <hex reg> <length>\n"),
    line("\tRead PCIe memory map space from <hex reg> with <length> bytes\n\n"),
};
constexpr manual_line k_pcie_write_mem[] = {
    usage("%s <device path> <hex reg> <data 4 bytes>\n"),
    line("\tWrite <hex reg> to PCIe memory map space with <data 4 bytes>\n\n"),
};
constexpr manual_line k_pcie_get_link_status[] = {
    usage("%s <device path>\n"),
    line("\tGet PCIe current link speed & width\n\n"),
};
constexpr manual_line k_pcie_get_link_cap[] = {
    usage("%s <device path>\n"),
    line("\tGet PCIe link capability max speed & width\n\n"),
};

// ---- ATA command section ----

constexpr manual_line k_ata_get_smart_log[] = {usage("%s <device path>\n"), line("\tGet SATA disk smart log\n\n")};
constexpr manual_line k_ata_set_feature[] = {
    usage("%s <device path> <subcmd_lba> <subcmd_cnt>\n"),
    line("\tSet SATA disk feature\n\n"),
};

// ---- GPIO command section ----

constexpr manual_line k_gpio_init[] = {
    usage("%s <device path> <gpio num> <dir>\n"),
    line("\tSet <gpio num> as GPIO and set its own direction\n"),
    line("\te.g. gpio_init 9 1 => Set GPIO9 as GPIO out\n"),
    line("\te.g. gpio_init 10 0 => Set GPIO10 as GPIO in\n\n"),
};
constexpr manual_line k_gpio_set[] = {
    usage("%s <device path> <gpio num> <value>\n"),
    line("\tSet <value> to <gpio num>\n"),
    line("\te.g. %s %s 9 1 => Set high to GPIO9\n\n", C, D),
};
constexpr manual_line k_gpio_get[] = {
    usage("%s <device path> <gpio num>\n"),
    line("\tGet <value> from <gpio num>\n"),
    line("\te.g. %s %s 9 => Get GPIO9 value\n\n", C, D),
};

// ---- PG and firmware update section ----

constexpr manual_line k_pg_read[] = {usage("%s <device path>\n"), line("\tRead and decode device's pg data.\n\n")};
constexpr manual_line k_pg_write[] = {
    usage("%s <device path> <config path>\n"),
    line("\tRead and encode config file and then write pg data to the device.\n\n"),
};
constexpr manual_line k_pg_set_usb_speed[] = {
    usage("%s <device path> <speed>\n"),
    line("\tSet pg usb speed\n\n"),
    line("\t<speed>:\n"),
    line("\t        0 : Disable pg usb speed\n"),
    line("\t        3 : 480Mb/s\n"),
    line("\t        5 : 5Gb/s\n"),
    line("\t        6 : 10Gb/s\n\n"),
};
constexpr manual_line k_pg_get_usb_speed[] = {
    usage("%s <device path>\n"),
    line("\tGet pg usb speed\n\n"),
    line("\t<speed>:\n"),
    line("\t        0 : Disable pg usb speed\n"),
    line("\t        3 : 480Mb/s\n"),
    line("\t        5 : 5Gb/s\n"),
    line("\t        6 : 10Gb/s\n\n"),
};
constexpr manual_line k_pg_set_sn[] = {usage("%s <device path> <serial number>\n"), line("\tSet pg usb serial number\n\n")};
constexpr manual_line k_pg_get_sn[] = {usage("%s <device path>\n"), line("\tGet pg usb serial number\n\n")};
constexpr manual_line k_pg_set_vid[] = {usage("%s <device path> <hex vid>\n"), line("\tSet pg usb vid\n\n")};
constexpr manual_line k_pg_get_vid[] = {usage("%s <device path>\n"), line("\tGet pg usb vid\n\n")};
constexpr manual_line k_pg_set_pid[] = {usage("%s <device path> <hex pid>\n"), line("\tSet pg usb pid\n\n")};
constexpr manual_line k_pg_get_pid[] = {usage("%s <device path>\n"), line("\tGet pg usb pid\n\n")};
constexpr manual_line k_fwupdate[] = {
    usage("%s <device path> <bin path> <rescue bin path> <config path> <led bin path>\n"),
    line("\te.g. %s %s QXM7730B.bin QXM7730B_rsq.bin QXM7730B_CG.cfg LED.bin\n\n", C, D),
};

// ---- LED command section: one block shared by every LED command ----

constexpr manual_line k_led_block[] = {
    line("led_set_mode  <device path> <led state> <led index> <mode>\n"),
    line("led_get_mode  <device path> <led state> <led index>\n"),
    line("led_set_row  <device path> <led state> <led index> <row number>\n"),
    line("led_get_row  <device path> <led state> <led index>\n"),
    line("led_set_color <device path> <led state> <led index> <row> <\"R G B\">\n"),
    line("led_get_color <device path> <led state> <led index> <row>\n"),
    line("led_set_ramp <device path> <led state> <led index> <hex ramp factor>\n"),
    line("led_get_ramp <device path> <led state> <led index>\n"),
    line("led_set_stable <device path> <led state> <led index> <hexstable factor>\n"),
    line("led_get_stable <device path> <led state> <led index>\n"),
    line("led_set_cycle <device path> <led state> <led index> <cycle in ms>\n"),
    line("led_get_cycle <device path> <led state> <led index>\n"),
    line("led_set_bright <device path> <hex brightness>\n"),
    line("led_get_bright <device path>\n"),
    line("led_get_rgb_num <device path>\n"),
    line("led_get_sup_argb <device path>\n"),
    line("led_get_sup_aura <device path>\n"),
    line("led_get_sup_mystic <device path>\n"),
    line("led_get_sup_gbt <device path>\n"),
    line("led_set_rgb_direct <device path> <sync method> <\"R0 G0 B0 R1 G1 B1 ...... Rn-1 Gn-1 Bn-1\">\n"),
    line("led_set_app_ctl <device path> <enable>\n"),
    line("led_get_app_ctl <device path>\n"),
    line("led_set_eff_always_on <device path> <RGB hex value>\n"),
    line("led_set_eff_blink <device path> <RGB hex value> <cycle in ms>\n"),
    line("led_set_eff_breathe <device path> <RGB hex value> <cycle in ms>\n"),
    line("led_set_eff_spectrum <device path> <cycle in ms>\n"),
    line("led_set_eff_scroll <device path> <RGB hex value> <cycle in ms>\n"),
    line("led_set_eff_rainbow_scroll <device path> <cycle in ms>\n"),
    line("led_set_eff_running_water <device path> <RGB hex value> <cycle in ms>\n"),
    line("led_set_eff_sliding <device path> <cycle in ms>\n"),
    line("led_set_eff_newton_cradle <device path> <cycle in ms>\n"),
    line("led_set_eff_meteor <device path> <RGB hex value> <cycle in ms>\n"),
    line("\n"),
    line("\tSet/get led argumets in <led index>'s <led state>\n"),
    line("\n"),
    line("\t<led state> \tled state\n"),
    each_led_state("\t            \t%2d [%s]\n"),
    line("\n"),
    line("\t<led index> \tRGB led index number\n"),
    line("\n"),
    line("\t<mode>  \tled lighting mode\n"),
    each_led_mode("\t        \t%2d [%s]\n"),
    line("\n"),
    line("\t<row>  \trow index of led effect table, from 0 to <row number> - 1.\n"),
    line("\t<row number>  \trow number of led effect table, upto 6 rows.\n"),
    line("\t<color>  \tled color index, e.g. RGB:0-2\n"),
    line("\t<val>  \tled color(0-255) set in lighting mode\n"),
    line("\t<ramp factor>  \tled ramp up/down duration (1 unit = 100ms)\n"),
    line("\t<stable factor>\tled high/low stable duration (1 unit = 100ms)\n"),
    line("\t<cycle in ms>  \tled effect cycle time in ms\n"),
    line("\t<brightness>  \tglobal brightness\n"),
    line("\n    e.g.\n"),
    line("\tled_set_mode 1 0 4                           \t Set breathe mode in RGB[0]'s idle state.\n"),
    line("\tled_get_mode 2 1                             \t Get led mode in RGB[1]'s read state.\n"),
    line("\tled_set_row 1 0 6                            \t Set 6 rows in RGB[0]'s idle state.\n"),
    line("\tled_get_row 2 1                              \t Get row number of effect table in RGB[1]'s read state.\n"),
    line("\tled_set_color 3 2 4 \"0 0 255\"              \t Set led effect table's row[4] to blue light in RGB[2]'s "
         "write state.\n"),
    line("\tled_get_color 5 3 4                          \t Get led effect table's row[4] pwm val in RGB[3]'s sleep "
         "state.\n"),
    line("\tled_set_ramp 3 2 0x1414                      \t Set ramp up/down duration 0x14:2000ms in RGB[2]'s write "
         "state.\n"),
    line("\tled_get_ramp 5 3                             \t Get ramp up/down duration in RGB[3]'s sleep state.\n"),
    line("\tled_set_stable 3 2 0x3232                    \t Set high/low stable duration 0x32:5000ms in RGB[2]'s "
         "write state.\n"),
    line("\tled_get_stable 5 3                           \t Get high/low stable duration in RGB[3]'s sleep state.\n"),
    line("\tled_set_cycle 6 4 8960                       \t Set led effect cycle time as 8960ms in RGB[4]'s power u3 "
         "state.\n"),
    line("\tled_get_cycle 7 5                            \t Get led effect cycle time(ms) in RGB[5]'s disk stop "
         "state.\n"),
    line("\tled_set_bright 0xFF00                        \t Set RGBs' high brightness to 255, low brightness to 0.\n"),
    line("\tled_get_bright                               \t Get RGBs' brightness.\n"),
    line("\tled_get_rgb_num                              \t Get RGB number of led.\n"),
    line("\tled_get_sup_argb                             \t Get Support ARGB or not.\n"),
    line("\tled_get_sup_aura                             \t Get Support Aura Sync or not.\n"),
    line("\tled_get_sup_mystic                           \t Get Support Mystic Light or not.\n"),
    line("\tled_get_sup_gbt                              \t Get Support Gigabyte Fusion Light or not.\n"),
    line("\tled_set_rgb_direct 1 \"255 255 0 0 0 255\"   \t Set RGB[0] to yellow, RGB[1] to blue.\tsync method => "
         "0:aura, 1:mystic\n"),
    line("\tled_set_app_ctl 1                            \t Set Sync light enabled.\n"),
    line("\tled_get_app_ctl                              \t Get Sync light enabled or not.\n"),
    line("\tled_set_eff_always_on 0xFFFF00               \t Set RGB constant(yellow).\n"),
    line("\tled_set_eff_blink 0xFF0000 500               \t Set RGB single color blinking(red) with cycle 500ms.\n"),
    line("\tled_set_eff_breathe 0xFF00 1000              \t Set RGB single color breathing(green) with cycle 1000ms.\n"),
    line("\tled_set_eff_spectrum 1500                    \t Set RGB spectrum breathing with cycle 1500ms.\n"),
    line("\tled_set_eff_scroll 0xFF 2000                 \t Set RGB scroll(blue) with cycle 2000ms.\n"),
    line("\tled_set_eff_rainbow_scroll 2500              \t Set RGB scroll(rainbow) with cycle 2500ms.\n"),
    line("\tled_set_eff_running_water 0xFF5000 3000      \t Set RGB running water(orange) with cycle 3000ms.\n"),
    line("\tled_set_eff_sliding 3500                     \t Set RGB sliding(rainbow) with cycle 3500ms.\n"),
    line("\tled_set_eff_newton_cradle 4000               \t Set RGB Newton's cradle effect with cycle 4000ms.\n"),
    line("\tled_set_eff_meteor 0xFFFFFF 4500             \t Set RGB meteor effect(white) with cycle 4500ms.\n\n"),
};

// ---- UART command section (also holds the RAID commands) ----

constexpr manual_line k_uart_init[] = {
    usage("%s <device path> <rx pin> <baud rate>\n"),
    line("\tSet uart rx pin & baud rate\n\n"),
};
constexpr manual_line k_uart_tx[] = {
    usage("%s <device path> <tx pin> <baud rate> <data>\n"),
    line("\tSet uart data with tx pin & baud rate\n\n"),
};
constexpr manual_line k_uart_rx[] = {usage("%s <device path>\n"), line("\tReceived data\n\n")};
constexpr manual_line k_uart_rx_cnt[] = {
    usage("%s <device path>\n"),
    line("\tGet the number of bytes of received data\n\n"),
};
constexpr manual_line k_uart_clear_buf[] = {usage("%s <device path>\n"), line("\tClear uart rx buffer\n\n")};
constexpr manual_line k_raid_set_mode[] = {
    usage("%s <device path> <raid mode>\n"),
    line("\tSet RAID mode\n\n"),
    line("\t<mode>:\n"),
    line("\t        JBOD\n"),
    line("\t        RAID0\n"),
    line("\t        RAID1\n"),  // no blank line after it
};
constexpr manual_line k_raid_get_mode[] = {usage("%s <device path>\n"), line("\tGet RAID mode\n\n")};

// ---- Sections ----

struct manual_entry {
    const char* command;       // command table name of the command this entry documents
    const char* last_command;  // a block shared by the rows `command` to `last_command`; null for one row
    std::span<const manual_line> lines;
};

constexpr manual_entry k_bridge_entries[] = {
    {"help", nullptr, k_help},
    {"scan", nullptr, k_scan},
    {"dev_scan", nullptr, k_dev_scan},
    {"get_api_ver", nullptr, k_get_api_ver},
    {"query", nullptr, k_query},
    {"fw_ver", nullptr, k_fw_ver},
    {"fw_restart", nullptr, k_fw_restart},
    {"set_disk_speed", nullptr, k_set_disk_speed},
    {"get_disk_speed", nullptr, k_get_disk_speed},
    {"set_bridge_rw_md", nullptr, k_set_bridge_rw_md},
    {"get_bridge_rw_md", nullptr, k_get_bridge_rw_md},
    {"get_usb_speed", nullptr, k_get_usb_speed},
    {"get_ips_threshold", nullptr, k_get_ips_threshold},
    {"get_uuid", nullptr, k_get_uuid},
    {"get_cust_page", nullptr, k_get_cust_page},
    {"set_cust_page", nullptr, k_set_cust_page},
    {"set_disk_hotplug_dis", nullptr, k_set_disk_hotplug_dis},
};

constexpr manual_entry k_i2c_entries[] = {
    {"i2c_init", nullptr, k_i2c_init},
    {"i2c_write", nullptr, k_i2c_write},
    {"i2c_read", nullptr, k_i2c_read},
    {"i2c_read_wf", nullptr, k_i2c_read_wf},
};

constexpr manual_entry k_nvme_entries[] = {
    {"nvme_cmd_timeout", nullptr, k_nvme_cmd_timeout},
    {"nvme_get_id", nullptr, k_nvme_get_id},
    {"nvme_get_smart_log", nullptr, k_nvme_get_smart_log},
    {"nvme_get_log", nullptr, k_nvme_get_log},
    {"nvme_get_temp_thres", nullptr, k_nvme_get_temp_thres},
    {"nvme_aspm_dis", nullptr, k_nvme_aspm_dis},
    {"nvme_rw_test", nullptr, k_nvme_rw_test},
    {"nvme_fw_download", nullptr, k_nvme_fw_download},
    {"nvme_fw_activate", nullptr, k_nvme_fw_activate},
    {"nvme_format", nullptr, k_nvme_format},
    {"nvme_sanitize", nullptr, k_nvme_sanitize},
    {"nvme_pws", nullptr, k_nvme_pws},
    {"nvme_lowpw_dis", nullptr, k_nvme_lowpw_dis},
};

constexpr manual_entry k_pcie_entries[] = {
    {"pcie_read_conf", nullptr, k_pcie_read_conf},
    {"pcie_write_conf", nullptr, k_pcie_write_conf},
    {"pcie_read_mem", nullptr, k_pcie_read_mem},
    {"pcie_write_mem", nullptr, k_pcie_write_mem},
    {"pcie_get_link_status", nullptr, k_pcie_get_link_status},
    {"pcie_get_link_cap", nullptr, k_pcie_get_link_cap},
};

constexpr manual_entry k_ata_entries[] = {
    {"ata_get_smart_log", nullptr, k_ata_get_smart_log},
    {"ata_set_feature", nullptr, k_ata_set_feature},
};

constexpr manual_entry k_gpio_entries[] = {
    {"gpio_init", nullptr, k_gpio_init},
    {"gpio_set", nullptr, k_gpio_set},
    {"gpio_get", nullptr, k_gpio_get},
};

constexpr manual_entry k_pg_entries[] = {
    {"pg_read", nullptr, k_pg_read},
    {"pg_write", nullptr, k_pg_write},
    {"pg_set_usb_speed", nullptr, k_pg_set_usb_speed},
    {"pg_get_usb_speed", nullptr, k_pg_get_usb_speed},
    {"pg_set_sn", nullptr, k_pg_set_sn},
    {"pg_get_sn", nullptr, k_pg_get_sn},
    {"pg_set_vid", nullptr, k_pg_set_vid},
    {"pg_get_vid", nullptr, k_pg_get_vid},
    {"pg_set_pid", nullptr, k_pg_set_pid},
    {"pg_get_pid", nullptr, k_pg_get_pid},
    {"fwupdate", nullptr, k_fwupdate},
};

// The LED block belongs to every LED row of the command table, led_set_mode to led_set_eff_meteor.
constexpr manual_entry k_led_entries[] = {
    {"led_set_mode", "led_set_eff_meteor", k_led_block},
};

constexpr manual_entry k_uart_entries[] = {
    {"uart_init", nullptr, k_uart_init},
    {"uart_tx", nullptr, k_uart_tx},
    {"uart_rx", nullptr, k_uart_rx},
    {"uart_rx_cnt", nullptr, k_uart_rx_cnt},
    {"uart_clear_buf", nullptr, k_uart_clear_buf},
    {"raid_set_mode", nullptr, k_raid_set_mode},
    {"raid_get_mode", nullptr, k_raid_get_mode},
};

struct manual_section {
    const char* heading;
    std::span<const manual_entry> entries;
};

constexpr manual_section k_sections[] = {
    {"Bridge command:\n\n", k_bridge_entries},
    {"I2C command:\n\n", k_i2c_entries},
    {"NVMe command:\n\n", k_nvme_entries},
    {"PCIe command:\n\n", k_pcie_entries},
    {"ATA command:\n\n", k_ata_entries},
    {"GPIO command:\n\n", k_gpio_entries},
    {"PG & firmware update command:\n\n", k_pg_entries},
    {"LED command:\n\n", k_led_entries},
    {"UART command:\n\n", k_uart_entries},
};
// clang-format on

// ---- Build-time check: every line's conversions match the arguments it is given ----

// The number of "%s" conversions in `format`, or -1 when it holds any other '%'.
constexpr int count_string_conversions(const char* format) {
    int count = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        if (p[1] != 's') return -1;
        ++count;
        ++p;
    }
    return count;
}

constexpr bool string_equal(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

constexpr bool line_is_well_formed(const manual_line& l) {
    if (l.times == repeat::once) return count_string_conversions(l.format) == l.arg_count;
    // The repeated LED lines end in "%2d [%s]\n" and take a number and a name.
    const char* p = l.format;
    while (*p != '\0' && *p != '%') ++p;
    return l.arg_count == 0 && string_equal(p, "%2d [%s]\n");
}

constexpr bool manual_is_well_formed() {
    for (const manual_section& section : k_sections) {
        for (const manual_entry& entry : section.entries) {
            for (const manual_line& l : entry.lines) {
                if (!line_is_well_formed(l)) return false;
            }
        }
    }
    return true;
}

static_assert(manual_is_well_formed(), "a manual line's conversions do not match its arguments");

// ---- Rendering ----

// Appends printf-formatted text to `out`.
template <typename... Args>
void append_format(std::string& out, const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(length) + 1, format, args...);
    out.resize(at + static_cast<size_t>(length));
}

// What the arguments of the lines stand for in one rendering.
struct manual_words {
    const char* program;
    const char* device;
};

void render_line(std::string& out, const manual_line& l, const manual_words& words, const char* command) {
    switch (l.times) {
        case repeat::each_led_state:
            for (int state = 0; state < k_led_state_count; ++state) {
                append_format(out, l.format, state, k_led_state_names[state]);
            }
            return;
        case repeat::each_led_mode:
            for (int mode = 1; mode < k_led_mode_count; ++mode)
                append_format(out, l.format, mode, k_led_mode_names[mode]);
            return;
        case repeat::once: break;
    }
    const char* values[3] = {"", "", ""};
    for (int i = 0; i < l.arg_count; ++i) {
        switch (l.args[i]) {
            case arg::program: values[i] = words.program; break;
            case arg::command: values[i] = command; break;
            case arg::device: values[i] = words.device; break;
            case arg::restart: values[i] = k_restart_command; break;
        }
    }
    // printf ignores arguments beyond those the format converts (checked above at build time).
    append_format(out, l.format, values[0], values[1], values[2]);
}

std::string render_entry(const manual_entry& entry, const manual_words& words) {
    std::string text;
    for (const manual_line& l : entry.lines) render_line(text, l, words, entry.command);
    return text;
}

// The command table rows `entry` documents, first and last.
std::pair<int, int> entry_rows(const manual_entry& entry) {
    const int first = find_command(entry.command);
    const int last = entry.last_command != nullptr ? find_command(entry.last_command) : first;
    return {first, last};
}

const manual_entry* find_entry(int row) {
    for (const manual_section& section : k_sections) {
        for (const manual_entry& entry : section.entries) {
            const auto [first, last] = entry_rows(entry);
            if (first >= 0 && first <= row && row <= last) return &entry;
        }
    }
    return nullptr;
}

}  // namespace

void print_manual(const char* program, const char* command, bool whole) {
    if (program == nullptr) program = "";
    const manual_words words{program, k_example_device};
    if (whole) {
        std::printf("%s Version: %s\n\n", program, k_tool_version);
        std::printf("Manual:\n\n");
        for (const manual_section& section : k_sections) {
            std::printf("%s", section.heading);
            for (const manual_entry& entry : section.entries) std::fputs(render_entry(entry, words).c_str(), stdout);
        }
        return;
    }

    const int row = find_command(command);
    if (row < 0) {
        std::printf("wrong option: %s\n", command != nullptr ? command : "(null)");
        return;
    }
    std::printf("Manual:\n\n");
    if (const manual_entry* entry = find_entry(row)) std::fputs(render_entry(*entry, words).c_str(), stdout);
}

const char* manual_version() { return k_tool_version; }

std::vector<manual_section_text> manual_texts(const char* program, const char* device) {
    const manual_words words{program, device};
    std::vector<manual_section_text> sections;
    for (const manual_section& section : k_sections) {
        manual_section_text& text = sections.emplace_back();
        text.heading = section.heading;
        for (const manual_entry& entry : section.entries) {
            const auto [first, last] = entry_rows(entry);
            text.entries.push_back({first, last, render_entry(entry, words)});
        }
    }
    return sections;
}

}  // namespace zelko
