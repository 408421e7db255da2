// Pure helpers of the Linux port: device node names and sysfs paths, kept apart from
// the system calls so that they can be tested on any text.
#pragma once

#include <string>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// The node's name below its directory ("/dev/sdb" gives "sdb"); the text itself when it
// has no slash.
std::string node_name(const std::string& path);

// True when a resolved sysfs device path runs through a USB bus: one of its components
// is "usbN" (N decimal digits), as in ".../usb2/2-1/2-1:1.0/host6/...".
bool sysfs_path_is_usb(const std::string& resolved);

// Whole-disk nodes: "sd" followed by lower-case letters only ("sda", "sdaa"; not "sda1").
bool is_whole_disk_name(const std::string& name);

// Optical nodes: "sr" followed by decimal digits only ("sr0", "sr10").
bool is_optical_name(const std::string& name);

// The kernel's naming order: shorter names first, then by text, so that "sdz" comes
// before "sdaa" and "sr2" before "sr10".
bool kernel_order(const std::string& a, const std::string& b);

}  // namespace zelko
ZELKO_API_END
