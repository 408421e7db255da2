// The Windows port: SCSI pass-through on \\.\PhysicalDriveN and \\.\X: handles.
//
// This is the one place a Windows error code becomes a status: a failed request returns
// GetLastError() as it is (never 0), and ERROR_GEN_FAILURE (a device that is not
// functioning) is the general failure scsi_send sends again. A command the device rejects
// is no error here: the request succeeds with a SCSI status and sense data.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "zelko/device/port.h"

namespace zelko {

struct port_handle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE hold = nullptr;  // the device's named mutex, owned while the handle is open
};

namespace {

// The request block: the pass-through structure, a 32-bit filler and the sense area.
// The same block is the input and the output of the request.
struct pass_through_block {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG filler;
    UCHAR sense[32];
};

constexpr UCHAR k_target_id = 1;
constexpr UCHAR k_cdb_length = 16;

#if defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56, "pass-through structure of 64-bit Windows");
static_assert(offsetof(pass_through_block, sense) == 60, "sense area follows the structure and the filler");
static_assert(sizeof(pass_through_block) == 96, "whole request block of 64-bit Windows");
#endif
static_assert(sizeof(pass_through_block::sense) == sizeof(port_request::sense), "sense areas match");

// The bus-type question: a 12-byte query answered into a 40-byte device descriptor.
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12, "storage property query");
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40, "storage device descriptor");
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == 28, "bus type field of the descriptor");
static_assert(BusTypeUsb == 7, "USB bus type");

// Error code returned when a call failed but the system left no code behind.
constexpr int k_unknown_failure = ERROR_GEN_FAILURE;

int last_error() {
    const DWORD code = GetLastError();
    return code != 0 ? static_cast<int>(code) : k_unknown_failure;
}

// The name of a device path's mutex: the path upper-cased (Windows paths ignore case)
// with its backslashes, which a mutex name may not hold, turned into slashes. Every
// session of the machine shares the Global namespace; where it is refused, the session's.
void hold_name(const char* prefix, const char* path, char* name, size_t capacity) {
    size_t n = static_cast<size_t>(std::snprintf(name, capacity, "%smvbridge-device-", prefix));
    for (const char* c = path; *c != 0 && n + 1 < capacity; ++c, ++n) {
        const char ch = *c == '\\' ? '/' : *c;
        name[n] = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    }
    name[n < capacity ? n : capacity - 1] = 0;
}

// Waits until this process owns the device's mutex. One command at a time per device:
// a second process waits here for the first to close, and a process that ends without
// closing leaves the mutex abandoned, which the next waiter simply takes.
HANDLE hold_device(const char* path) {
    char name[MAX_PATH];
    hold_name("Global\\", path, name, sizeof name);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) {
        hold_name("Local\\", path, name, sizeof name);
        mutex = CreateMutexA(nullptr, FALSE, name);
    }
    if (mutex == nullptr) return nullptr;
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return nullptr;
    }
    return mutex;
}

}  // namespace

port_handle* port_open(const char* path) {
    if (path == nullptr) return nullptr;
    const HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // A device whose mutex cannot be had is still used, as before there was one.
    return new port_handle{handle, hold_device(path)};
}

void port_close(port_handle* handle) {
    if (handle == nullptr) return;
    CloseHandle(handle->handle);
    if (handle->hold != nullptr) {
        ReleaseMutex(handle->hold);
        CloseHandle(handle->hold);
    }
    delete handle;
}

int port_pass_through(port_handle* handle, port_request* request) {
    pass_through_block block;
    std::memset(&block, 0, sizeof block);
    block.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    block.sptd.PathId = 0;
    block.sptd.TargetId = k_target_id;
    block.sptd.Lun = 0;
    block.sptd.CdbLength = k_cdb_length;
    block.sptd.SenseInfoLength = sizeof block.sense;
    block.sptd.DataIn = request->direction == data_direction::from_device ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
    block.sptd.DataTransferLength = request->length;
    block.sptd.TimeOutValue = request->timeout_s;
    block.sptd.DataBuffer = request->length != 0 ? request->buffer : nullptr;
    block.sptd.SenseInfoOffset = offsetof(pass_through_block, sense);
    std::memcpy(block.sptd.Cdb, request->cdb, sizeof block.sptd.Cdb);

    DWORD returned = 0;
    const BOOL done = DeviceIoControl(handle->handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                                      sizeof block, &returned, nullptr);
    const int result = done ? 0 : last_error();

    // The block started zeroed, so a request that failed before the device answered hands
    // back status 0 and empty sense; one the device did answer keeps its status either way.
    request->scsi_status = block.sptd.ScsiStatus;
    std::memcpy(request->sense, block.sense, sizeof request->sense);
    // The driver writes back the length it moved; a failed request moved nothing.
    const DWORD moved = done ? block.sptd.DataTransferLength : 0;
    request->residual = moved <= request->length ? request->length - moved : request->length;
    return result;
}

bool port_is_general_failure(int os_error) { return os_error == ERROR_GEN_FAILURE; }

// A pass-through request the adapter gave up on ends with the semaphore time-out; the
// generic time-out code is taken as the same.
bool port_is_time_out(int os_error) { return os_error == ERROR_SEM_TIMEOUT || os_error == ERROR_TIMEOUT; }

bool port_query_bus_is_usb(port_handle* handle, bool* is_usb) {
    STORAGE_PROPERTY_QUERY query;
    std::memset(&query, 0, sizeof query);
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;

    STORAGE_DEVICE_DESCRIPTOR descriptor;
    std::memset(&descriptor, 0, sizeof descriptor);
    DWORD returned = 0;
    if (!DeviceIoControl(handle->handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor,
                         sizeof descriptor, &returned, nullptr)) {
        return false;
    }
    *is_usb = descriptor.BusType == BusTypeUsb;
    return true;
}

std::vector<port_candidate_path> port_candidate_paths() {
    std::vector<port_candidate_path> candidates;
    char path[23];
    for (int drive = 0; drive <= 9; ++drive) {
        std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%i", drive);
        candidates.push_back({path, false});
    }
    for (char letter = 'c'; letter <= 'l'; ++letter) {
        std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
        candidates.push_back({path, true});
    }
    return candidates;
}

void port_sleep_ms(uint32_t milliseconds) { Sleep(milliseconds); }

int64_t port_time_s() { return static_cast<int64_t>(std::time(nullptr)); }

struct port_thread {
    HANDLE handle = nullptr;
    void (*body)(void*) = nullptr;
    void* argument = nullptr;
};

namespace {
DWORD WINAPI thread_entry(LPVOID raw) {
    auto* thread = static_cast<port_thread*>(raw);
    thread->body(thread->argument);
    return 0;
}
}  // namespace

port_thread* port_thread_start(void (*body)(void*), void* argument) {
    auto* thread = new port_thread{nullptr, body, argument};
    thread->handle = CreateThread(nullptr, 0, thread_entry, thread, 0, nullptr);
    if (thread->handle == nullptr) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void port_thread_join(port_thread* thread) {
    if (thread == nullptr) return;
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    delete thread;
}

}  // namespace zelko
