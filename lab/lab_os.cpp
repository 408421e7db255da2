#include "lab/lab_os.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

#ifdef _WIN32

struct lab_lock_file {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

lab_lock_file* lab_lock_open(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

#endif

int64_t lab_real_now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void lab_real_sleep_us(uint64_t microseconds) {
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}
