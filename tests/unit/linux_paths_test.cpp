#include "zelko/device/linux/linux_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zelko;

namespace {

struct text_case {
    const char* text;
    bool expected;
};

TEST(linux_paths, sysfs_path_is_usb) {
    const text_case cases[] = {
        // A USB disk: the bus, the port, the interface, then the SCSI host.
        {"/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", true},
        // Behind a hub, with a multi-digit bus number.
        {"/sys/devices/pci0000:00/0000:00:14.0/usb12/12-3/12-3.4/12-3.4:1.0/host9/target9:0:0/9:0:0:0", true},
        // A USB/IP virtual host controller still has its usbN root hub.
        {"/sys/devices/platform/vhci_hcd.0/usb3/3-1/3-1:1.0/host7/target7:0:0/7:0:0:0", true},
        // The bus component at the very end.
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1", true},
        // SATA and NVMe are not USB.
        {"/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", false},
        {"/sys/devices/pci0000:00/0000:00:1d.0/0000:03:00.0/nvme/nvme0", false},
        // "usb" text that is no bus component.
        {"/sys/devices/virtual/usbmon/usbmon0", false},
        {"/sys/devices/platform/usb1ctl/host3/target3:0:0/3:0:0:0", false},
        {"/sys/devices/platform/my-usb2/host3/target3:0:0/3:0:0:0", false},
        {"/sys/devices/platform/usb/host3/target3:0:0/3:0:0:0", false},
        {"/sys/devices/pci0000:00/0000:00:14.0/usb2x/2-1", false},
        {"", false},
        {"/", false},
        {"usb", false},
    };
    for (const auto& c : cases) EXPECT_EQ(sysfs_path_is_usb(c.text), c.expected) << c.text;
}

// Whole disks are "sd" and letters; optical nodes "sr" and digits.
TEST(linux_paths, disk_and_optical_names) {
    struct name_case {
        const char* name;
        bool whole_disk;
        bool optical;
    };
    const name_case cases[] = {
        {"sda", true, false},      {"sdz", true, false},   {"sdaa", true, false},  {"sdzzz", true, false},
        {"sd", false, false},      {"sda1", false, false}, {"sdA", false, false},  {"sd1", false, false},
        {"sg0", false, false},     {"xsda", false, false}, {"", false, false},     {"sda ", false, false},
        {"nvme0n1", false, false}, {"sr0", false, true},   {"sr10", false, true},  {"sr", false, false},
        {"sra", false, false},     {"sr0a", false, false}, {"scd0", false, false}, {"sr-1", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_whole_disk_name(c.name), c.whole_disk) << '"' << c.name << '"';
        EXPECT_EQ(is_optical_name(c.name), c.optical) << '"' << c.name << '"';
    }
}

TEST(linux_paths, kernel_order_sorts_as_the_kernel_names) {
    struct order_case {
        std::vector<std::string> given;
        std::vector<std::string> sorted;
    };
    const order_case cases[] = {
        {{"sdaa", "sdz", "sdb", "sda"}, {"sda", "sdb", "sdz", "sdaa"}},
        {{"sdab", "sdba", "sdaa", "sdzz"}, {"sdaa", "sdab", "sdba", "sdzz"}},
        {{"sr10", "sr2", "sr0", "sr1"}, {"sr0", "sr1", "sr2", "sr10"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names = c.given;
        std::sort(names.begin(), names.end(), kernel_order);
        EXPECT_EQ(names, c.sorted);
    }
    // A strict order: no name comes before itself.
    EXPECT_FALSE(kernel_order("sdb", "sdb"));
    EXPECT_FALSE(kernel_order("sdaa", "sdz"));
}

TEST(linux_paths, node_name) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/sdb", "sdb"}, {"sr0", "sr0"}, {"/dev/disk/by-id/usb-disk-0:0", "usb-disk-0:0"}, {"/dev/", ""}, {"", ""},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(node_name(path), name) << path;
}

}  // namespace
