#pragma once
// Reads the installed file of the entry being rebuilt, where copy chunks point.

#include <cstdint>
#include <string>

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

  CFailureCause FailureCause() const { return cause_; }

 private:
  platform::CFile file_;
  platform::FileError openError_ = platform::FileError::kNone;
  CFailureCause cause_ = CFailureCause::kDiskError;
};
