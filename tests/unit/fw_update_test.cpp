// The firmware update as a library call and as the tool's command: the library's update
// prints nothing and leaves the locale alone; the command sets the UTF-8 locale, shows
// the progress and prints its result as the last line.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "cli/commands/fw_update.h"
#include "zelko/pg/fw_update.h"
#include "tests/unit/bridge_command_fixture.h"

using namespace zelko;

namespace {

// Puts the process locale back to "C" whatever a case did to it.
struct locale_guard {
    locale_guard() { std::setlocale(LC_ALL, "C"); }
    ~locale_guard() { std::setlocale(LC_ALL, "C"); }
};

class FwUpdate : public bridge_command_test {};

// A bridge path that does not open: -1, stored in the progress record, nothing printed,
// the locale as it was.
TEST_F(FwUpdate, LibraryUpdatePrintsNothingAndKeepsTheLocale) {
    locale_guard guard;
    update_progress progress;
    progress.written.store(7);
    testing::internal::CaptureStdout();
    const int32_t code = run_fw_update(progress, "\\\\.\\PhysicalDrive9", "main.bin", "rescue.bin", "", "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(code, k_fwu_open);
    EXPECT_EQ(progress.status.load(), k_fwu_open);
    EXPECT_EQ(progress.written.load(), 0u);
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
}

// The command: its UUID checks stop before any update; a refused write unlock ends the
// update with -3, and the result line comes after the progress display's line end.
TEST_F(FwUpdate, CommandPrintsTheResultLast) {
    locale_guard guard;
    const std::vector<std::string> args = {"main.bin", "rescue.bin", "", ""};
    fake::script(ok({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(run(cmd_fwupdate, "fwupdate", args), "no uuid\n");
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    next_case();

    fake::script(ok({0x78, 0x56, 0x34, 0x12}));  // the command's UUID read
    fake::script(check_condition());             // the update's write unlock
    const std::string out = run(cmd_fwupdate, "fwupdate", args);
    // The display repeats its line as often as the scheduler lets it (the test port's sleep
    // returns at once), so the shape is checked piece by piece: a regular expression over
    // thousands of repeats overflows the stack.
    const std::string progress = "udpate progress: 0%\r";
    const std::string result = "\nfwupdate failed. (-3)\n";
    ASSERT_GE(out.size(), progress.size() + result.size()) << out;
    EXPECT_EQ(out.substr(out.size() - result.size()), result);
    const std::string repeats = out.substr(0, out.size() - result.size());
    EXPECT_EQ(repeats.size() % progress.size(), 0u);
    for (size_t at = 0; at < repeats.size(); at += progress.size()) {
        if (repeats.compare(at, progress.size(), progress) != 0) {
            ADD_FAILURE() << "not a progress line at byte " << at << ": " << repeats.substr(at, progress.size());
            break;
        }
    }
    // The handler, not the library, takes file paths as UTF-8.
    EXPECT_NE(std::string(std::setlocale(LC_CTYPE, nullptr)).find("UTF"), std::string::npos)
        << std::setlocale(LC_CTYPE, nullptr);
    EXPECT_EQ(sent_blocks().size(), 2u);
}

}  // namespace
