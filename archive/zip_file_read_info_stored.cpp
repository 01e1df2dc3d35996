#include "archive/zip_file_read_info_stored.h"

#include <zlib.h>

#include <algorithm>

CZipFileReadInfoStored::CZipFileReadInfoStored(const CZipFileEntry& entry, CZipSource& stream)
    : entry_(entry), stream_(stream), crc_(static_cast<uint32_t>(crc32(0, nullptr, 0))) {}

int32_t CZipFileReadInfoStored::Read(uint8_t* buffer, int32_t size) {
  if (size <= 0) return -1;
  if (end_) return 0;
  // A stored entry's compressed size is its size.
  if (bytesRead_ >= entry_.compressedSize) {
    end_ = true;
    return 0;
  }
  uint32_t want = static_cast<uint32_t>(std::min(size, entry_.compressedSize - bytesRead_));
  uint64_t position = static_cast<uint64_t>(entry_.dataOffset) + static_cast<uint64_t>(bytesRead_);
  int64_t got = stream_.ReadAt(position, buffer, want);
  if (got < 0) return -1;
  crc_ = static_cast<uint32_t>(crc32(crc_, buffer, static_cast<uInt>(got)));
  bytesRead_ += static_cast<int32_t>(got);
  return static_cast<int32_t>(got);
}

bool CZipFileReadInfoStored::CheckCrc() {
  return crc_ == entry_.crc32;
}
