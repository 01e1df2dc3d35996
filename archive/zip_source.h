#pragma once
// Where a zip archive's bytes come from: a file, bytes in memory, or an
// archive that is never written whole (the patcher's rebuilt one-entry
// archive, read from the patch data and the installed file as it is asked
// for). The reader asks for bytes at positions; a read that fails says why.

#include <cstdint>
#include <string>

#include "platform/files.h"

class CZipSource {
 public:
  virtual ~CZipSource() = default;
  // The archive's size in bytes; negative when it cannot be told.
  virtual int64_t Size() = 0;
  // Up to `size` bytes at `position`; the count read (short only at the
  // end), or negative for a failed read.
  virtual int64_t ReadAt(uint64_t position, void* buffer, uint32_t size) = 0;
  // The error of the last failed read, or of the failed open.
  virtual platform::FileError Error() const = 0;
};

// An archive file, read where it lies.
class CZipFileSource : public CZipSource {
 public:
  // False when the file cannot be opened, with the reason in Error().
  bool Open(const std::string& path);
  int64_t Size() override { return file_.Size(); }
  int64_t ReadAt(uint64_t position, void* buffer, uint32_t size) override;
  platform::FileError Error() const override { return error_; }

 private:
  platform::CFile file_;
  platform::FileError error_ = platform::FileError::kNone;
};

// An archive whole in memory; the bytes must outlive the source.
class CZipBytesSource : public CZipSource {
 public:
  CZipBytesSource(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  int64_t Size() override { return static_cast<int64_t>(size_); }
  int64_t ReadAt(uint64_t position, void* buffer, uint32_t size) override;
  platform::FileError Error() const override { return platform::FileError::kNone; }

 private:
  const uint8_t* data_;
  uint64_t size_;
};
