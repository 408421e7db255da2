// Files named on the lab's command line: data read into a bridge (saved Identify and log
// pages, SMART data) and files the lab writes (images, drawings). Only regular files are
// read, and only when their size is the expected one, so that a directory, a device node
// or a FIFO is one line of error instead of an exception or a read that never ends; an
// output is written only where no file is, or over a regular file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file at `path` when it is a regular file of exactly `size` bytes.
// `what` names the content in the error ("a 4096-byte page").
bool lab_read_exact_file(const std::string& path, uint64_t size, const std::string& what, std::vector<uint8_t>* bytes,
                         std::string* error);

// Writes `bytes` to `path`, which must not exist or be a regular file.
bool lab_write_output_file(const std::string& path, const void* bytes, size_t length, std::string* error);
