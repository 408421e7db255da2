// Shared pieces of the Python bindings: the device object the module hands out, the
// failure that becomes zelko.DeviceError, and the binders of each part of the API.
//
// The binding sources name no platform port: they are compiled once and linked into two
// extension modules, zelko._native (the host's port) and zelko._lab (the lab's port).
#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <string>
#include <vector>

#include "zelko/zelko.h"

namespace zelko_py {

namespace py = pybind11;

// An opened bridge. Requests run with the GIL released and under the device's own lock, so
// threads may share a device object and several devices run at once.
struct device {
    std::string path;
    zelko::bridge_dev_ptr dev;
    std::mutex lock;

    zelko::bridge_dev* get() const;  // raises zelko.DeviceError once closed
    void close();
};

// Raises zelko.DeviceError for a failed operation: `status` its cmd_status, `line` what the
// tool prints for the same failure, `record` the result record of the request that failed.
[[noreturn]] void raise_device_error(const std::string& line, zelko::cmd_status status,
                                     const zelko::send_result& record);

// Runs `operation` (a callable taking the bridge_dev*) with the GIL released and the device
// locked. The device's record is reset first, so a failure found before anything was sent
// reads as "not sent" rather than as the previous request's outcome. Raises DeviceError
// with `line` when the status is nonzero.
template <typename Operation>
void run_checked(device& self, const std::string& line, Operation&& operation) {
    zelko::bridge_dev* dev = self.get();
    zelko::cmd_status status = 0;
    zelko::send_result record;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> guard(self.lock);
        dev->last = zelko::send_result{};
        status = operation(dev);
        record = zelko::last_result(dev);
    }
    if (status != 0) raise_device_error(line, status, record);
}

// Bytes handed to Python.
inline py::bytes as_bytes(const void* data, size_t length) { return py::bytes(static_cast<const char*>(data), length); }

// Reads `length` bytes into a fresh buffer through `read` (taking the bridge_dev* and the
// buffer) under run_checked, and hands them back as bytes.
template <typename Read>
py::bytes read_bytes(device& self, const std::string& line, size_t length, Read&& read) {
    std::vector<uint8_t> buffer(length);
    run_checked(self, line, [&](zelko::bridge_dev* dev) { return read(dev, buffer.data()); });
    return as_bytes(buffer.data(), buffer.size());
}

// Text a report printer writes to a FILE*, caught in memory.
template <typename Printer>
std::string capture(Printer&& printer) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    if (out == nullptr) throw std::bad_alloc();
    printer(out);
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

// The binders, one per part of the API.
void bind_device(py::module_& m, py::class_<device>& cls);
void bind_storage(py::class_<device>& cls);
void bind_functions(py::module_& m);

// All of it: what each extension module's init calls.
void bind_all(py::module_& m);

}  // namespace zelko_py
