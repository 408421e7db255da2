// Bash completions. mvbridge's is written out from the command table: the command words,
// which of them take a device path (offered from the platform's device nodes) and how many
// words each needs before the report-level option. mvbridge-lab's asks the lab itself
// (`mvbridge-lab DIR complete WORD...`), which knows its devices, keys and verbs.
#include <map>
#include <utility>

#include "cli/command_table.h"
#include "zelko/common/print_level.h"
#include "packaging/docs.h"

using namespace zelko;

namespace {

std::string level_words() {
    std::string words;
    for (int32_t level = k_min_print_level; level <= k_max_print_level; ++level) {
        if (!words.empty()) words += ' ';
        words += "-d";
        words += std::to_string(level);
    }
    return words;
}

// One case branch per shape (word count, device or not), listing its commands.
std::string shape_cases() {
    std::map<std::pair<int32_t, bool>, std::string> shapes;
    for (const command_row& row : command_rows()) {
        if (row.cls == precheck::help) continue;
        std::string& names = shapes[{row.argc, takes_device(row.cls)}];
        if (!names.empty()) names += '|';
        names += row.name;
    }
    std::string out;
    for (const auto& [shape, names] : shapes) {
        out += "    ";
        out += names;
        out += ")\n        argc=";
        out += std::to_string(shape.first);
        out += shape.second ? " device=1 ;;\n" : " device=0 ;;\n";
    }
    return out;
}

}  // namespace

std::string mvbridge_completion() {
    std::string commands;
    std::string help_words;
    for (const command_row& row : command_rows()) {
        if (!commands.empty()) commands += ' ';
        commands += row.name;
        if (row.cls != precheck::help) continue;
        if (!help_words.empty()) help_words += '|';
        help_words += row.name;
    }
    std::string out =
        "# bash completion for mvbridge, written from its command table.\n"
        "\n"
        "_mvbridge() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} cword=$COMP_CWORD\n"
        "    local commands='";
    out += commands;
    out +=
        "'\n"
        "    COMPREPLY=()\n"
        "    if ((cword == 1)); then\n"
        "        COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
        "        return 0\n"
        "    fi\n"
        "    local argc=0 device=0\n"
        "    case ${COMP_WORDS[1]} in\n"
        "    ";
    out += help_words;
    out +=
        ")\n"
        "        ((cword == 2)) && COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
        "        return 0 ;;\n";
    out += shape_cases();
    out +=
        "    *)\n"
        "        return 0 ;;\n"
        "    esac\n"
        "    if ((device && cword == 2)); then\n"
        "        # Whole disks, CD-ROM and generic SCSI nodes; partitions take no pass-through.\n"
        "        local dev=${_mvbridge_dev_dir:-/dev} node\n"
        "        for node in \"$dev\"/sd* \"$dev\"/sr* \"$dev\"/sg*; do\n"
        "            [[ -e $node && $node == \"$cur\"* ]] || continue\n"
        "            [[ ${node##*/} =~ ^sd.*[0-9]$ ]] && continue\n"
        "            COMPREPLY+=(\"$node\")\n"
        "        done\n"
        "        return 0\n"
        "    fi\n"
        "    if ((cword == argc)); then\n"
        "        COMPREPLY=($(compgen -W '";
    out += level_words();
    out +=
        "' -- \"$cur\"))\n"
        "    fi\n"
        "    return 0\n"
        "}\n"
        "complete -o default -F _mvbridge mvbridge\n";
    return out;
}

std::string lab_completion() {
    return "# bash completion for mvbridge-lab: the lab itself tells the words that may follow\n"
           "# (mvbridge-lab DIR complete WORD...).\n"
           "\n"
           "_mvbridge_lab() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} cword=$COMP_CWORD\n"
           "    COMPREPLY=()\n"
           "    if ((cword == 1)); then\n"
           "        COMPREPLY=($(compgen -d -- \"$cur\"))\n"
           "        return 0\n"
           "    fi\n"
           "    local program=${COMP_WORDS[0]} dir=${COMP_WORDS[1]}\n"
           "    [[ $program == \"~/\"* ]] && program=$HOME/${program#\"~/\"}\n"
           "    [[ $dir == \"~/\"* ]] && dir=$HOME/${dir#\"~/\"}\n"
           "    # The word typed so far, without the quoting its backslashes need.\n"
           "    local typed=$cur\n"
           "    case $typed in\n"
           "    \\'*) typed=${typed#\\'} ;;\n"
           "    \\\"*) typed=${typed#\\\"} ;;\n"
           "    *) typed=${typed//\\\\\\\\/\\\\} ;;\n"
           "    esac\n"
           "    local word\n"
           "    while IFS= read -r word; do\n"
           "        [[ $word == *\\\\* ]] && word=\"'$word'\"\n"
           "        COMPREPLY+=(\"$word\")\n"
           "    done < <(\"$program\" \"$dir\" complete \"${COMP_WORDS[@]:2:cword-2}\" \"$typed\" 2>/dev/null)\n"
           "    return 0\n"
           "}\n"
           "complete -o default -F _mvbridge_lab mvbridge-lab\n";
}
