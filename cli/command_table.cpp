#include "cli/command_table.h"

#include <cstring>
#include <iterator>

#include "cli/commands/bridge_info.h"
#include "cli/commands/i2c_gpio.h"
#include "cli/commands/pcie_ata.h"
#include "cli/commands/uart_raid.h"
#include "cli/commands/discovery.h"
#include "cli/commands/nvme.h"
#include "cli/commands/led.h"
#include "cli/commands/fw_update.h"
#include "cli/commands/pg.h"

namespace zelko {

// clang-format off
const command_row command_table[] = {
    {"help", 2, precheck::help, nullptr},  // 0
    {"scan", 2, precheck::none, cmd_scan},  // 1
    {"dev_scan", 2, precheck::none, cmd_dev_scan},  // 2
    {"query", 3, precheck::query, cmd_query},  // 3
    {"get_api_ver", 2, precheck::none, cmd_get_api_ver},  // 4
    {"get_uuid", 3, precheck::device, cmd_get_uuid},  // 5
    {"set_cust_page", 4, precheck::device, cmd_set_cust_page},  // 6
    {"get_cust_page", 3, precheck::device, cmd_get_cust_page},  // 7
    {"fw_ver", 3, precheck::device, cmd_fw_ver},  // 8
    {"fw_restart", 4, precheck::device, cmd_fw_restart},  // 9
    {"set_disk_speed", 4, precheck::device, cmd_set_disk_speed},  // 10
    {"get_disk_speed", 3, precheck::device, cmd_get_disk_speed},  // 11
    {"set_bridge_rw_md", 4, precheck::device, cmd_set_bridge_rw_md},  // 12
    {"get_bridge_rw_md", 3, precheck::device, cmd_get_bridge_rw_md},  // 13
    {"get_usb_speed", 3, precheck::device, cmd_get_usb_speed},  // 14
    {"get_ips_threshold", 3, precheck::device, cmd_get_ips_threshold},  // 15
    {"set_disk_hotplug_dis", 3, precheck::device, cmd_set_disk_hotplug_dis},  // 16
    {"i2c_init", 7, precheck::device, cmd_i2c_init},  // 17
    {"i2c_write", 6, precheck::device, cmd_i2c_write},  // 18
    {"i2c_read", 6, precheck::device, cmd_i2c_read},  // 19
    {"i2c_read_wf", 7, precheck::device, cmd_i2c_read_wf},  // 20
    {"pg_read", 3, precheck::device, cmd_pg_read},  // 21
    {"pg_write", 4, precheck::device, cmd_pg_write},  // 22
    {"pg_set_usb_speed", 4, precheck::device, cmd_pg_set_usb_speed},  // 23
    {"pg_get_usb_speed", 3, precheck::device, cmd_pg_get_usb_speed},  // 24
    {"pg_set_sn", 4, precheck::device, cmd_pg_set_sn},  // 25
    {"pg_get_sn", 3, precheck::device, cmd_pg_get_sn},  // 26
    {"pg_set_vid", 4, precheck::device, cmd_pg_set_vid},  // 27
    {"pg_get_vid", 3, precheck::device, cmd_pg_get_vid},  // 28
    {"pg_set_pid", 4, precheck::device, cmd_pg_set_pid},  // 29
    {"pg_get_pid", 3, precheck::device, cmd_pg_get_pid},  // 30
    {"fwupdate", 7, precheck::device, cmd_fwupdate},  // 31
    {"nvme_cmd_timeout", 4, precheck::nvme, cmd_nvme_cmd_timeout},  // 32
    {"nvme_get_id", 3, precheck::nvme, cmd_nvme_get_id},  // 33
    {"nvme_get_smart_log", 3, precheck::nvme, cmd_nvme_get_smart_log},  // 34
    {"nvme_get_log", 4, precheck::disk, cmd_nvme_get_log},  // 35
    {"nvme_get_temp_thres", 3, precheck::nvme, cmd_nvme_get_temp_thres},  // 36
    {"nvme_rw_test", 3, precheck::nvme, cmd_nvme_rw_test},  // 37
    {"nvme_fw_download", 6, precheck::nvme, cmd_nvme_fw_download},  // 38
    {"nvme_fw_activate", 5, precheck::nvme, cmd_nvme_fw_activate},  // 39
    {"nvme_format", 5, precheck::nvme, cmd_nvme_format},  // 40
    {"nvme_sanitize", 9, precheck::nvme, cmd_nvme_sanitize},  // 41
    {"nvme_aspm_dis", 3, precheck::nvme, cmd_nvme_aspm_dis},  // 42
    {"nvme_pws", 4, precheck::nvme, cmd_nvme_pws},  // 43
    {"nvme_lowpw_dis", 3, precheck::nvme, cmd_nvme_lowpw_dis},  // 44
    {"pcie_read_conf", 5, precheck::pcie, cmd_pcie_read_conf},  // 45
    {"pcie_write_conf", 5, precheck::disk, cmd_pcie_write_conf},  // 46
    {"pcie_read_mem", 5, precheck::disk, cmd_pcie_read_mem},  // 47
    {"pcie_write_mem", 5, precheck::disk, cmd_pcie_write_mem},  // 48
    {"pcie_get_link_status", 3, precheck::pcie, cmd_pcie_get_link_status},  // 49
    {"pcie_get_link_cap", 3, precheck::pcie, cmd_pcie_get_link_cap},  // 50
    {"ata_get_smart_log", 3, precheck::sata, cmd_ata_get_smart_log},  // 51
    {"ata_set_feature", 5, precheck::sata, cmd_ata_set_feature},  // 52
    {"gpio_init", 5, precheck::device, cmd_gpio_init},  // 53
    {"gpio_set", 5, precheck::device, cmd_gpio_set},  // 54
    {"gpio_get", 4, precheck::device, cmd_gpio_get},  // 55
    {"led_set_mode", 6, precheck::led, cmd_led_set_mode},  // 56
    {"led_get_mode", 5, precheck::led, cmd_led_get_mode},  // 57
    {"led_set_row", 6, precheck::led, cmd_led_set_row},  // 58
    {"led_get_row", 5, precheck::led, cmd_led_get_row},  // 59
    {"led_set_color", 7, precheck::led, cmd_led_set_color},  // 60
    {"led_get_color", 6, precheck::led, cmd_led_get_color},  // 61
    {"led_set_ramp", 6, precheck::led, cmd_led_set_ramp},  // 62
    {"led_get_ramp", 5, precheck::led, cmd_led_get_ramp},  // 63
    {"led_set_stable", 6, precheck::led, cmd_led_set_stable},  // 64
    {"led_get_stable", 5, precheck::led, cmd_led_get_stable},  // 65
    {"led_set_cycle", 6, precheck::led, cmd_led_set_cycle},  // 66
    {"led_get_cycle", 5, precheck::led, cmd_led_get_cycle},  // 67
    {"led_set_bright", 4, precheck::led, cmd_led_set_bright},  // 68
    {"led_get_bright", 3, precheck::led, cmd_led_get_bright},  // 69
    {"led_get_rgb_num", 3, precheck::led, cmd_led_get_rgb_num},  // 70
    {"led_get_sup_argb", 3, precheck::led, cmd_led_get_sup_argb},  // 71
    {"led_get_sup_aura", 3, precheck::led, cmd_led_get_sup_aura},  // 72
    {"led_get_sup_mystic", 3, precheck::led, cmd_led_get_sup_mystic},  // 73
    {"led_get_sup_gbt", 3, precheck::led, cmd_led_get_sup_gbt},  // 74
    {"led_set_rgb_direct", 5, precheck::led, cmd_led_set_rgb_direct},  // 75
    {"led_set_app_ctl", 4, precheck::led, cmd_led_set_app_ctl},  // 76
    {"led_get_app_ctl", 3, precheck::led, cmd_led_get_app_ctl},  // 77
    {"led_set_eff_always_on", 4, precheck::led, cmd_led_set_eff_always_on},  // 78
    {"led_set_eff_blink", 5, precheck::led, cmd_led_set_eff_blink},  // 79
    {"led_set_eff_breathe", 5, precheck::led, cmd_led_set_eff_breathe},  // 80
    {"led_set_eff_spectrum", 4, precheck::led, cmd_led_set_eff_spectrum},  // 81
    {"led_set_eff_scroll", 5, precheck::led, cmd_led_set_eff_scroll},  // 82
    {"led_set_eff_rainbow_scroll", 4, precheck::led, cmd_led_set_eff_rainbow_scroll},  // 83
    {"led_set_eff_running_water", 5, precheck::led, cmd_led_set_eff_running_water},  // 84
    {"led_set_eff_sliding", 4, precheck::led, cmd_led_set_eff_sliding},  // 85
    {"led_set_eff_newton_cradle", 4, precheck::led, cmd_led_set_eff_newton_cradle},  // 86
    {"led_set_eff_meteor", 5, precheck::led, cmd_led_set_eff_meteor},  // 87
    {"uart_init", 5, precheck::device, cmd_uart_init},  // 88
    {"uart_tx", 6, precheck::device, cmd_uart_tx},  // 89
    {"uart_rx", 3, precheck::device, cmd_uart_rx},  // 90
    {"uart_rx_cnt", 3, precheck::device, cmd_uart_rx_cnt},  // 91
    {"uart_clear_buf", 3, precheck::disk, cmd_uart_clear_buf},  // 92
    {"raid_set_mode", 4, precheck::device, cmd_raid_set_mode},  // 93
    {"raid_get_mode", 3, precheck::device, cmd_raid_get_mode},  // 94
};
// clang-format on
static_assert(std::size(command_table) == k_command_count, "the command table has a row too many or too few");

int find_command(const char* word) {
    if (word == nullptr) return -1;
    for (int row = 0; row < k_command_count; ++row) {
        if (std::strcmp(command_table[row].name, word) == 0) return row;
    }
    return -1;
}

}  // namespace zelko
