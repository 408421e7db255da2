// The lab's only operating-system-specific pieces: an exclusive lock on a lock file,
// the atomic replacement of a file, reads and writes in place at an offset of a data
// file, and the real clock and sleep. Everything else in the lab is portable C++.
#pragma once

#include <cstdint>
#include <string>

// An open lock file. Opening creates the file when it is missing.
struct lab_lock_file;

lab_lock_file* lab_lock_open(const std::string& path);
void lab_lock_close(lab_lock_file* file);

// Blocks until this process holds the exclusive lock. False when locking failed.
bool lab_lock_acquire(lab_lock_file* file);
void lab_lock_release(lab_lock_file* file);

// Replaces `target` by `temp` in one step: a reader sees either the old or the new file,
// never a mixture, and a process killed midway leaves the old one.
bool lab_replace_file(const std::string& temp, const std::string& target);

// An open data file (a bridge's memory), read and written in place at offsets.
struct lab_data_file;

// Opens a data file for reading and writing; `create` makes a missing one. Null when it
// cannot be opened; `*missing` (when given) tells that it does not exist.
lab_data_file* lab_data_open(const std::string& path, bool create, bool* missing);
void lab_data_close(lab_data_file* file);
// Reads up to `length` bytes at `offset`; `*got` is how many the file holds there
// (fewer at its end, 0 beyond it).
bool lab_data_read_at(lab_data_file* file, uint64_t offset, void* out, size_t length, size_t* got);
bool lab_data_write_at(lab_data_file* file, uint64_t offset, const void* data, size_t length);
bool lab_data_size(lab_data_file* file, uint64_t* size);
// Makes the file `size` bytes long when it is shorter, without writing the new bytes:
// they read as zeros and take no room on disk (a sparse file).
bool lab_data_extend(lab_data_file* file, uint64_t size);

// This process's id, and whether the process of an id still runs (an id of 0, no
// process, never does).
int64_t lab_process_id();
bool lab_process_alive(int64_t id);

// Wall-clock milliseconds since 1970: the clock every process of a lab agrees on.
int64_t lab_real_now_ms();

void lab_real_sleep_us(uint64_t microseconds);

// Holds the exclusive lock of an open lock file for the life of the object.
class lab_lock_guard {
public:
    explicit lab_lock_guard(lab_lock_file* file) : file_(file), held_(file != nullptr && lab_lock_acquire(file)) {}
    ~lab_lock_guard() {
        if (held_) lab_lock_release(file_);
    }
    lab_lock_guard(const lab_lock_guard&) = delete;
    lab_lock_guard& operator=(const lab_lock_guard&) = delete;
    bool held() const { return held_; }

private:
    lab_lock_file* file_;
    bool held_;
};

// Owns an open data file.
class lab_data_owner {
public:
    explicit lab_data_owner(lab_data_file* file) : file_(file) {}
    ~lab_data_owner() { lab_data_close(file_); }
    lab_data_owner(const lab_data_owner&) = delete;
    lab_data_owner& operator=(const lab_data_owner&) = delete;
    lab_data_file* get() const { return file_; }

private:
    lab_data_file* file_;
};

// Owns an open lock file.
class lab_lock_owner {
public:
    explicit lab_lock_owner(const std::string& path) : file_(lab_lock_open(path)) {}
    ~lab_lock_owner() { lab_lock_close(file_); }
    lab_lock_owner(const lab_lock_owner&) = delete;
    lab_lock_owner& operator=(const lab_lock_owner&) = delete;
    lab_lock_file* get() const { return file_; }

private:
    lab_lock_file* file_;
};
