// The command table: one row per command, in the order that is the command's identity.
#pragma once

#include <cstdint>
#include <span>

#include "cli/command.h"

namespace zelko {

// What the dispatcher prepares before a row's handler runs.
enum class precheck : uint8_t {
    help,    // the manual; no device
    none,    // no device
    device,  // open, bridge check, write unlock, bridge name
    disk,    // device + disk status and identity
    query,   // disk, but an identity failure is tolerated
    nvme,    // disk + an NVMe disk is required
    pcie,    // disk + a PCIe device is required
    sata,    // disk + a SATA disk is required
    led,     // device + the LED memory image
};

struct command_row {
    char name[50];
    int32_t argc;  // required words, program name and command word included
    precheck cls;
    command_handler handler;  // null only for the manual, which the dispatcher prints itself
};

// The table's size is taken from its rows where it is defined, and checked there against
// this count at compile time: a row lost or added by mistake does not build.
constexpr int k_command_count = 95;
extern const command_row command_table[];

// The whole table, for walking it.
inline std::span<const command_row> command_rows() { return {command_table, k_command_count}; }

// Whether a row's command takes a device path as its second word.
constexpr bool takes_device(precheck cls) { return cls != precheck::help && cls != precheck::none; }

// Index of the row whose name equals `word` exactly, or -1.
int find_command(const char* word);

}  // namespace zelko
