#pragma once
// The PE image checksum, over a file given in pieces: the 16-bit words of the
// whole file (the checksum field read as zero) added with end-around carry,
// plus the file's length.

#include <cstddef>
#include <cstdint>

class CPeChecksum {
 public:
  // The pieces in file order; the checksum field must already be zero.
  void Add(const uint8_t* data, size_t size);
  void AddZeros(size_t size);
  // Bytes that take the place of zeros already added, at an even offset:
  // their words count, the length stays.
  void ReplaceZeros(const uint8_t* data, size_t size);
  uint32_t Finish() const;

 private:
  void AddWord(uint32_t word) {
    sum_ += word;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }

  uint32_t sum_ = 0;
  uint64_t length_ = 0;
  int pending_ = -1;  // the low byte of a word split between pieces
};
