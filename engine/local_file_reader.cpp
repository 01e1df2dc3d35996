#include "engine/local_file_reader.h"

#include <algorithm>

void CLocalFileReader::OpenLocal(const std::string& path, uint32_t chunkCount) {
  CloseLocal();
  openError_ = platform::FileError::kNone;
  if (chunkCount > 1 && !file_.OpenRead(path)) openError_ = platform::LastFileError();
}

bool CLocalFileReader::ReadLocalAt(uint8_t* buffer, uint64_t offset, uint32_t size) {
  if (!file_.IsOpen()) {
    cause_ = openError_ == platform::FileError::kNotFound ? CFailureCause::kMissing
                                                          : CauseOf(openError_);
    return false;
  }
  if (InWindow(offset, size)) {
    std::copy_n(window_.data() + (offset - windowStart_), size, buffer);
    return true;
  }
  const int64_t got = file_.ReadAt(offset, buffer, size);
  if (got == static_cast<int64_t>(size)) return true;
  // Shorter than the patch expects: another version of the file.
  cause_ = got < 0 ? CauseOf(platform::LastFileError()) : CFailureCause::kNotExpectedVersion;
  return false;
}

bool CLocalFileReader::InWindow(uint64_t offset, uint32_t size) const {
  return offset >= windowStart_ && offset - windowStart_ <= windowSize_ &&
         windowSize_ - (offset - windowStart_) >= size;
}

void CLocalFileReader::ReadAhead(uint64_t offset, uint32_t size) {
  windowSize_ = 0;
  if (!file_.IsOpen() || size > kWindowSize) return;
  if (window_.empty()) window_.resize(kWindowSize);
  const int64_t got = file_.ReadAt(offset, window_.data(), size);
  // What could not be read is read again, and judged, chunk by chunk.
  windowSize_ = got > 0 ? static_cast<uint32_t>(got) : 0;
  windowStart_ = offset;
}

void CLocalFileReader::CloseLocal() {
  file_.Close();
  windowSize_ = 0;
  windowStart_ = 0;
}
