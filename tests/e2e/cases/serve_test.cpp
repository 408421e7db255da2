// `serve NAME --usbredir SOCKET`: what it refuses before any virtual machine connects.
// (tests/vm runs it with QEMU.)
#include <sys/stat.h>

#include "lab_fixture.h"

namespace {

class serve_e2e : public lab_test {};

const std::string k_usage = "usage: mvbridge-lab DIR serve NAME --usbredir SOCKET\n";

TEST_F(serve_e2e, needs_a_bridge_of_the_lab_and_a_socket) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "c", "--cdrom-of", "PhysicalDrive1"});
    expect_lab_error({"serve"}, k_usage, 2);
    expect_lab_error({"serve", "PhysicalDrive1", "--usbredir"}, k_usage, 2);
    expect_lab_error({"serve", "PhysicalDrive1", "--socket", "x.sock"}, k_usage, 2);
    expect_lab_error({"serve", "PhysicalDrive1", "--usbredir", ""}, k_usage, 2);
    expect_lab_error({"serve", "PhysicalDrive5", "--usbredir", dir_ + "/b.sock"},
                     "mvbridge-lab: no device PhysicalDrive5 in " + dir_ + "\n");
    expect_lab_error({"serve", "c", "--usbredir", dir_ + "/b.sock"},
                     "mvbridge-lab: c is a CD-ROM volume; serve its bridge\n");
}

TEST_F(serve_e2e, a_socket_it_cannot_listen_on_is_a_one_line_error) {
    lab_ok({"create", "PhysicalDrive1"});
    const process_result result = lab({"serve", "PhysicalDrive1", "--usbredir", dir_ + "/missing/b.sock"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    if (result.err.find("no usbredir support") != std::string::npos) {
        EXPECT_EQ(result.err,
                  "mvbridge-lab: this build has no usbredir support (install libusbredirparser-dev and rebuild)\n");
        GTEST_SKIP() << "this build has no usbredir support";
    }
    EXPECT_EQ(result.err, "mvbridge-lab: " + dir_ + "/missing/b.sock: No such file or directory\n");
    // Nothing is left behind where it tried.
    struct stat info {};
    EXPECT_NE(stat((dir_ + "/missing").c_str(), &info), 0);
}

}  // namespace
