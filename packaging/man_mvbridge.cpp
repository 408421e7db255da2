// mvbridge(1): the synopsis and notes, then every command of the command table with its
// entry of the built-in manual, grouped as the manual groups them.
#include <cstdint>
#include <vector>

#include "cli/command_table.h"
#include "cli/manual.h"
#include "zelko/common/print_level.h"
#include "packaging/docs.h"

using namespace zelko;

namespace {

constexpr const char* k_example_device = "/dev/sdb";

const char* precheck_text(precheck cls) {
    switch (cls) {
        case precheck::help:
        case precheck::none: return "Takes no device.";
        case precheck::device: return "Opens the device and checks that it is a Morvelt bridge.";
        case precheck::disk: return "Opens the device, checks the bridge and reads the disk's status and identity.";
        case precheck::query:
            return "Opens the device, checks the bridge and reads the disk's status and identity "
                   "(a disk that cannot be identified is still reported).";
        case precheck::nvme: return "Needs an NVMe disk behind the bridge.";
        case precheck::pcie: return "Needs a PCIe device behind the bridge.";
        case precheck::sata: return "Needs a SATA disk behind the bridge.";
        case precheck::led: return "Opens the device, checks the bridge and loads its LED memory image.";
    }
    return "";
}

// The usage the command table alone gives: the device path and the count of arguments.
std::string table_usage(const command_row& row) {
    std::string usage = roff_font("B", row.name);
    int32_t words = 2;
    if (takes_device(row.cls)) {
        usage += " \\fIdevice-path\\fR";
        ++words;
    }
    for (; words < row.argc; ++words) usage += " \\fIargument\\fR";
    return usage;
}

// The heading of a manual section, "Bridge command:\n\n" -> "Bridge commands".
std::string section_title(const std::string& heading) {
    std::string title = heading.substr(0, heading.find(':'));
    return title + "s";
}

std::string rows_paragraph(int first, int last) {
    std::string out = ".TP\n";
    for (int row = first; row <= last; ++row) {
        // A block shared by many rows names them; one row also shows its words.
        out += (row == first ? "" : ", ") +
               (first == last ? table_usage(command_table[row]) : roff_font("B", command_table[row].name));
    }
    out += "\n";
    out += roff_escape(precheck_text(command_table[first].cls));
    return out + "\n";
}

std::string commands_section() {
    std::string out = ".SH COMMANDS\n";
    out +=
        "Each command below is followed by its entry of the built\\-in manual, as \\fBmvbridge help\\fR "
        "\\fIcommand\\fR prints it.\n";
    std::vector<bool> documented(k_command_count, false);
    for (const manual_section_text& section : manual_texts("mvbridge", k_example_device)) {
        out += ".SS ";
        out += roff_escape(section_title(section.heading));
        out += "\n";
        for (const manual_entry_text& entry : section.entries) {
            if (entry.first_row < 0 || entry.last_row < entry.first_row) continue;
            out += rows_paragraph(entry.first_row, entry.last_row);
            out += ".sp\n.RS\n";
            out += roff_verbatim(entry.text);
            out += ".RE\n";
            for (int row = entry.first_row; row <= entry.last_row; ++row) documented[row] = true;
        }
    }
    bool heading = false;
    for (int row = 0; row < k_command_count; ++row) {
        if (documented[row]) continue;
        if (!heading) out += ".SS Other commands\n";
        heading = true;
        out += rows_paragraph(row, row);
    }
    return out;
}

std::string level_words() {
    std::string words;
    for (int32_t level = k_min_print_level; level <= k_max_print_level; ++level) {
        if (!words.empty()) words += ", ";
        words += "\\fB\\-d";
        if (level < 0) words += "\\-";
        words += std::to_string(level < 0 ? -level : level);
        words += "\\fR";
    }
    return words;
}

}  // namespace

std::string mvbridge_man_page() {
    std::string out;
    out += ".TH MVBRIDGE 1 \"\" \"mvbridge ";
    out += manual_version();
    out += "\" \"User Commands\"\n";
    out += ".SH NAME\nmvbridge \\- inspect and configure Morvelt USB storage bridges\n";
    out +=
        ".SH SYNOPSIS\n.B mvbridge\n.I command\n.RI [ device-path ]\n.RI [ argument ...]\n.RB [ \\-d\\c\n"
        ".IR n ]\n";
    out +=
        ".SH DESCRIPTION\n"
        "\\fBmvbridge\\fR drives Morvelt USB storage bridges: the USB controllers that present an NVMe or "
        "SATA disk to the host as a USB disk, and that also carry LEDs, GPIO, I2C and UART pins and their "
        "own flash. It finds the bridges on a machine, reads and changes the bridge's settings and "
        "configuration record, updates its firmware, drives its pins and LEDs, and talks to the disk "
        "behind it. Everything it does to a device travels as 16\\-byte SCSI command blocks through the "
        "operating system's SCSI pass\\-through.\n"
        ".PP\n"
        "One process performs one command and prints its result to standard output. \\fBmvbridge help\\fR "
        "prints the whole manual, \\fBmvbridge help\\fR \\fIcommand\\fR one command's entry. A wrong count "
        "of words prints \"Too many arguments\" or \"Not enough arguments\" and the command's entry; an "
        "unknown command prints \"Invalid command\".\n";
    out +=
        ".SH OPTIONS\n.TP\n.BI \\-d n\n"
        "Given as the last word, after all the command's arguments, sets the report level: " +
        level_words() +
        ". \\fB\\-d\\-1\\fR silences the long reports (the Identify Controller report, the SMART / Health and "
        "Sanitize Status logs, the PG record, the PCIe configuration and memory dumps, the SATA SMART table); "
        "every other "
        "level prints them in full. A value beyond the range counts as its nearest end.\n";
    out += commands_section();
    out +=
        ".SH DEVICE PATHS AND PERMISSIONS\n"
        ".TP\n.B Linux\n"
        "\\fI/dev/sdX\\fR for the disk, \\fI/dev/srN\\fR for the bridge's CD\\-ROM, \\fI/dev/sgN\\fR when "
        "the \\fBsg\\fR driver is loaded. \\fBscan\\fR tries \\fI/dev/sd*\\fR in the kernel's order, then "
        "\\fI/dev/sr*\\fR. They are open to root and to the members of the \\fBdisk\\fR group (the CD\\-ROM "
        "node may need \\fBcdrom\\fR); anyone else gets \"invalid dev path\".\n"
        ".TP\n.B Windows\n"
        "\\fI\\e\\e.\\ePhysicalDriveN\\fR (N 0 to 9) for the disk, \\fI\\e\\e.\\eX:\\fR for a volume such as "
        "the bridge's CD\\-ROM. \\fBscan\\fR tries \\fI\\e\\e.\\ePhysicalDrive0\\fR to \\fI9\\fR, then "
        "\\fI\\e\\e.\\ec:\\fR to \\fI\\e\\e.\\el:\\fR. Run it from a console started as Administrator.\n"
        ".PP\n"
        "\\fBscan\\fR lists only devices on a USB bus. A device path given on the command line is used as it "
        "is.\n";
    out +=
        ".SH EXIT STATUS\n"
        "Always 0, whatever happened: scripts read the printed lines.\n";
    out +=
        ".SH EXAMPLES\n.nf\nmvbridge scan\nmvbridge query /dev/sdb\nmvbridge nvme_get_smart_log /dev/sdb "
        "\\-d\\-1\nmvbridge help fw_restart\n.fi\n";
    out += ".SH SEE ALSO\n.BR mvbridge\\-lab (1)\n";
    return out;
}
