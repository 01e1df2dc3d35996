#pragma once
// Inflates raw deflate data (no zlib header) that lies whole in memory, such
// as an archive entry's data inside the patch data, into the caller's buffer.

#include <zlib.h>

#include <cstdint>

class CMemoryInflater {
 public:
  CMemoryInflater(const uint8_t* data, uint32_t size);
  ~CMemoryInflater();
  CMemoryInflater(const CMemoryInflater&) = delete;
  CMemoryInflater& operator=(const CMemoryInflater&) = delete;

  // Fills up to size bytes; returns the count (less only at the end of the
  // stream), or -1 for damaged data or input that ends before the stream.
  int64_t Read(uint8_t* buffer, uint32_t size);

 private:
  z_stream stream_ = {};
  bool started_ = false;
  bool ended_ = false;
};
