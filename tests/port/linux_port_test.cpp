// The Linux port against the machine itself: paths and nodes every Linux system has.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "device/port.h"

using namespace zelko;

namespace {

// A missing path does not open; a request to a node without SCSI fails with its own error,
// which is not worth a retry, and leaves the buffer as it was.
TEST(linux_port, request_to_a_node_without_scsi_fails_with_its_own_error) {
    EXPECT_EQ(port_open("/dev/no-such-node-here"), nullptr);
    EXPECT_EQ(port_open(nullptr), nullptr);
    port_close(nullptr);
    port_handle* handle = port_open("/dev/null");
    ASSERT_NE(handle, nullptr);
    uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    port_request request;
    request.cdb[0] = 0x12;
    request.buffer = data;
    request.length = sizeof data;
    request.direction = data_direction::from_device;
    request.scsi_status = 0xFF;
    const int error = port_pass_through(handle, &request);
    EXPECT_NE(error, 0);
    EXPECT_FALSE(port_is_general_failure(error));
    EXPECT_EQ(request.scsi_status, 0);
    EXPECT_EQ(data[0], 1);
    port_close(handle);
}

TEST(linux_port, only_the_transport_failure_is_retried) {
    EXPECT_TRUE(port_is_general_failure(EIO));
    for (const int other : {0, EACCES, ENODEV, ENOTTY, ETIMEDOUT, EINVAL}) {
        EXPECT_FALSE(port_is_general_failure(other)) << other;
    }
}

TEST(linux_port, nodes_that_are_no_disks_have_no_bus) {
    port_handle* null_node = port_open("/dev/null");
    ASSERT_NE(null_node, nullptr);
    bool usb = true;
    EXPECT_FALSE(port_query_bus_is_usb(null_node, &usb));
    port_close(null_node);

    // A regular file that carries a disk's name is still no disk.
    char directory[] = "/tmp/linux_port_test.XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string file = std::string(directory) + "/sda";
    if (FILE* f = std::fopen(file.c_str(), "w")) std::fclose(f);
    port_handle* regular = port_open(file.c_str());
    ASSERT_NE(regular, nullptr);
    EXPECT_FALSE(port_query_bus_is_usb(regular, &usb));
    port_close(regular);
    ::unlink(file.c_str());
    ::rmdir(directory);
}

TEST(linux_port, candidates_are_disks_then_optical_nodes) {
    bool seen_volume = false;
    for (const port_candidate_path& candidate : port_candidate_paths()) {
        ASSERT_EQ(candidate.path.compare(0, 5, "/dev/"), 0) << candidate.path;
        const std::string name = candidate.path.substr(5);
        if (candidate.volume) {
            seen_volume = true;
            EXPECT_EQ(name.compare(0, 2, "sr"), 0) << name;
        } else {
            EXPECT_FALSE(seen_volume) << "disk " << name << " listed after a volume";
            EXPECT_EQ(name.compare(0, 2, "sd"), 0) << name;
        }
    }
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
