#include "lab/verbs/verb_table.h"

#include <algorithm>
#include <cstdio>

namespace {

// The help verb: the usage on standard output.
int verb_help(const std::string&, const verb_args&) {
    print_lab_usage(stdout);
    return 0;
}

constexpr verb_row k_verbs[] = {
    {"init", verb_init, "init [--time-factor N] [--step-time] [--trace on|off]",
     "Makes an empty lab in a missing or empty directory; --time-factor N makes lab time run N times faster than "
     "real time, --step-time makes it stand still but for the tool's sleeps, --trace on starts the trace.",
     false},
    {"create", verb_create,
     "create NAME [--cdrom-of BRIDGE | [--foreign] [--gen 0|1] [--disk nvme|sata|none] [--nvme-id-ctrl FILE] "
     "[--nvme-id-ns FILE] [--nvme-smart FILE] [--KEY VALUE]...]",
     "Adds a device: a bridge of generation 0 or 1 with an NVMe, SATA or no disk, another vendor's USB disk, or a "
     "volume letter as a bridge's CD-ROM. --nvme-id-ctrl, --nvme-id-ns and --nvme-smart load the NVMe disk's "
     "Identify Controller, Identify Namespace or SMART / Health log from a saved 4096-, 4096- or 512-byte page; "
     "any set key can be given as an option. Makes the lab when needed.",
     false},
    {"show", verb_show,
     "show [NAME [SECTION]]\n"
     "show NAME MEMORY [OFFSET [LENGTH]]\n"
     "show NAME leds [--color auto|always|never] [--svg FILE]",
     "Prints the lab's settings and devices, or one device's identity, disk, settings, state, registers, memory, "
     "pins and faults; a SECTION prints one of them, blocks the command blocks it handles, pg the entries of its "
     "PG record. A memory (flash, led, media, the NVMe disk's and PCIe function's) or an area of the flash prints "
     "as a hex dump, of OFFSET and LENGTH when given. leds draws the LED memory's states as colour blocks on a colour "
     "terminal, else (a pipe, NO_COLOR set, --color never) as text with each cell's colour as #RRGGBB; --svg writes "
     "an SVG of what the LEDs show over time to FILE.",
     false},
    {"fill", verb_fill, "fill NAME MEMORY OFFSET LENGTH BYTE",
     "Writes LENGTH bytes of the value BYTE into a bridge's memory at OFFSET, as if the device had written them.",
     false},
    {"load", verb_load, "load NAME MEMORY OFFSET FILE",
     "Writes the bytes of FILE (a regular file that fits the memory at OFFSET) into a bridge's memory at OFFSET, as "
     "if the device had written them. create writes the led memory (the factory LED image) and, with its --nvme-* "
     "options, the NVMe pages; pcie_conf, pcie_bar0 and smart_data get their power-on content at first use (load "
     "and fill put it in place first); flash, media, nvme_fw and nvme_slots read erased until written.",
     false},
    {"set", verb_set,
     "set NAME KEY VALUE\n"
     "set lab time_factor N\n"
     "set lab time_mode real|step\n"
     "set lab trace on|off",
     "Changes one bridge-level behaviour (the keys are listed below), or a setting of the lab itself: lab time "
     "N times faster than real time, lab time in step (standing still but for the tool's sleeps) or back in real "
     "mode, the trace on or off.",
     false},
    {"fault", verb_fault,
     "fault NAME add PATTERN (--status S [--sense K/ASC/ASCQ] | --os-error E | --short N | --corrupt | --flip N | "
     "--corrupt-write | --tear N | --drop-write) [--first N] [--after M]\n"
     "fault NAME list|remove N|clear",
     "Makes a device misbehave on purpose: command blocks matching PATTERN (hex bytes, .. for any) are answered "
     "with a SCSI status and sense data, an OS error (31 the general failure the tool retries), N bytes short, "
     "corrupted data, the data-in byte at offset N inverted (--flip), a flash write corrupted, torn after N bytes "
     "or acknowledged but lost (--drop-write); optionally only the first N or after M matches. list, remove and "
     "clear show and drop the rules.",
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
    {"help", verb_help, "help", "Prints the usage (also mvbridge-lab help, without a lab).", false},
};

}  // namespace

std::span<const verb_row> lab_verbs() { return k_verbs; }

const verb_row* find_verb(const std::string& name) {
    for (const verb_row& verb : k_verbs) {
        if (name == verb.name) return &verb;
    }
    return nullptr;
}

std::vector<std::string> verb_forms(const verb_row& verb) {
    std::vector<std::string> forms;
    const std::string usage = verb.usage;
    size_t start = 0;
    while (start <= usage.size()) {
        const size_t end = std::min(usage.find('\n', start), usage.size());
        forms.push_back(usage.substr(start, end - start));
        start = end + 1;
    }
    return forms;
}

void print_lab_usage(std::FILE* out) {
    std::fprintf(out, "usage: mvbridge-lab DIR VERB [ARGS...]\n");
    for (const verb_row& verb : k_verbs) {
        if (verb.hidden) continue;
        for (const std::string& form : verb_forms(verb)) std::fprintf(out, "  %s\n", form.c_str());
    }
}

int verb_usage_of(const char* name) {
    const verb_row* verb = find_verb(name);
    if (verb == nullptr) return k_exit_usage;
    const std::vector<std::string> forms = verb_forms(*verb);
    for (size_t i = 0; i < forms.size(); ++i) {
        std::fprintf(stderr, "%s mvbridge-lab DIR %s\n", i == 0 ? "usage:" : "      ", forms[i].c_str());
    }
    return k_exit_usage;
}

int verb_form_usage_of(const char* name, const std::string& form) {
    const verb_row* verb = find_verb(name);
    if (verb == nullptr) return k_exit_usage;
    for (const std::string& candidate : verb_forms(*verb)) {
        if (candidate.starts_with(form)) return verb_usage(candidate);
    }
    return verb_usage_of(name);
}
