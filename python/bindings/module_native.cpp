// zelko._native: the bindings linked with the host's own platform port.
#include "bindings.h"

PYBIND11_MODULE(_native, m) {
    m.doc() = "zelko bound to this machine's devices";
    zelko_py::bind_all(m);
}
