// The tool's commands decode what the bridge answers: the INQUIRY and chip registers that
// identify it, the disk status and identity, the UUID, firmware version, status block,
// disk speed, read/write mode, customer page, I2C, GPIO and UART data, the RAID mode, the
// NVMe tunnel's data phases, completions and sense, the LED memory image, the PCIe
// configuration and memory space and capability list, and SMART data.
// A device may answer anything, short, or fail; the commands must never read or write
// outside their buffers, whatever it answers.
//
// Input: byte 0 bit 0 set: the bridge identifies itself genuinely (answer_port.h); byte 1
// chooses the command line; each "#" of its words takes the next byte as a number; the
// rest answers the command's requests in order.
#include <cstdio>
#include <string>
#include <vector>

#include "answer_port.h"
#include "cli/dispatcher.h"

using namespace zelko;

namespace {

const char* const k_command_lines[] = {
    "scan",
    "dev_scan",
    "query P",
    "get_uuid P",
    "set_cust_page P customer-text",
    "get_cust_page P",
    "fw_ver P",
    "fw_restart P #",
    "set_disk_speed P #",
    "get_disk_speed P",
    "set_bridge_rw_md P #",
    "get_bridge_rw_md P",
    "get_usb_speed P",
    "get_ips_threshold P",
    "set_disk_hotplug_dis P",
    "i2c_init P # 50 # #",
    "i2c_write P # 50 00|01|02|03|04|05|06|07|08|09|0a|0b|0c|0d|0e|0f|10|11|12|13|14|15",
    "i2c_read P # 50 #",
    "i2c_read_wf P # 50 # 10",
    "gpio_init P # #",
    "gpio_set P # #",
    "gpio_get P #",
    "uart_init P # 9600",
    "uart_tx P # 115200 hello",
    "uart_rx P",
    "uart_rx_cnt P",
    "uart_clear_buf P",
    "raid_set_mode P JBOD",
    "raid_set_mode P RAID0",
    "raid_set_mode P RAID1",
    "raid_get_mode P",
    "nvme_cmd_timeout P #",
    "nvme_get_id P",
    "nvme_get_smart_log P",
    "nvme_get_log P 2",
    "nvme_get_log P 81",
    "nvme_get_temp_thres P",
    "nvme_rw_test P",
    "nvme_aspm_dis P",
    "nvme_pws P #",
    "nvme_lowpw_dis P",
    "nvme_fw_download P /dev/null 1000 0",
    "nvme_fw_activate P # #",
    "nvme_format P 1 0",
    "nvme_sanitize P 0 0 0 0 2 0",
    "nvme_sanitize P # 0 # 0 # ff",
    "led_get_sup_argb P",
    "led_get_app_ctl P",
    "led_set_rgb_direct P # 1|2|3|4|5|6",
    "led_get_color P # # #",
    "led_set_cycle P # # 70000",
    "led_set_eff_newton_cradle P 1000",
    "pcie_read_conf P # #",
    "pcie_write_conf P # #",
    "pcie_read_mem P FE000000 #",
    "pcie_read_mem P FE000000 5000",
    "pcie_write_mem P FE000014 #",
    "pcie_get_link_status P",
    "pcie_get_link_cap P",
    "ata_get_smart_log P",
    "ata_set_feature P # #",
};
constexpr size_t k_command_line_count = sizeof k_command_lines / sizeof k_command_lines[0];

// The words of a command line: "P" is the device path, "#" a number from the input and
// "|" a space inside one word.
std::vector<std::string> command_words(const char* line, const uint8_t*& data, size_t& size) {
    std::vector<std::string> words = {"mvbridge"};
    std::string word;
    for (const char* p = line;; ++p) {
        if (*p != ' ' && *p != '\0') {
            word += *p == '|' ? ' ' : *p;
            continue;
        }
        if (word == "P") {
            word = "\\\\.\\PhysicalDrive1";
        } else if (word == "#") {
            word = std::to_string(size != 0 ? *data : 0);
            if (size != 0) {
                ++data;
                --size;
            }
        }
        words.push_back(word);
        word.clear();
        if (*p == '\0') break;
    }
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The commands' printed output is not looked at; the sanitizers check its reads.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const bool genuine = (data[0] & 1) != 0;
    const char* line = k_command_lines[data[1] % k_command_line_count];
    data += 2;
    size -= 2;
    std::vector<std::string> words = command_words(line, data, size);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    answer_port_load(data, size, genuine);
    run_command_line(static_cast<int>(words.size()), argv.data());
    return 0;
}
