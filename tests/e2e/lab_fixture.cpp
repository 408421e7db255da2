#include "lab_fixture.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

const std::string k_nvme_bridge_name = "Morvelt USB3 NVMe Bridge";
const std::string k_sata_bridge_name = "Morvelt USB3 SATA Bridge";
const std::string k_nvme_disk_line = padded("LNV-3000 NVMe SSD 1TB", 40) + " 3B2QLAB1";
const std::string k_sata_disk_line = padded("LSA-500 SATA SSD 512GB", 40) + " SA1.0.3L";

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A mkstemp/mkdtemp template: a prefix and six characters the call replaces.
std::string temp_template(const std::string& what) { return "/tmp/mvbridge-e2e-" + what + "-" + std::string(6, 'X'); }

}  // namespace

process_result run_process(const std::string& program, const std::vector<std::string>& args) {
    std::string out_template = temp_template("out");
    std::string err_template = temp_template("err");
    const int out_fd = mkstemp(out_template.data());
    const int err_fd = mkstemp(err_template.data());
    process_result result;
    if (out_fd < 0 || err_fd < 0) return result;

    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    close(out_fd);
    close(err_fd);
    result.out = slurp(out_template);
    result.err = slurp(err_template);
    std::remove(out_template.c_str());
    std::remove(err_template.c_str());
    result.status = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string drive_path(int number) { return "\\\\.\\PhysicalDrive" + std::to_string(number); }

std::string volume_path(char letter) { return std::string("\\\\.\\") + letter + ":"; }

std::string padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void lab_test::SetUp() {
    std::string dir_template = temp_template("lab");
    const char* made = mkdtemp(dir_template.data());
    ASSERT_NE(made, nullptr);
    dir_ = made;
}

void lab_test::TearDown() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

process_result lab_test::lab(const std::vector<std::string>& args) {
    std::vector<std::string> words = {dir_};
    words.insert(words.end(), args.begin(), args.end());
    return run_process(MVBRIDGE_LAB_PATH, words);
}

std::string lab_test::lab_ok(const std::vector<std::string>& args) {
    const process_result result = lab(args);
    std::string joined;
    for (const std::string& arg : args) joined += " " + arg;
    EXPECT_EQ(result.status, 0) << "mvbridge-lab DIR" << joined << ": " << result.err;
    EXPECT_EQ(result.err, "") << "mvbridge-lab DIR" << joined;
    return result.out;
}

std::string lab_test::run(const std::vector<std::string>& args) {
    std::vector<std::string> words = {"run"};
    words.insert(words.end(), args.begin(), args.end());
    return lab_ok(words);
}

std::string lab_test::run_on(int drive, const std::string& command, const std::vector<std::string>& args) {
    std::vector<std::string> words = {command, drive_path(drive)};
    words.insert(words.end(), args.begin(), args.end());
    return run(words);
}

void lab_test::expect_lab_error(const std::vector<std::string>& args, const std::string& message, int status) {
    const process_result result = lab(args);
    std::string joined;
    for (const std::string& arg : args) {
        joined += ' ';
        joined += arg.substr(0, 40);
    }
    EXPECT_EQ(result.status, status) << "mvbridge-lab DIR" << joined;
    EXPECT_EQ(result.out, "") << "mvbridge-lab DIR" << joined;
    EXPECT_EQ(result.err, message) << "mvbridge-lab DIR" << joined;
}

std::string lab_test::shown(const std::string& name, const std::string& section, const std::string& key) {
    const std::string text = lab_ok({"show", name, section});
    const std::string start = "  " + key + " ";
    const size_t at = text.find(start);
    if (at == std::string::npos) return "";
    return text.substr(at + start.size(), text.find('\n', at) - at - start.size());
}

std::vector<std::string> lab_test::trace_lines(const std::string& prefix) {
    std::istringstream in(read_lab_file("trace.log"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
}

void lab_test::clear_trace() { lab_ok({"trace", "clear"}); }

std::string lab_test::read_lab_file(const std::string& relative) { return slurp(dir_ + "/" + relative); }

void lab_test::write_lab_file(const std::string& relative, const std::string& content) {
    std::ofstream out(dir_ + "/" + relative, std::ios::binary | std::ios::trunc);
    out << content;
}

void bridge_lab_test::SetUp() {
    lab_test::SetUp();
    lines create = {"create", "PhysicalDrive1"};
    create.insert(create.end(), setup_.create_options.begin(), setup_.create_options.end());
    lab_ok(create);
    if (setup_.trace) lab_ok({"trace", "on"});
}

std::string bridge_lab_test::run1(const std::string& command, const lines& args) {
    if (setup_.fresh_trace) clear_trace();
    return run_on(1, command, args);
}

std::string query_output(const std::string& path) {
    return path + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n";
}

std::string repeated(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += text;
    return out;
}
