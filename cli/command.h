// What a command handler receives from the dispatcher.
#pragma once

#include "zelko/device/discovery.h"
#include "zelko/device/transport.h"

namespace zelko {

struct led_mem_dev;

struct command_context {
    int argc = 0;
    char** argv = nullptr;                // argv[1] the command word, argv[2] the device path
    bridge_dev_ptr* device = nullptr;     // the opened device; null for class none
    const char* bridge_name = nullptr;    // 512-byte text from the bridge's INQUIRY
    const disk_status* status = nullptr;  // disk status (zeroed when it could not be read)
    const disk_ident* ident = nullptr;    // disk identity (zeroed when it could not be read)
    bool ident_ok = false;                // the disk identity was read
    led_mem_dev* led = nullptr;           // LED memory image of LED rows

    bridge_dev* dev() const { return device != nullptr ? device->get() : nullptr; }
    const char* command() const { return argv[1]; }
    const char* path() const { return argv[2]; }
};

using command_handler = void (*)(command_context& ctx);

// The word of the result lines "%s ok\n" and "%s fail\n".
inline const char* ok_or_fail(cmd_status status) { return status == 0 ? "ok" : "fail"; }

}  // namespace zelko
