// The lab's platform port (port_lab.cpp) serves zelko/device/port.h from a lab directory.
#pragma once

#include <string>

// Attaches the port to a lab directory, once, before the tool runs. A directory that is
// missing or not a lab leaves every device path unopenable.
void lab_port_attach(const std::string& dir);
