// zelko._lab: the bindings linked with the lab's platform port, which serves the device
// paths of one lab directory. This is the one binding source that includes the lab.
#include "bindings.h"
#include "lab/host/lab_port.h"

PYBIND11_MODULE(_lab, m) {
    m.doc() = "zelko bound to the emulated bridges of a lab directory";
    zelko_py::bind_all(m);
    m.def(
        "attach", [](const std::string& dir) { lab_port_attach(dir); }, pybind11::arg("directory"),
        "Points the lab's port at a lab directory (process-wide: one lab at a time).");
}
