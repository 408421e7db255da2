// mvbridge-lab(1): the verbs from the verb table, the device names, the `set` keys by the
// section `show` prints them in, and the sections of `show`.
#include <map>

#include "lab/host/names.h"
#include "lab/record/state.h"
#include "lab/verbs/verb_table.h"
#include "packaging/docs.h"

namespace {

std::string bold_list(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) {
        if (!out.empty()) out += ", ";
        out += roff_font("B", word);
    }
    return out;
}

std::string verbs_section() {
    std::string out = ".SH VERBS\n";
    for (const verb_row& verb : lab_verbs()) {
        if (verb.hidden) continue;
        // One tag per form of the usage: .TP for the first, .TQ for the others.
        const char* tag = ".TP\n";
        for (const std::string& form : verb_forms(verb)) {
            out += tag;
            out += "\\fIdir\\fR ";
            out += roff_font("B", form);
            out += "\n";
            tag = ".TQ\n";
        }
        out += roff_escape(verb.summary);
        out += "\n";
    }
    return out;
}

std::string keys_section() {
    std::string out =
        ".SH SET KEYS\n"
        "\\fBset\\fR \\fIname key value\\fR and \\fBcreate\\fR \\fIname\\fR \\fB\\-\\-\\fR\\fIkey "
        "value\\fR take these keys; \\fBshow\\fR \\fIname\\fR prints their values in the sections "
        "named here. \\fBgen 0\\fR or \\fBgen 1\\fR sets the revision and chip identity typical of "
        "the generation.\n";
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::string>> keys;
    for (const persisted_field& field : persisted_fields()) {
        if (!field.settable) continue;
        if (keys.find(field.section) == keys.end()) order.push_back(field.section);
        keys[field.section].push_back(field.key);
    }
    for (const std::string& section : order) {
        out += ".TP\n.B ";
        out += roff_escape(section);
        out += "\n";
        out += bold_list(keys[section]);
        out += "\n";
    }
    out +=
        ".PP\n\\fBset lab time_factor\\fR \\fIN\\fR makes lab time run \\fIN\\fR times faster than real time "
        "for the tool's sleeps and clock; \\fBset lab time_mode step\\fR (or \\fBinit \\-\\-step\\-time\\fR) "
        "makes it stand still and move only by the sleeps the tool asks for, each at once, and \\fBset lab "
        "time_mode real\\fR goes back to the factor; \\fBset lab trace on\\fR|\\fBoff\\fR switches the "
        "trace.\n";
    return out;
}

std::string names_section() {
    std::vector<std::string> paths;
    for (const std::string& name : lab_all_names()) {
        std::string path = name;
        path += " as ";
        path += lab_path_of_name(name);
        paths.push_back(path);
    }
    return ".SH DEVICE NAMES\n"
           "A lab has the physical drives and volume letters below; the tool run by \\fBrun\\fR reaches each by "
           "its Windows path, as on Windows, and a scan tries them in this order: " +
           bold_list(paths) +
           ". The lab's own verbs take the name in any case, or the path.\n"
           ".PP\nSections of \\fBshow\\fR \\fIname section\\fR: " +
           bold_list(show_section_names()) + ".\n";
}

}  // namespace

std::string lab_man_page() {
    std::string out;
    out += ".TH MVBRIDGE\\-LAB 1 \"\" \"mvbridge\" \"User Commands\"\n";
    out += ".SH NAME\nmvbridge\\-lab \\- an emulated machine of Morvelt USB storage bridges\n";
    out += ".SH SYNOPSIS\n.B mvbridge\\-lab\n.I dir verb\n.RI [ argument ...]\n";
    out +=
        ".SH DESCRIPTION\n"
        "\\fBmvbridge\\-lab\\fR keeps emulated bridges in the directory \\fIdir\\fR (a lab). They answer the "
        "command blocks of \\fBmvbridge\\fR(1) as real ones do, and \\fBrun\\fR runs the tool's own front end "
        "on them, printing byte for byte what \\fBmvbridge\\fR prints on a machine with the same bridges. It "
        "serves scripts, tests and anyone without hardware.\n"
        ".PP\n"
        "A lab's state survives between processes and is replaced atomically; processes sharing a bridge are "
        "served one request at a time. A directory that is no lab, or a damaged one, gives one line on standard "
        "error from every verb, \\fBrun\\fR included, and exit status 1.\n";
    out += verbs_section();
    out += keys_section();
    out += names_section();
    out +=
        ".SH FILES\n"
        ".TP\n.I dir/lab.conf\nthe lab's settings\n"
        ".TP\n.I dir/names/\nthe device each name reaches\n"
        ".TP\n.I dir/bridges/\none record per device, with its memories\n"
        ".TP\n.I dir/trace.log\nthe trace, one line per open, bus query, request attempt and close\n";
    out +=
        ".SH EXIT STATUS\n"
        "0 on success (\\fBrun\\fR: whatever the tool printed), 1 on a failure, with one line on standard "
        "error, 2 on a usage error.\n";
    out +=
        ".SH EXAMPLES\n.nf\n"
        "mvbridge\\-lab /tmp/lab create PhysicalDrive1\n"
        "mvbridge\\-lab /tmp/lab create PhysicalDrive2 \\-\\-disk sata\n"
        "mvbridge\\-lab /tmp/lab run scan\n"
        "mvbridge\\-lab /tmp/lab run get_uuid \\(aq\\e\\e.\\ePhysicalDrive1\\(aq\n"
        "mvbridge\\-lab /tmp/lab fault PhysicalDrive1 add \\(aqE2 .. .. .. C3\\(aq \\-\\-status 2\n"
        "mvbridge\\-lab /tmp/lab show PhysicalDrive1\n"
        ".fi\n";
    out += ".SH SEE ALSO\n.BR mvbridge (1)\n";
    return out;
}
