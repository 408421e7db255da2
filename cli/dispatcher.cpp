#include "cli/dispatcher.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/command_table.h"
#include "cli/manual.h"
#include "zelko/common/numbers.h"
#include "zelko/common/print_level.h"
#include "zelko/device/discovery.h"
#include "zelko/led/led_mem.h"

namespace zelko {

namespace {

// Results of the lookup and word count, and their messages (indexed by the negated code).
constexpr int k_code_success = 0;
constexpr int k_code_invalid = -1;
constexpr int k_code_too_many = -2;
constexpr int k_code_not_enough = -3;
constexpr const char* k_code_messages[] = {"Success", "Invalid command", "Too many arguments", "Not enough arguments"};

void print_help_hint(const char* program) { std::printf("Please run %s %s to get more info\n", program, "help"); }

struct count_result {
    int code = k_code_success;
    int32_t level = 0;
    int words = 0;  // words that belong to the command, the report-level option excluded
};

count_result count_words(int row, int argc, char** argv) {
    count_result result;
    result.words = argc;
    if (row == 0) {
        if (argc > 3) result.code = k_code_too_many;
        return result;
    }
    const int required = command_table[row].argc;
    if (argc > required) {
        int32_t level = 0;
        if (parse_level_option(argv[required], &level) == 0) {
            result.level = level;
            result.words = argc - 1;
        }
    }
    if (result.words > required) result.code = k_code_too_many;
    if (result.words < required) result.code = k_code_not_enough;
    return result;
}

// Runs the row's handler (every row but the manual's has one; a unit test checks the table).
void run_handler(const command_row& row, command_context& ctx) { row.handler(ctx); }

// The LED record of an LED row: its image and tables are released before the record.
struct led_record_free {
    void operator()(led_mem_dev* record) const {
        led_mem_dev_free(record);
        delete record;
    }
};
using led_record = std::unique_ptr<led_mem_dev, led_record_free>;

bool needs_disk(precheck cls) {
    return cls == precheck::disk || cls == precheck::query || cls == precheck::nvme || cls == precheck::pcie ||
           cls == precheck::sata;
}

// Opens the device and runs the checks of the row's class, then the handler. Each failing
// step prints its message and ends the command; the device closes with `device`.
void prepare_and_run(const command_row& row, int words, char** argv) {
    bridge_dev_ptr device = dev_open(argv[2]);
    if (!device) {
        std::printf("invalid dev path\n");
        return;
    }
    if (!is_bridge(device.get())) {
        std::printf("Not Morvelt USB bridge\n");
        return;
    }
    if (unlock_fw_write(device.get()) != 0) {
        std::printf("unlock fw write fail\n");
        return;
    }
    char bridge_name[k_bridge_name_len] = {};
    if (get_bridge_name(device.get(), bridge_name) != 0) return;

    // LED rows work on a host copy of the bridge's LED memory image, loaded here and
    // released after the handler.
    led_record led;
    if (row.cls == precheck::led) {
        led.reset(new (std::nothrow) led_mem_dev());
        if (!led) {
            std::printf("allocate led_mem_dev fail\n");
            return;
        }
        if (led_mem_dev_init(device.get(), led.get()) != 0) {
            std::printf("init led dev fail\n");
            return;
        }
    }

    disk_status status;
    disk_ident ident;
    bool ident_ok = false;
    if (needs_disk(row.cls)) {
        if (get_disk_status(device.get(), &status) != 0) {
            std::printf("fail to get disk status\n");
            status = disk_status{};  // the kind checks below then see a zeroed status
        }
        ident_ok = get_disk_ident(device.get(), &ident) == 0;
        if (!ident_ok && row.cls != precheck::query) {
            std::printf("Get identify fail\n");
            return;
        }
        if (ident_ok) {
            if (row.cls == precheck::nvme && status.disk_type != k_disk_type_nvme) {
                std::printf("Not NVMe SSD\n");
                return;
            }
            if (row.cls == precheck::sata && status.disk_type != k_disk_type_sata) {
                std::printf("Not SATA SSD\n");
                return;
            }
            if (row.cls == precheck::pcie && status.pcie_link != 1) {
                std::printf("Not PCIE Device\n");
                return;
            }
        }
    }

    command_context ctx;
    ctx.argc = words;
    ctx.argv = argv;
    ctx.device = &device;
    ctx.bridge_name = bridge_name;
    ctx.status = &status;
    ctx.ident = &ident;
    ctx.ident_ok = ident_ok;
    ctx.led = led.get();
    run_handler(row, ctx);
}

}  // namespace

const char* program_name_of(const char* argv0) {
    if (argv0 == nullptr) return "";
    const char* name = argv0;
    for (const char* p = argv0; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return name;
}

int parse_level_option(const char* word, int32_t* level) {
    *level = 0;
    if (word == nullptr || std::strncmp(word, "-d", 2) != 0) return -1;
    char digits[3] = {};
    if (std::strlen(word) > 2) std::strncpy(digits, word + 2, 2);
    int32_t value = parse_atol(digits);
    if (value > k_max_print_level) value = k_max_print_level;
    if (value < k_min_print_level) value = k_min_print_level;
    *level = value;
    return 0;
}

void run_command_line(int argc, char** argv) {
    const char* program = program_name_of(argc > 0 ? argv[0] : nullptr);
    if (argc < 2) {
        set_print_level(0);
        print_help_hint(program);
        return;
    }

    const int row = find_command(argv[1]);
    count_result count;
    if (row < 0) {
        count.code = k_code_invalid;
    } else {
        count = count_words(row, argc, argv);
    }
    set_print_level(count.level);

    if (count.code == k_code_too_many || count.code == k_code_not_enough) {
        std::printf("%s\n\n", k_code_messages[-count.code]);
        print_manual(program, argv[1], false);
        return;
    }
    if (count.code == k_code_invalid) {
        std::printf("%s\n", k_code_messages[-count.code]);
        print_help_hint(program);
        return;
    }

    const command_row& entry = command_table[row];
    if (entry.cls == precheck::help) {
        print_manual(program, argc == 2 ? nullptr : argv[2], argc == 2);
        return;
    }
    if (entry.cls == precheck::none) {
        command_context ctx;
        ctx.argc = count.words;
        ctx.argv = argv;
        run_handler(entry, ctx);
        return;
    }
    prepare_and_run(entry, count.words, argv);
}

}  // namespace zelko
