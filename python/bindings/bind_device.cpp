// The device object and the bridge's own operations: identity, information and control,
// pins (I2C, GPIO), the serial port, RAID, the PCIe function and the SATA disk.
#include <pybind11/stl.h>

#include <cstring>
#include <vector>

#include "bindings.h"

namespace zelko_py {

using namespace zelko;

namespace {

const char* category_name(result_category category) {
    switch (category) {
        case result_category::not_sent: return "not_sent";
        case result_category::good: return "good";
        case result_category::check_condition: return "check_condition";
        case result_category::scsi_status: return "scsi_status";
        case result_category::short_answer: return "short_answer";
        case result_category::os_error: return "os_error";
        case result_category::time_out: return "time_out";
    }
    return "not_sent";
}

std::string bytes_of(const py::bytes& data) { return static_cast<std::string>(data); }

void check_range(long value, long low, long high, const char* what) {
    if (value < low || value > high)
        throw py::value_error(std::string(what) + " must be " + std::to_string(low) + " to " + std::to_string(high));
}

}  // namespace

bridge_dev* device::get() const {
    if (!dev) {
        send_result none;
        raise_device_error("device closed", -1, none);
    }
    return dev.get();
}

void device::close() {
    std::lock_guard<std::mutex> guard(lock);
    dev_close(dev);
}

void raise_device_error(const std::string& line, cmd_status status, const send_result& record) {
    // The tool's "COMMAND failed." lines end with the status in brackets.
    const std::string suffix = " failed.";
    std::string text = line;
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
        text += " (" + std::to_string(status) + ")";
    py::object cls = py::module_::import("zelko._errors").attr("DeviceError");
    py::dict result;
    result["status"] = record.status;
    result["category"] = category_name(record.category);
    result["scsi_status"] = record.scsi_status;
    result["os_error"] = record.os_error;
    result["sense"] = as_bytes(record.sense, sizeof record.sense);
    result["transferred"] = record.transferred;
    result["residual"] = record.residual;
    result["description"] = describe(record);
    const sense_code code = decode_sense(record.sense);
    result["sense_key"] = code.valid ? py::object(py::int_(code.key)) : py::object(py::none());
    result["asc"] = code.valid ? py::object(py::int_(code.asc)) : py::object(py::none());
    result["ascq"] = code.valid ? py::object(py::int_(code.ascq)) : py::object(py::none());
    py::object error = cls(text, status, result);
    PyErr_SetObject(cls.ptr(), error.ptr());
    throw py::error_already_set();
}

void bind_device(py::module_& m, py::class_<device>& cls) {
    m.def(
        "open_device",
        [](const std::string& path) {
            auto self = std::make_unique<device>();
            self->path = path;
            {
                py::gil_scoped_release unlocked;
                self->dev = dev_open(path.c_str());
            }
            if (!self->dev) raise_device_error("open " + path + " fail", -1, send_result{});
            return self;
        },
        py::arg("path"), "Opens a device path; raises DeviceError when it does not open.");

    cls.def_readonly("path", &device::path)
        .def("close", &device::close, "Closes the device; later calls raise DeviceError.")
        .def_property_readonly("closed", [](const device& self) { return !self.dev; })
        .def("last_result",
             [](device& self) {
                 const send_result record = last_result(self.get());
                 return py::make_tuple(record.status, category_name(record.category), describe(record));
             })
        // Identity.
        .def("bridge_name",
             [](device& self) {
                 char name[k_bridge_name_chars + 1] = {};
                 run_checked(self, "get bridge name fail", [&](bridge_dev* dev) { return get_bridge_name(dev, name); });
                 return std::string(name);
             })
        .def("generation",
             [](device& self) {
                 int generation = -1;
                 run_checked(self, "", [&](bridge_dev* dev) {
                     generation = identify_bridge(dev);
                     return 0;
                 });
                 return generation;
             })
        .def("disk_status",
             [](device& self) {
                 disk_status status;
                 run_checked(self, "get disk status fail",
                             [&](bridge_dev* dev) { return get_disk_status(dev, &status); });
                 return py::make_tuple(status.disk_type, status.disk_state, status.pcie_link);
             })
        .def("disk_ident",
             [](device& self) {
                 disk_ident ident;
                 run_checked(self, "get disk ident fail", [&](bridge_dev* dev) { return get_disk_ident(dev, &ident); });
                 return py::make_tuple(std::string(ident.model), std::string(ident.serial),
                                       std::string(ident.firmware));
             })
        // Information and control.
        .def("uuid",
             [](device& self) {
                 uint32_t uuid = 0;
                 run_checked(self, "get uuid fail", [&](bridge_dev* dev) { return get_uuid(dev, &uuid); });
                 return uuid;
             })
        .def("fw_version",
             [](device& self) {
                 fw_version version;
                 run_checked(self, "fw_ver fail", [&](bridge_dev* dev) { return get_fw_version(dev, &version); });
                 return py::make_tuple(version.major, version.minor, version.patch, version.reserved,
                                       version.build_date);
             })
        .def("get_cust_page",
             [](device& self) {
                 return read_bytes(self, "get_cust_page fail", k_cust_page_len,
                                   [](bridge_dev* dev, uint8_t* page) { return get_cust_page(dev, page); });
             })
        .def("set_cust_page",
             [](device& self, const py::bytes& data) {
                 const std::string text = bytes_of(data);
                 if (text.size() > static_cast<size_t>(k_cust_page_len))
                     throw py::value_error("the customer page holds 4096 bytes");
                 std::vector<uint8_t> page(k_cust_page_len, 0);
                 std::memcpy(page.data(), text.data(), text.size());
                 run_checked(self, "set_cust_page fail",
                             [&](bridge_dev* dev) { return set_cust_page(dev, page.data()); });
             })
        .def("restart",
             [](device& self, int type) {
                 check_range(type, 0, 2, "restart type");
                 // The bridge drops off the bus while it restarts: the exchange's status says
                 // nothing about the restart, as the tool does not show it either.
                 bridge_dev* dev = self.get();
                 py::gil_scoped_release unlocked;
                 std::lock_guard<std::mutex> guard(self.lock);
                 bridge_restart(dev, static_cast<uint8_t>(type));
             })
        .def("get_disk_speed",
             [](device& self) {
                 uint8_t speed = 0;
                 run_checked(self, "get_disk_speed fail", [&](bridge_dev* dev) { return get_disk_speed(dev, &speed); });
                 return speed;
             })
        .def("set_disk_speed",
             [](device& self, int speed) {
                 check_range(speed, 0, k_max_disk_speed, "disk speed");
                 run_checked(self, "set_disk_speed fail",
                             [&](bridge_dev* dev) { return set_disk_speed(dev, static_cast<uint8_t>(speed)); });
             })
        .def("get_rw_mode",
             [](device& self) {
                 uint8_t mode = 0;
                 run_checked(self, "get_bridge_rw_md fail",
                             [&](bridge_dev* dev) { return get_bridge_rw_mode(dev, &mode); });
                 return mode;
             })
        .def("set_rw_mode",
             [](device& self, int mode) {
                 check_range(mode, 0, 255, "read/write mode");
                 run_checked(self, "set_bridge_rw_md fail",
                             [&](bridge_dev* dev) { return set_bridge_rw_mode(dev, static_cast<uint8_t>(mode)); });
             })
        .def("status_block",
             [](device& self) {
                 return read_bytes(self, "get status block fail", k_status_block_len,
                                   [](bridge_dev* dev, uint8_t* block) { return get_status_block(dev, block); });
             })
        .def("disable_hotplug",
             [](device& self) {
                 run_checked(self, "set_disk_hotplug_dis fail",
                             [](bridge_dev* dev) { return disable_disk_hotplug(dev); });
             })
        // Pins.
        .def("i2c_init",
             [](device& self, int id, int slave, int scl, int sda) {
                 run_checked(self, "i2c_init fail", [&](bridge_dev* dev) {
                     return i2c_init(dev, static_cast<uint8_t>(id), static_cast<uint16_t>(slave),
                                     static_cast<uint8_t>(scl), static_cast<uint8_t>(sda));
                 });
             })
        .def("i2c_write",
             [](device& self, int id, int slave, const py::bytes& data) {
                 const std::string bytes = bytes_of(data);
                 check_range(static_cast<long>(bytes.size()), 0, k_i2c_max_write, "I2C write length");
                 run_checked(self, "i2c_write fail", [&](bridge_dev* dev) {
                     return i2c_write(dev, static_cast<uint8_t>(id), static_cast<uint16_t>(slave),
                                      reinterpret_cast<const uint8_t*>(bytes.data()),
                                      static_cast<int32_t>(bytes.size()));
                 });
             })
        .def(
            "i2c_read",
            [](device& self, int id, int slave, int length, py::object write_byte) {
                check_range(length, 1, k_i2c_max_read, "I2C read length");
                const bool write_first = !write_byte.is_none();
                const uint8_t first = write_first ? write_byte.cast<uint8_t>() : 0;
                return read_bytes(self, write_first ? "i2c_read_wf fail" : "i2c_read fail", length,
                                  [&](bridge_dev* dev, uint8_t* buffer) {
                                      return i2c_read(dev, static_cast<uint8_t>(id), static_cast<uint16_t>(slave),
                                                      write_first, first, buffer, length);
                                  });
            },
            py::arg("id"), py::arg("slave"), py::arg("length"), py::arg("write_byte") = py::none())
        .def("gpio_init",
             [](device& self, int gpio, int direction) {
                 run_checked(self, "gpio_init fail", [&](bridge_dev* dev) {
                     const cmd_status status = gpio_mux(dev, static_cast<uint8_t>(gpio), k_gpio_function_gpio);
                     if (status != 0) return status;
                     return gpio_dir(dev, static_cast<uint8_t>(gpio), static_cast<uint8_t>(direction));
                 });
             })
        .def("gpio_set",
             [](device& self, int gpio, int value) {
                 run_checked(self, "gpio_set fail", [&](bridge_dev* dev) {
                     return gpio_set(dev, static_cast<uint8_t>(gpio), static_cast<uint8_t>(value));
                 });
             })
        .def("gpio_get",
             [](device& self, int gpio) {
                 uint8_t value = 0;
                 run_checked(self, "gpio_get fail",
                             [&](bridge_dev* dev) { return gpio_get(dev, static_cast<uint8_t>(gpio), &value); });
                 return value;
             })
        // Serial port and RAID.
        .def("uart_init",
             [](device& self, int rx_pin, uint32_t baud) {
                 run_checked(self, "uart_init fail",
                             [&](bridge_dev* dev) { return uart_set_rx(dev, static_cast<uint8_t>(rx_pin), baud); });
             })
        .def(
            "uart_tx",
            [](device& self, const py::bytes& data, uint32_t baud, py::object tx_pin) {
                const std::string bytes = bytes_of(data);
                const bool with_pin = !tx_pin.is_none();
                const uint8_t pin = with_pin ? tx_pin.cast<uint8_t>() : 0;
                run_checked(self, "uart_tx fail", [&](bridge_dev* dev) {
                    return uart_transmit(dev, with_pin, pin, baud, reinterpret_cast<const uint8_t*>(bytes.data()),
                                         static_cast<int32_t>(bytes.size()));
                });
            },
            py::arg("data"), py::arg("baud"), py::arg("tx_pin") = py::none())
        .def("uart_rx_count",
             [](device& self) {
                 uint32_t count = 0;
                 run_checked(self, "uart_rx_cnt fail",
                             [&](bridge_dev* dev) { return uart_receive_count(dev, &count); });
                 return count;
             })
        .def("uart_rx",
             [](device& self, uint32_t count) {
                 check_range(count, 0, k_uart_max_receive, "UART receive count");
                 std::vector<uint8_t> buffer(k_uart_max_receive);
                 uint32_t received = 0;
                 run_checked(self, "uart_rx fail", [&](bridge_dev* dev) {
                     return uart_receive(dev, buffer.data(), static_cast<int32_t>(count), &received);
                 });
                 return as_bytes(buffer.data(), std::min<uint32_t>(received, count));
             })
        .def("uart_clear", [](device& self) { run_checked(self, "uart_clear_buf fail", uart_clear); })
        .def("get_raid_mode",
             [](device& self) {
                 uint8_t mode = 0;
                 run_checked(self, "raid_get_mode fail", [&](bridge_dev* dev) { return get_raid_mode(dev, &mode); });
                 return mode;
             })
        .def("set_raid_mode",
             [](device& self, int mode) {
                 check_range(mode, 0, k_raid_max_mode, "RAID mode");
                 run_checked(self, "raid_set_mode fail",
                             [&](bridge_dev* dev) { return set_raid_mode(dev, static_cast<uint8_t>(mode)); });
             })
        // The PCIe function and the SATA disk.
        .def("pcie_read_conf",
             [](device& self, int reg, int length) {
                 check_range(reg, 0, 255, "configuration register");
                 check_range(length, 1, k_pcie_conf_max_read, "configuration read length");
                 return read_bytes(self, "pcie_read_conf fail", length, [&](bridge_dev* dev, uint8_t* buffer) {
                     return pcie_conf_read(dev, static_cast<uint8_t>(reg), buffer, length);
                 });
             })
        .def("pcie_write_conf",
             [](device& self, int reg, const py::bytes& data) {
                 check_range(reg, 0, 255, "configuration register");
                 const std::string bytes = bytes_of(data);
                 run_checked(self, "pcie_write_conf fail", [&](bridge_dev* dev) {
                     return pcie_conf_write(dev, static_cast<uint8_t>(reg),
                                            reinterpret_cast<const uint8_t*>(bytes.data()),
                                            static_cast<int32_t>(bytes.size()));
                 });
             })
        .def("pcie_read_mem",
             [](device& self, uint32_t address, int length) {
                 check_range(length, 1, k_pcie_mem_max_read, "memory read length");
                 return read_bytes(self, "pcie_read_mem fail", length, [&](bridge_dev* dev, uint8_t* buffer) {
                     return pcie_mem_read(dev, address, buffer, length);
                 });
             })
        .def("pcie_write_mem",
             [](device& self, uint32_t address, const py::bytes& data) {
                 const std::string bytes = bytes_of(data);
                 run_checked(self, "pcie_write_mem fail", [&](bridge_dev* dev) {
                     return pcie_mem_write(dev, address, reinterpret_cast<const uint8_t*>(bytes.data()),
                                           static_cast<int32_t>(bytes.size()));
                 });
             })
        .def("pcie_link",
             [](device& self, bool capability) {
                 uint32_t value = 0;
                 const uint8_t field = capability ? k_pcie_link_cap : k_pcie_link_status;
                 run_checked(self, capability ? "pcie_get_link_cap fail" : "pcie_get_link_status fail",
                             [&](bridge_dev* dev) { return pcie_read_link_field(dev, field, &value); });
                 return py::make_tuple(link_speed(value), link_width(value));
             })
        .def("ata_smart",
             [](device& self) {
                 return read_bytes(
                     self, "ata_get_smart_log fail", k_smart_data_len,
                     [](bridge_dev* dev, uint8_t* buffer) { return ata_smart_read(dev, buffer, k_smart_data_len); });
             })
        .def("ata_set_feature", [](device& self, int feature, int count) {
            run_checked(self, "ata_set_feature fail", [&](bridge_dev* dev) {
                return ata_set_features(dev, static_cast<uint8_t>(feature), static_cast<uint8_t>(count));
            });
        });
}

void bind_all(py::module_& m) {
    // Local to each module: both extension modules bind the same C++ type.
    py::class_<device> cls(m, "Device", py::module_local(),
                           "An opened device path (use zelko.open for the documented API).");
    bind_device(m, cls);
    bind_storage(cls);
    bind_functions(m);
}

}  // namespace zelko_py
