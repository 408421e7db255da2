// One lab bridge served to a host outside the tool's own port (a virtual machine's USB
// bus). Every request is served as the lab's port serves it: under the bridge's lock,
// its fault rules and then the device model, the record saved when it changed, a trace
// line when tracing is on. The bridge is followed by its record, so a restart that brings
// it back under another name keeps it served.
#pragma once

#include <cstdint>
#include <string>

#include "lab/model/block.h"
#include "lab/usb/usb_identity.h"

struct served_bridge {
    std::string dir;
    std::string id;
    std::string name;   // the name it answers under now (its trace lines carry it)
    uint32_t boot = 0;  // the boot the host sees; a request of an older boot fails
};

// Finds the bridge `name` leads to. A CD-ROM volume name is refused: the volume is a
// unit of its bridge, not a device of its own on the bus.
bool served_bridge_open(const std::string& dir, const std::string& name, served_bridge* bridge, std::string* error);

// The bridge as it is now: whether it answers, its boot, its name and its USB identity.
struct bridge_presence {
    bool answers = false;
    uint32_t boot = 0;
    std::string name;
    usb_identity identity;
};
bool served_bridge_look(const served_bridge& bridge, bridge_presence* presence);

// The trace lines of the host's session with the bridge, as the lab's port writes them
// for an open and a close: the device put on the bus opens it ("OPEN NAME ok"), taken off
// the bus or left by the host closes it ("CLOSE NAME"). Written when the lab traces.
void served_bridge_trace_open(const served_bridge& bridge);
void served_bridge_trace_close(const served_bridge& bridge);

// Serves one command block of the boot the host sees. A bridge that restarted since, or
// that does not answer, fails the request with the OS error of a device gone.
void served_bridge_request(served_bridge& bridge, const block_request& request, block_answer& answer);
