// Picks the trace lines of one family's vendor command blocks out of a command's trace,
// leaving out the blocks of the dispatcher's preparation.
#pragma once

#include <set>
#include <string>
#include <vector>

// CMD lines of `device` whose opcode is E2 or E3 and whose sub-command (byte 4) is one
// of `subs` (hex pairs, upper case).
inline std::vector<std::string> vendor_block_lines(const std::vector<std::string>& trace, const std::string& device,
                                                   const std::set<std::string>& subs) {
    const std::string prefix = "CMD " + device + " ";
    std::vector<std::string> picked;
    for (const std::string& line : trace) {
        if (line.compare(0, prefix.size(), prefix) != 0 || line.size() < prefix.size() + 14) continue;
        const std::string opcode = line.substr(prefix.size(), 2);
        const std::string sub = line.substr(prefix.size() + 12, 2);
        if ((opcode == "E2" || opcode == "E3") && subs.count(sub) != 0) picked.push_back(line);
    }
    return picked;
}
