#pragma once
// Reads the data of one open entry. The reader borrows the archive's file,
// entry record and buffers, so it never outlives the archive's open state.

#include <cstdint>

class CZipFileReadInfo {
 public:
  virtual ~CZipFileReadInfo() = default;
  // Fills buffer with up to size bytes of the entry's uncompressed data;
  // returns the count, 0 at the end, or a negative value on failure.
  virtual int32_t Read(uint8_t* buffer, int32_t size) = 0;
  // True when the CRC-32 of the bytes delivered so far equals the recorded one.
  virtual bool CheckCrc() = 0;
};
