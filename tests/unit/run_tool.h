// Runs one command line through the tool's front end and returns what it printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/dispatcher.h"

namespace zelko {

inline std::string run_tool(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    run_command_line(static_cast<int>(words.size()), argv.data());
    return testing::internal::GetCapturedStdout();
}

}  // namespace zelko
