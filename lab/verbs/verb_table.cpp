#include "lab/verbs/verb_table.h"

namespace {

constexpr verb_row k_verbs[] = {
    {"init", verb_init, "init [--time-factor N] [--trace on|off]",
     "Makes an empty lab in a missing or empty directory.", false},
    {"create", verb_create,
     "create NAME [--cdrom-of BRIDGE | [--foreign] [--gen 0|1] [--disk nvme|sata|none] [--KEY VALUE]...]",
     "Adds a device: a bridge of generation 0 or 1 with an NVMe, SATA or no disk, another vendor's USB disk, or a "
     "volume letter as a bridge's CD-ROM; any set key can be given as an option. Makes the lab when needed.",
     false},
    {"show", verb_show, "show [NAME [SECTION [OFFSET [LENGTH]]]]",
     "Prints the lab's settings and devices, or one device's identity, disk, settings, state, registers, memory, "
     "pins and faults; a SECTION prints one of them, blocks the command blocks it handles, and a memory (flash, "
     "led, media) or an area of the flash a hex dump, of OFFSET and LENGTH when given.",
     false},
    {"fill", verb_fill, "fill NAME MEMORY OFFSET LENGTH BYTE",
     "Writes LENGTH bytes of the value BYTE into a bridge's memory at OFFSET, as if the device had written them.",
     false},
    {"set", verb_set, "set NAME KEY VALUE | set lab time_factor N | set lab trace on|off",
     "Changes one bridge-level behaviour (the keys are listed below), or a setting of the lab itself.", false},
    {"fault", verb_fault, "fault NAME add PATTERN OPTIONS... | list | remove N | clear",
     "Makes a device misbehave on purpose: command blocks matching PATTERN (hex bytes, .. for any) are answered "
     "with --status S [--sense K/ASC/ASCQ], --os-error E, --short N, --corrupt, --corrupt-write or --tear N, "
     "optionally only --first N or --after M times.",
     false},
    {"restart", verb_restart, "restart NAME",
     "Restarts a bridge as its own restart command does: away for restart_delay_ms of lab time, back under "
     "restart_name when set, or never with restart_never 1.",
     false},
    {"trace", verb_trace, "trace on|off|show|clear",
     "Switches, prints or empties the trace of every open, bus query, request attempt and close (DIR/trace.log).",
     false},
    {"run", verb_run, "run [--as PROGRAM] COMMAND [ARGS...]",
     "Runs the tool's own front end on the lab's devices and prints exactly what mvbridge prints on a machine "
     "with the same bridges.",
     false},
    {"serve", verb_serve, "serve NAME --usbredir SOCKET",
     "Serves one bridge as a USB mass-storage device to a virtual machine: QEMU's usb-redir device connects to "
     "the UNIX socket SOCKET; the bridge answers every command block as under run, and a restart takes it off "
     "the bus until it is back. Ends when the virtual machine goes away.",
     false},
    {"mkimage", verb_mkimage,
     "mkimage FILE main|rescue CHIP SIZE [--version MAJOR.MINOR.PATCH] [--date YYYYMMDD] [--at ADDRESS] [--bad-crc]",
     "Writes a firmware image of SIZE bytes (a multiple of 4096) for bridges whose images carry chip code CHIP: its "
     "header goes to the PG sector, its rear part to ADDRESS (main 0x8C010000, rescue 0x8C110000 unless given); "
     "--bad-crc makes its CRC wrong.",
     false},
    {"mkled", verb_mkled, "mkled FILE [--leds N] [--bright N] [--at ADDRESS] [--bad-length]",
     "Writes an LED image: a 64-byte header and an LED memory image for N LEDs with brightness word N, to be "
     "written at ADDRESS (0x8C1F0000, the LED image area of a 2 MiB flash, unless given); --bad-length makes its "
     "lengths disagree with its size.",
     false},
    {"complete", verb_complete, "complete WORD...",
     "Prints the words that can follow WORD... on the lab's command line, one a line, for the shell completion.", true},
};

}  // namespace

std::span<const verb_row> lab_verbs() { return k_verbs; }

const verb_row* find_verb(const std::string& name) {
    for (const verb_row& verb : k_verbs) {
        if (name == verb.name) return &verb;
    }
    return nullptr;
}
