// The end-to-end harness: each test gets a fresh lab directory and runs mvbridge-lab in
// it as a user would, with exact standard output, standard error and exit status.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using lines = std::vector<std::string>;

struct process_result {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or -1 when the process did not exit normally
};

// Runs `program` with `args` (no shell involved) and collects what it printed.
process_result run_process(const std::string& program, const std::vector<std::string>& args);

// "\\.\PhysicalDriveN" and "\\.\x:" as the tool is given them.
std::string drive_path(int number);
std::string volume_path(char letter);

// `text` padded with spaces to `width` characters, as ATA strings arrive.
std::string padded(const std::string& text, size_t width);

class lab_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // mvbridge-lab DIR ARGS...
    process_result lab(const std::vector<std::string>& args);
    // mvbridge-lab DIR ARGS... that must succeed silently on standard error; its output.
    std::string lab_ok(const std::vector<std::string>& args);
    // mvbridge-lab DIR run ARGS...: the tool's standard output.
    std::string run(const std::vector<std::string>& args);
    // The tool's `command` on \\.\PhysicalDrive<drive> with `args` after the path.
    std::string run_on(int drive, const std::string& command, const std::vector<std::string>& args = {});
    // mvbridge-lab DIR ARGS... that must fail with `status` and exactly `message` on
    // standard error, printing nothing.
    void expect_lab_error(const std::vector<std::string>& args, const std::string& message, int status = 1);
    // What `show NAME SECTION` prints after "  KEY ", or "" when the key is not shown.
    std::string shown(const std::string& name, const std::string& section, const std::string& key);

    // Lines of trace.log; only the lines starting with `prefix` when it is given.
    std::vector<std::string> trace_lines(const std::string& prefix = "");
    void clear_trace();

    // The text of a file of the lab directory, and its replacement.
    std::string read_lab_file(const std::string& relative);
    void write_lab_file(const std::string& relative, const std::string& content);

    std::string dir_;
};

// How a family test's lab starts: one bridge, PhysicalDrive1.
struct bridge_setup {
    lines create_options = {};  // after `create PhysicalDrive1`
    bool trace = true;          // the lab's trace on from the start
    bool fresh_trace = false;   // run1 clears the trace first, so that it holds that run alone
};

// The set-up most family tests share: a lab with the bridge PhysicalDrive1, and the tool run
// on it.
class bridge_lab_test : public lab_test {
protected:
    explicit bridge_lab_test(bridge_setup setup = {}) : setup_(std::move(setup)) {}
    void SetUp() override;

    // The tool's `command` on \\.\PhysicalDrive1 with `args` after the path.
    std::string run1(const std::string& command, const lines& args = {});

    const std::string path1_ = drive_path(1);

private:
    bridge_setup setup_;
};

// What `query` prints for a default NVMe bridge at `path`.
std::string query_output(const std::string& path);

// `text` `times` times over.
std::string repeated(const std::string& text, size_t times);

// A default bridge's printed lines.
extern const std::string k_nvme_bridge_name;  // "Morvelt USB3 NVMe Bridge"
extern const std::string k_sata_bridge_name;
extern const std::string k_nvme_disk_line;  // model (40 characters) and firmware
extern const std::string k_sata_disk_line;
