#pragma once
// One bounds-checked read cursor over a byte range, used by every parser: the
// patch data container and the zip records. A read past the end delivers the
// bytes that are left and latches the failed state; once failed, reads deliver
// nothing. Positions never leave [0, size].

#include <cstdint>
#include <cstring>

#include "base/little_endian.h"

class CByteCursor {
 public:
  CByteCursor(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

  uint32_t Size() const { return size_; }
  uint32_t Tell() const { return position_; }
  uint32_t Remaining() const { return size_ - position_; }
  bool Failed() const { return failed_; }

  // Copies up to n bytes; returns the count delivered.
  uint32_t Read(void* out, uint32_t n) {
    if (failed_) return 0;
    uint32_t take = n <= Remaining() ? n : Remaining();
    if (take != 0) std::memcpy(out, data_ + position_, take);
    position_ += take;
    if (take < n) failed_ = true;
    return take;
  }

  // Points at the next n bytes and passes over them, or fails without moving.
  const uint8_t* Take(uint32_t n) {
    if (failed_ || n > Remaining()) {
      failed_ = true;
      return nullptr;
    }
    const uint8_t* p = data_ + position_;
    position_ += n;
    return p;
  }

  uint8_t ReadU8() {
    const uint8_t* p = Take(1);
    return p ? p[0] : 0;
  }

  uint16_t ReadU16() {
    const uint8_t* p = Take(2);
    return p ? GetU16(p) : 0;
  }

  uint32_t ReadU32() {
    const uint8_t* p = Take(4);
    return p ? GetU32(p) : 0;
  }

  uint64_t ReadU64() {
    const uint8_t* p = Take(8);
    return p ? GetU32(p) | uint64_t{GetU32(p + 4)} << 32 : 0;
  }

  // Whether the n bytes were there (also n == 0 on an empty range, whose
  // data may be null).
  bool Skip(uint32_t n) {
    Take(n);
    return !failed_;
  }

  // Absolute positioning; a position past the end fails.
  bool Seek(uint32_t position) {
    if (failed_ || position > size_) {
      failed_ = true;
      return false;
    }
    position_ = position;
    return true;
  }

 private:
  const uint8_t* data_;
  uint32_t size_;
  uint32_t position_ = 0;
  bool failed_ = false;
};
