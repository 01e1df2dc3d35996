#pragma once
// Reads the installed file of the entry being rebuilt, where copy chunks point.
// Copy chunks that lie close together are read in one piece (ReadAhead) and
// then served from memory: tens of thousands of small copies cost a few
// hundred reads, not one each.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/failure_reason.h"
#include "platform/files.h"

class CLocalFileReader {
 public:
  // Closes any open file, then opens `path` only when chunkCount is above 1
  // (an entry of one chunk does not depend on the installed file).
  void OpenLocal(const std::string& path, uint32_t chunkCount);
  // Reads exactly size bytes at the absolute offset; false when the file is
  // missing, shorter, or the read fails, with the cause in FailureCause().
  bool ReadLocalAt(uint8_t* buffer, uint64_t offset, uint32_t size);
  void CloseLocal();

  // Reads [offset, offset + size) of the file ahead of the copies that need
  // it (at most kWindowSize bytes); best effort: what fails is read again
  // by ReadLocalAt, which judges it.
  void ReadAhead(uint64_t offset, uint32_t size);
  bool InWindow(uint64_t offset, uint32_t size) const;
  static constexpr uint32_t kWindowSize = 1024 * 1024;

  CFailureCause FailureCause() const { return cause_; }

 private:
  platform::CFile file_;
  std::vector<uint8_t> window_;
  uint32_t windowSize_ = 0;   // how much of window_ holds the file
  uint64_t windowStart_ = 0;  // the file offset of window_[0]
  platform::FileError openError_ = platform::FileError::kNone;
  CFailureCause cause_ = CFailureCause::kDiskError;
};
