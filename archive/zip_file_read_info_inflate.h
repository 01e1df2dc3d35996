#pragma once
// Reads a deflated entry (method 8) with zlib's raw inflate, through the
// archive's two fixed buffers: compressed input is read only when inflate has
// used up the previous block, and each window of output is handed out before
// inflate runs again.

#include <zlib.h>

#include "archive/zip_file_entry.h"
#include "archive/zip_file_read_info.h"
#include "archive/zip_source.h"

constexpr uint32_t kInflateBufferSize = 16384;

class CZipFileReadInfoInflate : public CZipFileReadInfo {
 public:
  // input and output each point at kInflateBufferSize bytes that the archive owns.
  CZipFileReadInfoInflate(const CZipFileEntry& entry, CZipSource& stream, uint8_t* input,
                          uint8_t* output);
  ~CZipFileReadInfoInflate() override;
  CZipFileReadInfoInflate(const CZipFileReadInfoInflate&) = delete;
  CZipFileReadInfoInflate& operator=(const CZipFileReadInfoInflate&) = delete;

  // Reads the first block of compressed data and starts inflate; false when
  // the block cannot be read whole or zlib refuses.
  bool Start();

  // Returns -1 for a non-positive size, a short read of compressed data, an
  // inflate error, a stream that ends before the recorded size, or one that
  // goes on past it (nothing beyond the recorded size is ever handed out).
  int32_t Read(uint8_t* buffer, int32_t size) override;
  bool CheckCrc() override;

 private:
  // Reads the next block of compressed data when inflate has none left.
  bool FeedInput();
  bool AllInputUsed() const;

  const CZipFileEntry& entry_;
  bool initialised_ = false;
  bool finished_ = false;
  z_stream inflate_ = {};
  CZipSource& stream_;
  int32_t compressedRead_ = 0;
  uint32_t delivered_ = 0;
  uint32_t crc_ = 0;
  uint8_t* input_;
  uint8_t* output_;
};
