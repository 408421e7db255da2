// The lab's usage as users read it: `mvbridge-lab help` lists every form of every verb,
// each verb's usage error names the same forms, and README's verb table lists exactly the
// forms the help lists (the help and the manual page are both written from the verb table).
#include <algorithm>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"

namespace {

using lines = std::vector<std::string>;

// The forms `mvbridge-lab help` lists: its lines after the first, without their indent.
lines help_forms() {
    const process_result help = run_process(MVBRIDGE_LAB_PATH, {"help"});
    EXPECT_EQ(help.status, 0);
    lines forms;
    std::istringstream in(help.out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "usage: mvbridge-lab DIR VERB [ARGS...]");
    while (std::getline(in, line)) {
        EXPECT_TRUE(line.starts_with("  ")) << line;
        forms.push_back(line.substr(2));
    }
    return forms;
}

// The code spans of the first column of README's verb table ("| Verb | Does |"), with
// the table's "\|" read as "|".
lines readme_forms() {
    std::ifstream readme(std::string(MVBRIDGE_SOURCE_DIR) + "/README.md");
    std::string line;
    while (std::getline(readme, line) && line != "| Verb | Does |") {
    }
    EXPECT_EQ(line, "| Verb | Does |") << "README has no verb table";
    std::getline(readme, line);  // |---|---|
    lines forms;
    while (std::getline(readme, line) && line.starts_with("| ")) {
        // The first column ends at the first " | " that is not "\|".
        size_t end = 2;
        while ((end = line.find(" | ", end)) != std::string::npos && line[end - 1] == '\\') ++end;
        const std::string column = line.substr(2, end == std::string::npos ? std::string::npos : end - 2);
        for (size_t open = column.find('`'); open != std::string::npos; open = column.find('`', open + 1)) {
            const size_t close = column.find('`', open + 1);
            if (close == std::string::npos) break;
            std::string form = column.substr(open + 1, close - open - 1);
            for (size_t bar = form.find("\\|"); bar != std::string::npos; bar = form.find("\\|", bar))
                form.erase(bar, 1);
            forms.push_back(form);
            open = close;
        }
    }
    return forms;
}

lines sorted(lines list) {
    std::sort(list.begin(), list.end());
    return list;
}

TEST(lab_help, readme_verb_table_lists_the_forms_of_the_help) {
    const lines help = help_forms();
    ASSERT_GT(help.size(), 12u);
    EXPECT_EQ(sorted(readme_forms()), sorted(help));
}

// What the help lists that was once left out of it.
TEST(lab_help, lists_every_option) {
    std::string help;
    for (const std::string& form : help_forms()) help += form + "\n";
    for (const char* option :
         {"init [--time-factor N] [--step-time]", "set lab time_mode real|step", "--flip N", "--drop-write",
          "--nvme-id-ctrl FILE", "--nvme-id-ns FILE", "--nvme-smart FILE",
          "show NAME leds [--color auto|always|never] [--svg FILE]", "load NAME MEMORY OFFSET FILE"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

// A verb's usage error prints that verb's forms of the help, the first after "usage:".
TEST_F(lab_test, usage_errors_name_the_forms_of_the_help) {
    const lines help = help_forms();
    const std::vector<lines> wrong = {
        {"init", "--time-factor"},
        {"create"},
        {"show", "a", "b", "c", "d", "e"},
        {"fill"},
        {"set"},
        {"fault"},
        {"restart"},
        {"trace"},
        {"run", "--as"},
        {"serve"},
        {"mkimage"},
        {"mkled"},
    };
    for (const lines& words : wrong) {
        const process_result result = lab(words);
        EXPECT_EQ(result.status, 2) << words[0];
        std::string expected;
        for (const std::string& form : help) {
            if (form != words[0] && !form.starts_with(words[0] + " ")) continue;
            expected += std::string(expected.empty() ? "usage:" : "      ") + " mvbridge-lab DIR " + form + "\n";
        }
        EXPECT_EQ(result.err, expected) << words[0];
    }
}

}  // namespace
