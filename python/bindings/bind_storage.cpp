// The disk behind an NVMe bridge, the PG record and the LED memory.
#include <pybind11/stl.h>

#include <cstring>
#include <vector>

#include "bindings.h"

namespace zelko_py {

using namespace zelko;

namespace {

// One LED operation on a freshly loaded host copy of the LED memory, as each LED command
// of the tool loads it; the copy is released whatever the operation came to.
template <typename Operation>
void with_led_memory(device& self, const std::string& line, Operation&& operation) {
    run_checked(self, line, [&](bridge_dev* dev) {
        led_mem_dev record;
        if (led_mem_dev_init(dev, &record) != 0) return cmd_status{-1};
        const cmd_status status = operation(dev, &record);
        led_mem_dev_free(&record);
        return status;
    });
}

// The effects by the names their tool commands carry (led_set_eff_NAME), in the order of
// led_effect_kind.
constexpr const char* k_effect_names[] = {"always_on",      "blink",         "breathe", "spectrum",      "scroll",
                                          "rainbow_scroll", "running_water", "sliding", "newton_cradle", "meteor"};

led_effect_kind effect_named(const std::string& name) {
    for (size_t i = 0; i < std::size(k_effect_names); ++i)
        if (name == k_effect_names[i]) return static_cast<led_effect_kind>(i);
    throw py::value_error(
        "LED effect is one of always_on, blink, breathe, spectrum, scroll, rainbow_scroll, "
        "running_water, sliding, newton_cradle, meteor");
}

led_field field_named(const std::string& name) {
    if (name == "mode") return led_field::mode;
    if (name == "row") return led_field::row_number;
    if (name == "cycle") return led_field::cycle_time;
    if (name == "ramp") return led_field::ramp_factor;
    if (name == "stable") return led_field::stable_factor;
    throw py::value_error("LED field is one of mode, row, cycle, ramp, stable");
}

}  // namespace

void bind_storage(py::class_<device>& cls) {
    // NVMe.
    cls.def("nvme_identify",
            [](device& self, uint32_t nsid, uint32_t cns) {
                return read_bytes(self, "nvme_get_id fail", k_identify_len, [&](bridge_dev* dev, uint8_t* buffer) {
                    return nvme_identify(dev, nsid, cns, buffer, k_identify_len);
                });
            })
        .def("nvme_smart_log",
             [](device& self) {
                 return read_bytes(self, "nvme_get_smart_log fail", k_log_page_len,
                                   [](bridge_dev* dev, uint8_t* buffer) { return nvme_read_smart_log(dev, buffer); });
             })
        .def("nvme_log",
             [](device& self, int log_id) {
                 if (log_id != k_log_smart && log_id != k_log_sanitize)
                     throw py::value_error("log is 0x02 (SMART / Health) or 0x81 (Sanitize Status)");
                 return read_bytes(self, "nvme_get_log fail", k_log_page_len, [&](bridge_dev* dev, uint8_t* buffer) {
                     return nvme_get_log_page(dev, static_cast<uint8_t>(log_id), buffer);
                 });
             })
        .def("nvme_temp_threshold",
             [](device& self) {
                 uint16_t kelvin = 0;
                 run_checked(self, "nvme_get_temp_thres fail",
                             [&](bridge_dev* dev) { return nvme_get_temp_threshold(dev, &kelvin); });
                 return kelvin;
             })
        .def("nvme_set_cmd_timeout",
             [](device& self, uint32_t value) {
                 if (value < k_min_cmd_timeout || value > k_max_cmd_timeout)
                     throw py::value_error("command time-out must be 3 to 655");
                 run_checked(self, "nvme_cmd_timeout fail",
                             [&](bridge_dev* dev) { return nvme_set_cmd_timeout(dev, value); });
             })
        .def("nvme_rw_test", [](device& self) { run_checked(self, "nvme_rw_test fail", nvme_rw_test_run); })
        .def("nvme_disable_aspm", [](device& self) { run_checked(self, "nvme_aspm_dis fail", nvme_disable_aspm); })
        .def("nvme_disable_low_power",
             [](device& self) { run_checked(self, "nvme_lowpw_dis fail", nvme_disable_low_power); })
        .def("nvme_set_power_state",
             [](device& self, int state) {
                 run_checked(self, "nvme_pws fail",
                             [&](bridge_dev* dev) { return nvme_set_power_state(dev, static_cast<uint8_t>(state)); });
             })
        .def("nvme_read",
             [](device& self, uint64_t lba, uint32_t length) {
                 if (length == 0 || length % k_lba_size != 0) throw py::value_error("length is a multiple of 512");
                 return read_bytes(self, "nvme read fail", length, [&](bridge_dev* dev, uint8_t* buffer) {
                     return nvme_read_blocks(dev, lba, buffer, length);
                 });
             })
        .def("nvme_write",
             [](device& self, uint64_t lba, const py::bytes& data) {
                 const std::string bytes = static_cast<std::string>(data);
                 if (bytes.empty() || bytes.size() % k_lba_size != 0)
                     throw py::value_error("length is a multiple of 512");
                 run_checked(self, "nvme write fail", [&](bridge_dev* dev) {
                     return nvme_write_blocks(dev, lba, bytes.data(), static_cast<uint32_t>(bytes.size()));
                 });
             })
        // NVMe maintenance: firmware download and commit, format, sanitize.
        .def(
            "nvme_fw_download",
            [](device& self, const std::string& path, uint32_t xfer_size, uint32_t dword_offset) {
                run_checked(self, "nvme_fw_download fail", [&](bridge_dev* dev) {
                    return nvme_fw_image_download(dev, path.c_str(), xfer_size, dword_offset);
                });
            },
            py::arg("path"), py::arg("xfer_size") = 0, py::arg("dword_offset") = 0)
        .def("nvme_fw_commit",
             [](device& self, int slot, int action) {
                 run_checked(self, "nvme_fw_activate fail", [&](bridge_dev* dev) {
                     return nvme_fw_commit(dev, static_cast<uint8_t>(slot), static_cast<uint8_t>(action));
                 });
             })
        .def("nvme_format",
             [](device& self, uint32_t nsid, uint32_t fmt) {
                 run_checked(self, "nvme_format fail",
                             [&](bridge_dev* dev) { return nvme_format_nvm(dev, nsid, fmt); });
             })
        .def(
            "nvme_sanitize_start",
            [](device& self, int action, bool no_dealloc, bool oipbp, int owpass, bool ause, uint32_t pattern) {
                if (!sanitize_action_valid(static_cast<uint8_t>(action), no_dealloc, ause))
                    throw py::value_error(
                        "sanitize action is 1 (exit failure mode), 2 (block erase), 3 (overwrite) or 4 (crypto erase)");
                run_checked(self, "nvme_sanitize failed", [&](bridge_dev* dev) {
                    return nvme_sanitize_start(dev, no_dealloc, oipbp, static_cast<uint8_t>(owpass), ause,
                                               static_cast<uint8_t>(action), pattern);
                });
            },
            py::arg("action"), py::arg("no_dealloc") = false, py::arg("oipbp") = false, py::arg("owpass") = 1,
            py::arg("ause") = false, py::arg("pattern") = 0)
        // The PG record.
        .def("pg_record",
             [](device& self) {
                 return read_bytes(self, "pg_read failed.", k_pg_record_len, [](bridge_dev* dev, uint8_t* buffer) {
                     return read_pg_record(dev, buffer, k_pg_record_len);
                 });
             })
        .def("pg_commit",
             [](device& self, const py::bytes& data) {
                 const std::string record = static_cast<std::string>(data);
                 if (record.size() != k_pg_record_len) throw py::value_error("a PG record is 2048 bytes");
                 run_checked(self, "pg_write failed.", [&](bridge_dev* dev) {
                     return commit_pg_record(dev, reinterpret_cast<const uint8_t*>(record.data()), record.size());
                 });
             })
        .def("pg_write_config",
             [](device& self, const std::string& path) {
                 cmd_status status = 0;
                 run_checked(self, "pg_write failed.", [&](bridge_dev* dev) {
                     status = load_pg_config(dev, path.c_str(), false);
                     return status;
                 });
             })
        .def(
            "pg_get_value",
            [](device& self, int tag, size_t width, const std::string& line) {
                return read_bytes(self, line, width, [&](bridge_dev* dev, uint8_t* buffer) {
                    return get_pg_value(dev, static_cast<uint8_t>(tag), buffer, width);
                });
            },
            py::arg("tag"), py::arg("width"), py::arg("line") = "pg get value failed.")
        .def(
            "pg_set_value",
            [](device& self, int tag, const py::bytes& data, const std::string& line) {
                const std::string value = static_cast<std::string>(data);
                run_checked(self, line, [&](bridge_dev* dev) {
                    return set_pg_value(dev, static_cast<uint8_t>(tag), value.data(), value.size());
                });
            },
            py::arg("tag"), py::arg("data"), py::arg("line") = "pg set value fail")
        .def("pg_get_serial",
             [](device& self) {
                 char serial[k_serial_descriptor_capacity + 1] = {};
                 run_checked(self, "pg_get_sn failed.",
                             [&](bridge_dev* dev) { return get_pg_serial(dev, serial, k_serial_descriptor_capacity); });
                 return std::string(serial);
             })
        .def("pg_set_serial",
             [](device& self, const std::string& text) {
                 if (text.size() > k_serial_max_chars)
                     throw py::value_error("a serial number has at most 30 characters");
                 run_checked(self, "set sn fail",
                             [&](bridge_dev* dev) { return set_pg_serial(dev, text.c_str(), text.size()); });
             })
        // LED memory.
        .def("led_count",
             [](device& self) {
                 int32_t count = 0;
                 with_led_memory(self, "led_get_rgb_num fail",
                                 [&](bridge_dev*, led_mem_dev* record) { return led_get_rgb_num(record, &count); });
                 return count;
             })
        .def("led_memory",
             [](device& self) {
                 std::vector<uint8_t> image;
                 with_led_memory(self, "init led dev fail", [&](bridge_dev*, led_mem_dev* record) {
                     image.assign(record->image.get(), record->image.get() + record->image_size);
                     return cmd_status{0};
                 });
                 return as_bytes(image.data(), image.size());
             })
        .def("led_get_field",
             [](device& self, int state, int led, const std::string& name) {
                 const led_field field = field_named(name);
                 uint16_t value = 0;
                 with_led_memory(self, "led_get_" + name + " fail", [&](bridge_dev*, led_mem_dev* record) {
                     return led_get_field(record, static_cast<uint8_t>(state), static_cast<uint8_t>(led), field,
                                          &value);
                 });
                 return value;
             })
        .def("led_set_field",
             [](device& self, int state, int led, const std::string& name, uint16_t value) {
                 const led_field field = field_named(name);
                 with_led_memory(self, "led_set_" + name + " fail", [&](bridge_dev* dev, led_mem_dev* record) {
                     return led_set_field(dev, record, static_cast<uint8_t>(state), static_cast<uint8_t>(led), field,
                                          value, true);
                 });
             })
        .def("led_get_color",
             [](device& self, int state, int led, int row) {
                 uint8_t rgb[3] = {};
                 with_led_memory(self, "led_get_color fail", [&](bridge_dev*, led_mem_dev* record) {
                     return led_get_color(record, static_cast<uint8_t>(state), static_cast<uint8_t>(led),
                                          static_cast<uint8_t>(row), rgb);
                 });
                 return py::make_tuple(rgb[0], rgb[1], rgb[2]);
             })
        .def("led_set_color",
             [](device& self, int state, int led, int row, uint8_t red, uint8_t green, uint8_t blue) {
                 const uint8_t rgb[3] = {red, green, blue};
                 with_led_memory(self, "led_set_color fail", [&](bridge_dev* dev, led_mem_dev* record) {
                     return led_set_color(dev, record, static_cast<uint8_t>(state), static_cast<uint8_t>(led),
                                          static_cast<uint8_t>(row), rgb, 3, true);
                 });
             })
        .def("led_get_brightness",
             [](device& self) {
                 uint16_t value = 0;
                 with_led_memory(self, "led_get_bright fail",
                                 [&](bridge_dev*, led_mem_dev* record) { return led_get_brightness(record, &value); });
                 return value;
             })
        .def("led_set_brightness",
             [](device& self, uint16_t value) {
                 with_led_memory(self, "led_set_bright fail", [&](bridge_dev* dev, led_mem_dev* record) {
                     return led_set_brightness(dev, record, value, true);
                 });
             })
        .def(
            "led_set_effect",
            [](device& self, const std::string& name, uint32_t colour, uint16_t cycle) {
                const led_effect_kind kind = effect_named(name);
                with_led_memory(self, "led_set_eff_" + name + " fail", [&](bridge_dev* dev, led_mem_dev* record) {
                    return led_set_effect(dev, record, kind, colour, cycle);
                });
            },
            py::arg("name"), py::arg("colour") = 0, py::arg("cycle") = 0)
        .def("led_get_app_ctl",
             [](device& self) {
                 uint8_t enable = 0;
                 run_checked(self, "led_get_app_ctl fail",
                             [&](bridge_dev* dev) { return led_get_app_ctl(dev, &enable); });
                 return enable;
             })
        .def("led_set_app_ctl",
             [](device& self, bool enable) {
                 run_checked(self, "led_set_app_ctl fail",
                             [&](bridge_dev* dev) { return led_set_app_ctl(dev, enable ? 1 : 0); });
             })
        .def("led_argb_support",
             [](device& self) {
                 uint8_t support = 0;
                 run_checked(self, "led_get_sup_argb fail",
                             [&](bridge_dev* dev) { return led_get_argb_support(dev, &support); });
                 return support;
             })
        .def("led_sync_support",
             [](device& self, int ecosystem) {
                 uint8_t support = 0;
                 run_checked(self, "led get sync support fail", [&](bridge_dev* dev) {
                     return led_get_sync_support(dev, static_cast<uint8_t>(ecosystem), &support);
                 });
                 return support;
             })
        .def("led_set_rgb_direct", [](device& self, int sync_method, const py::bytes& data) {
            const std::string rgb = static_cast<std::string>(data);
            if (rgb.size() % 3 != 0 || rgb.size() / 3 > 255) throw py::value_error("colours are RGB triples");
            run_checked(self, "led_set_rgb_direct fail", [&](bridge_dev* dev) {
                return led_set_rgb_direct(dev, static_cast<uint8_t>(sync_method),
                                          reinterpret_cast<const uint8_t*>(rgb.data()),
                                          static_cast<uint8_t>(rgb.size() / 3));
            });
        });
}

}  // namespace zelko_py
