// The Linux port: SG_IO on /dev/sdX, /dev/srN and /dev/sgN nodes.
//
// Error mapping, done here once:
// - the ioctl's own failure gives its errno (EACCES, ENODEV, ...);
// - a transport failure the kernel reports in the host or driver byte (the request never
//   completed on the USB link: reset, disconnect, bus error) gives EIO, and EIO is the
//   "general failure" that scsi_send sends again, like a device that is not functioning
//   on Windows;
// - a time-out reported by the host or driver byte gives ETIMEDOUT, which is not retried.
// A command the device rejects is no error here: the request succeeds with SCSI status 2
// and fixed-format sense, and the data buffer keeps what it held.
#include <dirent.h>
#include <fcntl.h>
#include <climits>
#include <pthread.h>
#include <scsi/sg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "zelko/device/linux/linux_paths.h"
#include "zelko/device/port.h"

namespace zelko {

struct port_handle {
    int fd = -1;
    std::string path;
};

namespace {

constexpr unsigned k_host_time_out = 0x03;     // DID_TIME_OUT
constexpr unsigned k_driver_time_out = 0x06;   // DRIVER_TIMEOUT
constexpr unsigned k_driver_byte_mask = 0x0F;  // driver byte without its suggestion bits
constexpr unsigned k_driver_sense = 0x08;      // DRIVER_SENSE: sense data is valid, no error

bool resolve(const std::string& link, std::string* out) {
    char buffer[PATH_MAX];
    if (realpath(link.c_str(), buffer) == nullptr) return false;
    *out = buffer;
    return true;
}

}  // namespace

port_handle* port_open(const char* path) {
    if (path == nullptr) return nullptr;
    // O_NONBLOCK keeps the open from waiting for media; an optical node refuses
    // O_RDWR without it.
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // One command at a time per device: an advisory exclusive lock held until the close,
    // so that a second process waits here for the first. The kernel drops it with the
    // descriptor, also when a process dies. A node that refuses locks is used unlocked.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    return new port_handle{fd, path};
}

void port_close(port_handle* handle) {
    if (handle == nullptr) return;
    ::close(handle->fd);
    delete handle;
}

int port_pass_through(port_handle* handle, port_request* request) {
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.cmd_len = 16;
    io.cmdp = request->cdb;
    io.mx_sb_len = sizeof request->sense;
    io.sbp = request->sense;
    io.dxfer_len = request->length;
    io.dxferp = request->length != 0 ? request->buffer : nullptr;
    if (request->length == 0) {
        io.dxfer_direction = SG_DXFER_NONE;
    } else {
        io.dxfer_direction = request->direction == data_direction::from_device ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    }
    io.timeout = request->timeout_s * 1000u;

    request->scsi_status = 0;
    request->residual = request->length;
    if (::ioctl(handle->fd, SG_IO, &io) < 0) return errno != 0 ? errno : EIO;

    const unsigned driver = io.driver_status & k_driver_byte_mask;
    if (io.host_status == k_host_time_out || driver == k_driver_time_out) return ETIMEDOUT;
    if (io.host_status != 0 || (driver != 0 && driver != k_driver_sense)) return EIO;
    request->scsi_status = io.status;
    // The kernel reports what it did not move; a negative or oversized value (some host
    // drivers leave it unset) counts as nothing moved.
    request->residual = io.resid >= 0 && static_cast<uint32_t>(io.resid) <= request->length
                            ? static_cast<uint32_t>(io.resid)
                            : request->length;
    return 0;
}

bool port_is_general_failure(int os_error) { return os_error == EIO; }

bool port_is_time_out(int os_error) { return os_error == ETIMEDOUT; }

bool port_query_bus_is_usb(port_handle* handle, bool* is_usb) {
    // The open node's device number names its sysfs entry exactly, whatever the path's
    // name (a link, a copy of a node elsewhere); a file that is no device node has no bus.
    struct stat st;
    if (::fstat(handle->fd, &st) != 0 || !(S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode))) return false;
    const char* kind = S_ISBLK(st.st_mode) ? "block" : "char";
    const std::string by_number = std::string("/sys/dev/") + kind + "/" + std::to_string(major(st.st_rdev)) + ":" +
                                  std::to_string(minor(st.st_rdev)) + "/device";
    std::string resolved;
    if (!resolve(by_number, &resolved)) {
        const std::string name = node_name(handle->path);
        if (!resolve("/sys/class/block/" + name + "/device", &resolved) &&
            !resolve("/sys/class/scsi_generic/" + name + "/device", &resolved)) {
            return false;
        }
    }
    *is_usb = sysfs_path_is_usb(resolved);
    return true;
}

std::vector<port_candidate_path> port_candidate_paths() {
    std::vector<std::string> disks;
    std::vector<std::string> volumes;
    if (DIR* dir = ::opendir("/dev")) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (is_whole_disk_name(name)) disks.push_back(name);
            if (is_optical_name(name)) volumes.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(disks.begin(), disks.end(), kernel_order);
    std::sort(volumes.begin(), volumes.end(), kernel_order);
    std::vector<port_candidate_path> candidates;
    for (const auto& name : disks) candidates.push_back({"/dev/" + name, false});
    for (const auto& name : volumes) candidates.push_back({"/dev/" + name, true});
    return candidates;
}

void port_sleep_ms(uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

int64_t port_time_s() { return static_cast<int64_t>(std::time(nullptr)); }

struct port_thread {
    pthread_t id;
    void (*body)(void*);
    void* argument;
};

namespace {
void* thread_entry(void* raw) {
    auto* thread = static_cast<port_thread*>(raw);
    thread->body(thread->argument);
    return nullptr;
}
}  // namespace

port_thread* port_thread_start(void (*body)(void*), void* argument) {
    auto* thread = new port_thread{{}, body, argument};
    if (::pthread_create(&thread->id, nullptr, thread_entry, thread) != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void port_thread_join(port_thread* thread) {
    if (thread == nullptr) return;
    ::pthread_join(thread->id, nullptr);
    delete thread;
}

}  // namespace zelko
