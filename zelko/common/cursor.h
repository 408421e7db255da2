// Bounded readers and writers over a byte span, for everything that comes from outside:
// device answers (Identify and log pages, PG records, LED memory) and files (image headers,
// configuration encodings).
//
// A cursor never reads or writes outside its span. A read that would run past the end
// yields zeros (a text read yields what was inside the span), a write that would run past
// the end writes nothing, and either sets a sticky flag: decode a whole structure, then
// check ok() once. Reads at an explicit offset (`le16_at`) do not move the position, so
// fixed-layout structures read as a table of offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zelko/common/bytes.h"
#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// What both cursors share: the span's size, the position and the sticky flag.
class cursor_base {
public:
    bool ok() const { return ok_; }
    size_t size() const { return size_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
    // True when `count` bytes at `offset` lie inside the span.
    bool has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }

    // Moves to an absolute offset; past the end sets the flag and parks at the end.
    void seek(size_t offset) {
        if (offset > size_) {
            ok_ = false;
            offset = size_;
        }
        pos_ = offset;
    }
    void skip(size_t count) { seek(count > remaining() ? size_ + 1 : pos_ + count); }

protected:
    explicit cursor_base(size_t size) : size_(size) {}
    // Checks that `count` bytes at `offset` are inside; sets the flag when they are not.
    bool inside(size_t offset, size_t count) {
        if (has(offset, count)) return true;
        ok_ = false;
        return false;
    }
    void fail() { ok_ = false; }

    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class read_cursor : public cursor_base {
public:
    read_cursor(const uint8_t* data, size_t size) : cursor_base(data == nullptr ? 0 : size), data_(data) {}
    read_cursor(const void* data, size_t size) : read_cursor(static_cast<const uint8_t*>(data), size) {}

    uint8_t u8() { return advance(u8_at(pos_), 1); }
    uint16_t le16() { return advance(le16_at(pos_), 2); }
    uint32_t le32() { return advance(le32_at(pos_), 4); }
    uint64_t le64() { return advance(le64_at(pos_), 8); }
    uint16_t be16() { return advance(be16_at(pos_), 2); }
    uint32_t be32() { return advance(be32_at(pos_), 4); }
    // Copies `count` bytes; what lies past the end is zero-filled in `out`.
    void bytes(void* out, size_t count) {
        bytes_at(pos_, out, count);
        skip(count);
    }

    uint8_t u8_at(size_t offset) { return inside(offset, 1) ? data_[offset] : 0; }
    uint16_t le16_at(size_t offset) { return inside(offset, 2) ? get_le16(data_ + offset) : 0; }
    uint32_t le32_at(size_t offset) { return inside(offset, 4) ? get_le32(data_ + offset) : 0; }
    uint64_t le64_at(size_t offset) { return inside(offset, 8) ? get_le64(data_ + offset) : 0; }
    uint16_t be16_at(size_t offset) { return inside(offset, 2) ? get_be16(data_ + offset) : 0; }
    uint32_t be32_at(size_t offset) {
        if (!inside(offset, 4)) return 0;
        return (static_cast<uint32_t>(get_be16(data_ + offset)) << 16) | get_be16(data_ + offset + 2);
    }
    void bytes_at(size_t offset, void* out, size_t count) {
        auto* to = static_cast<uint8_t*>(out);
        const size_t there = offset < size_ ? (count < size_ - offset ? count : size_ - offset) : 0;
        if (there != 0) std::memcpy(to, data_ + offset, there);
        if (there != count) {
            std::memset(to + there, 0, count - there);
            fail();
        }
    }
    // A view of `count` bytes at `offset`, or null (and the flag set) when they are not all inside.
    const uint8_t* span_at(size_t offset, size_t count) { return inside(offset, count) ? data_ + offset : nullptr; }

private:
    template <typename T>
    T advance(T value, size_t width) {
        skip(width);
        return value;
    }

    const uint8_t* data_;
};

class write_cursor : public cursor_base {
public:
    write_cursor(uint8_t* data, size_t size) : cursor_base(data == nullptr ? 0 : size), data_(data) {}
    write_cursor(void* data, size_t size) : write_cursor(static_cast<uint8_t*>(data), size) {}

    void u8(uint8_t v) { advance(u8_at(pos_, v), 1); }
    void le16(uint16_t v) { advance(le16_at(pos_, v), 2); }
    void le32(uint32_t v) { advance(le32_at(pos_, v), 4); }
    void le64(uint64_t v) { advance(le64_at(pos_, v), 8); }
    void be16(uint16_t v) { advance(be16_at(pos_, v), 2); }
    void bytes(const void* from, size_t count) { advance(bytes_at(pos_, from, count), count); }

    // Each writes all of its bytes or none; false (and the flag set) when they do not fit.
    bool u8_at(size_t offset, uint8_t v) { return inside(offset, 1) && (data_[offset] = v, true); }
    bool le16_at(size_t offset, uint16_t v) { return inside(offset, 2) && (put_le16(data_ + offset, v), true); }
    bool le32_at(size_t offset, uint32_t v) { return inside(offset, 4) && (put_le32(data_ + offset, v), true); }
    bool le64_at(size_t offset, uint64_t v) { return inside(offset, 8) && (put_le64(data_ + offset, v), true); }
    bool be16_at(size_t offset, uint16_t v) { return inside(offset, 2) && (put_be16(data_ + offset, v), true); }
    bool bytes_at(size_t offset, const void* from, size_t count) {
        if (!inside(offset, count)) return false;
        if (count != 0) std::memcpy(data_ + offset, from, count);
        return true;
    }

private:
    void advance(bool written, size_t width) {
        if (written) {
            pos_ += width;
        } else {
            pos_ = size_;
        }
    }

    uint8_t* data_;
};

}  // namespace zelko
ZELKO_API_END
