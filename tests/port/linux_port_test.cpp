// The Linux port against the machine itself: paths and nodes every Linux system has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <system_error>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include "zelko/device/port.h"

using namespace zelko;

namespace {

// A regular file in a directory of its own, named like a disk; removed with the directory.
class scratch_file {
public:
    scratch_file() {
        if (::mkdtemp(directory_) == nullptr) return;
        path_ = std::string(directory_) + "/sda";
        if (FILE* f = std::fopen(path_.c_str(), "w")) {
            std::fputs("no disk here\n", f);
            std::fclose(f);
        }
    }
    ~scratch_file() {
        ::unlink(path_.c_str());
        ::rmdir(directory_);
    }
    scratch_file(const scratch_file&) = delete;
    scratch_file& operator=(const scratch_file&) = delete;
    const std::string& path() const { return path_; }

private:
    char directory_[32] = "/tmp/linux_port_test.XXXXXX";
    std::string path_;
};

TEST(linux_port, missing_paths_do_not_open) {
    EXPECT_EQ(port_open("/dev/no-such-node-here"), nullptr);
    EXPECT_EQ(port_open("/tmp/no-such-dir-here/sda"), nullptr);
    EXPECT_EQ(port_open(""), nullptr);
    EXPECT_EQ(port_open(nullptr), nullptr);
    port_close(nullptr);
}

// Nodes every Linux machine has that are no SCSI disks: the character device /dev/null and
// a regular file that carries a disk's name. Each opens; the bus query refuses it and
// leaves the answer as it was; a request fails with the node's own error, which is not
// worth a retry, and leaves the buffer as it was.
TEST(linux_port, nodes_without_scsi_open_but_have_no_bus_and_refuse_requests) {
    const scratch_file regular;
    ASSERT_FALSE(regular.path().empty());
    for (const std::string& path : {std::string("/dev/null"), regular.path()}) {
        SCOPED_TRACE(path);
        port_handle* handle = port_open(path.c_str());
        ASSERT_NE(handle, nullptr);
        for (const bool before : {false, true}) {
            bool usb = before;
            EXPECT_FALSE(port_query_bus_is_usb(handle, &usb));
            EXPECT_EQ(usb, before);
        }
        uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        port_request request;
        request.cdb[0] = 0x12;
        request.buffer = data;
        request.length = sizeof data;
        request.direction = data_direction::from_device;
        request.scsi_status = 0xFF;
        const int error = port_pass_through(handle, &request);
        EXPECT_NE(error, 0);
        EXPECT_FALSE(port_is_general_failure(error)) << error;
        EXPECT_EQ(request.scsi_status, 0);
        EXPECT_EQ(data[0], 1);
        EXPECT_EQ(data[7], 8);
        port_close(handle);
    }
}

TEST(linux_port, only_the_transport_failure_is_retried) {
    EXPECT_TRUE(port_is_general_failure(EIO));
    for (const int other : {0, EACCES, ENODEV, ENOTTY, ETIMEDOUT, EINVAL}) {
        EXPECT_FALSE(port_is_general_failure(other)) << other;
    }
}

TEST(linux_port, only_the_timed_out_request_is_a_time_out) {
    EXPECT_TRUE(port_is_time_out(ETIMEDOUT));
    for (const int other : {0, EIO, EACCES, ENODEV, EINVAL}) {
        EXPECT_FALSE(port_is_time_out(other)) << other;
    }
}

// Shorter names first, then by text: the kernel's order of sda..sdz, sdaa...
bool kernel_first(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// The candidates are exactly the whole-disk nodes of /dev in the kernel's order, then the
// optical nodes, as this machine's /dev lists them. Where it has none the list is empty
// and the order is not tried: the test says it is skipped.
TEST(linux_port, candidates_are_the_disk_nodes_of_dev_then_the_optical_ones) {
    const std::regex disk_name("sd[a-z]+");
    const std::regex optical_name("sr[0-9]+");
    std::vector<std::string> disks;
    std::vector<std::string> volumes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        const std::string name = entry.path().filename().string();
        if (std::regex_match(name, disk_name)) disks.push_back(name);
        if (std::regex_match(name, optical_name)) volumes.push_back(name);
    }
    ASSERT_FALSE(error) << error.message();
    std::sort(disks.begin(), disks.end(), kernel_first);
    std::sort(volumes.begin(), volumes.end(), kernel_first);

    std::vector<std::string> expected;
    for (const std::string& name : disks) expected.push_back("/dev/" + name + " disk");
    for (const std::string& name : volumes) expected.push_back("/dev/" + name + " volume");
    std::vector<std::string> listed;
    for (const port_candidate_path& candidate : port_candidate_paths()) {
        listed.push_back(candidate.path + (candidate.volume ? " volume" : " disk"));
    }
    EXPECT_EQ(listed, expected);
    if (expected.empty()) GTEST_SKIP() << "no /dev/sd* or /dev/sr* on this machine: the candidates' order is not tried";
}

void count_up(void* argument) { ++*static_cast<int*>(argument); }

TEST(linux_port, sleep_time_and_threads) {
    const auto before = std::chrono::steady_clock::now();
    port_sleep_ms(30);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(30));
    EXPECT_GT(port_time_s(), 1600000000);
    int runs = 0;
    port_thread* thread = port_thread_start(count_up, &runs);
    ASSERT_NE(thread, nullptr);
    port_thread_join(thread);
    EXPECT_EQ(runs, 1);
    port_thread_join(nullptr);
}

}  // namespace

namespace {

// Whether another open of `path` could take the exclusive lock right now.
bool lock_free(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// An open handle holds the node's exclusive lock until it is closed: another open of the
// same node, as a second process makes it, would wait.
TEST(linux_port, an_open_handle_holds_the_node_until_closed) {
    const scratch_file regular;
    ASSERT_FALSE(regular.path().empty());
    EXPECT_TRUE(lock_free(regular.path()));
    port_handle* handle = port_open(regular.path().c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(lock_free(regular.path()));
    port_close(handle);
    EXPECT_TRUE(lock_free(regular.path()));
}

}  // namespace
