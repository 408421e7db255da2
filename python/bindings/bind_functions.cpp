// Module functions: the scan, the firmware update, the PG record decoder and the report
// printers, each report caught as text.
#include <pybind11/stl.h>

#include <chrono>
#include <condition_variable>
#include <thread>
#include <vector>

#include "bindings.h"

namespace zelko_py {

using namespace zelko;

namespace {

std::string bytes_of(const py::bytes& data, size_t length, const char* what) {
    std::string bytes = static_cast<std::string>(data);
    if (bytes.size() != length) throw py::value_error(std::string(what) + " is " + std::to_string(length) + " bytes");
    return bytes;
}

const uint8_t* raw(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

py::dict pg_info_dict(const PgInfo& info) {
    py::dict out;
    out["VID"] = info.VID;
    out["PID"] = info.PID;
    out["PRODUCT"] = std::string(info.PRODUCT);
    out["MANUFACTURE"] = std::string(info.MANUFACTURE);
    out["SERIAL"] = std::string(info.SERIAL);
    out["SCSI_VENDOR"] = std::string(info.SCSI_VENDOR);
    out["SCSI_PRODUCT"] = std::string(info.SCSI_PRODUCT);
    out["ASPMDIS"] = info.ASPMDIS;
    out["DISK_IPS_THRES"] = info.DISK_IPS_THRES;
    out["LED"] = info.LED;
    out["HW_LED_CFG"] = info.HW_LED_CFG;
    out["CUSTOMIZED_LED"] = py::bytes(reinterpret_cast<const char*>(info.CUSTOMIZED_LED), sizeof info.CUSTOMIZED_LED);
    out["SUSPEND_LED_OFF"] = info.SUSPEND_LED_OFF;
    out["UART_DBG_PIN"] = info.UART_DBG_PIN;
    out["DISK_HOTPLUG"] = info.DISK_HOTPLUG;
    out["SD_MMC_TYPE"] = info.SD_MMC_TYPE;
    out["USB_SELF_PWR"] = info.USB_SELF_PWR;
    out["CUSTOMIZED_FEATURE"] = info.CUSTOMIZED_FEATURE;
    out["SUPPORT_HID"] = info.SUPPORT_HID;
    return out;
}

PgInfo decode_record(const std::string& record) {
    PgInfo info{};
    const cmd_status status = decode_pg_record(raw(record), record.size(), &info);
    if (status != 0) raise_device_error("pg_read failed. (" + std::to_string(status) + ")", status, send_result{});
    return info;
}

// What the firmware update's progress record held when the watcher last looked.
struct progress_seen {
    uint32_t written = 0;
    uint32_t total = 0;
};

}  // namespace

void bind_functions(py::module_& m) {
    m.attr("api_version") = k_api_version;

    m.def(
        "scan",
        [](bool keep_diskless) {
            std::vector<std::unique_ptr<bridge_node>> nodes;
            {
                py::gil_scoped_release unlocked;
                nodes = scan_bridges(keep_diskless);
            }
            py::list out;
            for (const auto& node : nodes) {
                py::dict entry;
                entry["path"] = std::string(node->path);
                entry["name"] = std::string(node->bridge);
                entry["model"] = std::string(node->ident.model);
                entry["serial"] = std::string(node->ident.serial);
                entry["firmware"] = std::string(node->ident.firmware);
                out.append(entry);
            }
            return out;
        },
        py::arg("keep_diskless") = false);

    m.def(
        "fw_update",
        [](const std::string& path, const std::string& main_image, const std::string& rescue_image,
           const std::string& config, const std::string& led, py::object progress, double interval) {
            update_progress record;
            std::mutex lock;
            std::condition_variable ended;
            bool done = false;
            int32_t code = 0;
            std::thread worker([&] {
                const int32_t result = run_fw_update(record, path.c_str(), main_image.c_str(), rescue_image.c_str(),
                                                     config.c_str(), led.c_str());
                std::lock_guard<std::mutex> guard(lock);
                code = result;
                done = true;
                ended.notify_all();
            });
            // The caller's callback runs on the caller's thread, with the GIL, whenever the
            // byte count moved; the update itself never waits for it. An exception from the
            // callback is raised once the update has ended (a flash write is not broken off).
            progress_seen seen;
            py::object failure;
            const auto period = std::chrono::duration<double>(interval);
            for (;;) {
                bool finished = false;
                {
                    py::gil_scoped_release unlocked;
                    std::unique_lock<std::mutex> guard(lock);
                    ended.wait_for(guard, period, [&] { return done; });
                    finished = done;
                }
                const progress_seen now{record.written.load(), record.total.load()};
                if (!progress.is_none() && !failure && (now.written != seen.written || now.total != seen.total)) {
                    seen = now;
                    try {
                        progress(now.written, now.total);
                    } catch (py::error_already_set& error) {
                        failure = py::reinterpret_borrow<py::object>(error.value());
                    }
                }
                if (finished) break;
            }
            {
                py::gil_scoped_release unlocked;
                worker.join();
            }
            if (failure) {
                PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(failure.ptr())), failure.ptr());
                throw py::error_already_set();
            }
            return code;
        },
        py::arg("path"), py::arg("main"), py::arg("rescue"), py::arg("config") = "", py::arg("led") = "",
        py::arg("progress") = py::none(), py::arg("interval") = 0.1);

    m.def("decode_pg_record", [](const py::bytes& data) {
        return pg_info_dict(decode_record(bytes_of(data, k_pg_record_len, "a PG record")));
    });
    m.def("pg_report", [](const py::bytes& data) {
        const PgInfo info = decode_record(bytes_of(data, k_pg_record_len, "a PG record"));
        return capture([&](std::FILE* out) { print_pg_info(out, info); });
    });
    m.def("smart_log_report", [](const py::bytes& data) {
        const std::string page = bytes_of(data, k_log_report_len, "a SMART / Health log");
        return capture([&](std::FILE* out) { print_nvme_smart_log(out, raw(page)); });
    });
    m.def("sanitize_log_report", [](const py::bytes& data) {
        const std::string page = bytes_of(data, k_log_report_len, "a Sanitize Status log");
        return capture([&](std::FILE* out) { print_nvme_sanitize_log(out, raw(page)); });
    });
    m.def("id_ctrl_report", [](const py::bytes& data) {
        const std::string page = bytes_of(data, k_identify_len, "an Identify Controller page");
        return capture([&](std::FILE* out) { print_nvme_id_ctrl(out, raw(page)); });
    });
    m.def("ata_smart_report", [](const py::bytes& data) {
        const std::string page = bytes_of(data, k_smart_data_len, "SMART data");
        return capture([&](std::FILE* out) { smart_table_print(out, raw(page), page.size()); });
    });
    m.def("hex_dump", [](const py::bytes& data) {
        const std::string bytes = static_cast<std::string>(data);
        return capture([&](std::FILE* out) { print_hex_dump(out, raw(bytes), bytes.size()); });
    });
}

}  // namespace zelko_py
