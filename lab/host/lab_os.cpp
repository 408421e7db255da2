#include "lab/host/lab_os.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill(), POSIX, not in <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

#ifdef _WIN32

struct lab_lock_file {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

lab_lock_file* lab_lock_open(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new lab_lock_file{handle};
}

void lab_lock_close(lab_lock_file* file) {
    if (file == nullptr) return;
    CloseHandle(file->handle);
    delete file;
}

bool lab_lock_acquire(lab_lock_file* file) {
    OVERLAPPED where = {};
    return LockFileEx(file->handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where) != 0;
}

void lab_lock_release(lab_lock_file* file) {
    OVERLAPPED where = {};
    UnlockFileEx(file->handle, 0, 1, 0, &where);
}

bool lab_replace_file(const std::string& temp, const std::string& target) {
    return MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

struct lab_data_file {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

lab_data_file* lab_data_open(const std::string& path, bool create, bool* missing) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (missing != nullptr) *missing = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND;
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (create) {
        // A sparse file: the media of a disk of 1 TB takes only the room its written blocks take.
        DWORD returned = 0;
        DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    }
    return new lab_data_file{handle};
}

void lab_data_close(lab_data_file* file) {
    if (file == nullptr) return;
    CloseHandle(file->handle);
    delete file;
}

namespace {

OVERLAPPED at_offset(uint64_t offset) {
    OVERLAPPED where = {};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

constexpr size_t k_largest_call = 1u << 30;

}  // namespace

bool lab_data_read_at(lab_data_file* file, uint64_t offset, void* out, size_t length, size_t* got) {
    *got = 0;
    while (*got < length) {
        OVERLAPPED where = at_offset(offset + *got);
        const size_t want = length - *got < k_largest_call ? length - *got : k_largest_call;
        DWORD count = 0;
        if (ReadFile(file->handle, static_cast<char*>(out) + *got, static_cast<DWORD>(want), &count, &where) == 0) {
            return GetLastError() == ERROR_HANDLE_EOF;
        }
        if (count == 0) return true;
        *got += count;
    }
    return true;
}

bool lab_data_write_at(lab_data_file* file, uint64_t offset, const void* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        OVERLAPPED where = at_offset(offset + done);
        const size_t want = length - done < k_largest_call ? length - done : k_largest_call;
        DWORD count = 0;
        if (WriteFile(file->handle, static_cast<const char*>(data) + done, static_cast<DWORD>(want), &count, &where) ==
                0 ||
            count == 0) {
            return false;
        }
        done += count;
    }
    return true;
}

bool lab_data_size(lab_data_file* file, uint64_t* size) {
    LARGE_INTEGER value = {};
    if (GetFileSizeEx(file->handle, &value) == 0) return false;
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool lab_data_extend(lab_data_file* file, uint64_t size) {
    uint64_t now = 0;
    if (!lab_data_size(file, &now)) return false;
    if (now >= size) return true;
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(file->handle, end, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(file->handle) != 0;
}

#else

struct lab_lock_file {
    int fd = -1;
};

lab_lock_file* lab_lock_open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return new lab_lock_file{fd};
}

void lab_lock_close(lab_lock_file* file) {
    if (file == nullptr) return;
    ::close(file->fd);
    delete file;
}

bool lab_lock_acquire(lab_lock_file* file) {
    while (::flock(file->fd, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void lab_lock_release(lab_lock_file* file) { ::flock(file->fd, LOCK_UN); }

bool lab_replace_file(const std::string& temp, const std::string& target) {
    return std::rename(temp.c_str(), target.c_str()) == 0;
}

struct lab_data_file {
    int fd = -1;
};

lab_data_file* lab_data_open(const std::string& path, bool create, bool* missing) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (missing != nullptr) *missing = fd < 0 && errno == ENOENT;
    if (fd < 0) return nullptr;
    return new lab_data_file{fd};
}

void lab_data_close(lab_data_file* file) {
    if (file == nullptr) return;
    ::close(file->fd);
    delete file;
}

bool lab_data_read_at(lab_data_file* file, uint64_t offset, void* out, size_t length, size_t* got) {
    *got = 0;
    while (*got < length) {
        const ssize_t count =
            ::pread(file->fd, static_cast<char*>(out) + *got, length - *got, static_cast<off_t>(offset + *got));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return false;
        if (count == 0) return true;
        *got += static_cast<size_t>(count);
    }
    return true;
}

bool lab_data_write_at(lab_data_file* file, uint64_t offset, const void* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t count =
            ::pwrite(file->fd, static_cast<const char*>(data) + done, length - done, static_cast<off_t>(offset + done));
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

bool lab_data_size(lab_data_file* file, uint64_t* size) {
    struct stat info = {};
    if (::fstat(file->fd, &info) != 0) return false;
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool lab_data_extend(lab_data_file* file, uint64_t size) {
    uint64_t now = 0;
    if (!lab_data_size(file, &now)) return false;
    if (now >= size) return true;
    while (::ftruncate(file->fd, static_cast<off_t>(size)) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

#endif

#ifdef _WIN32
int64_t lab_process_id() { return static_cast<int64_t>(GetCurrentProcessId()); }

bool lab_process_alive(int64_t id) {
    if (id <= 0 || id > UINT32_MAX) return false;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}
#else
int64_t lab_process_id() { return static_cast<int64_t>(::getpid()); }

bool lab_process_alive(int64_t id) {
    if (id <= 0 || id > INT32_MAX) return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}
#endif

int64_t lab_real_now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void lab_real_sleep_us(uint64_t microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }
