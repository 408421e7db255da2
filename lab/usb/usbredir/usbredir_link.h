// `serve NAME --usbredir SOCKET`: one lab bridge on a virtual machine's USB bus, through
// QEMU's usb-redir device. Built with libusbredirparser when the build machine has it
// (usbredir_link.cpp); without it, usbredir_none.cpp says so.
#pragma once

#include <string>

// Listens on the UNIX socket `socket_path`, serves the bridge to the one peer that
// connects, and returns the process's exit status when the peer goes away.
int serve_over_usbredir(const std::string& dir, const std::string& name, const std::string& socket_path);
