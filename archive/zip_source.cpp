#include "archive/zip_source.h"

#include <cstring>

bool CZipFileSource::Open(const std::string& path) {
  if (file_.OpenRead(path)) return true;
  error_ = platform::LastFileError();
  return false;
}

int64_t CZipFileSource::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  const int64_t got = file_.ReadAt(position, buffer, size);
  if (got < 0) error_ = platform::LastFileError();
  return got;
}

int64_t CZipBytesSource::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (position >= size_) return 0;
  const uint64_t take = size_ - position < size ? size_ - position : size;
  std::memcpy(buffer, data_ + position, static_cast<size_t>(take));
  return static_cast<int64_t>(take);
}
