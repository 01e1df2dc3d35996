#pragma once
// A whole file mapped read-only into memory. The builder reads old and new
// game files through this: packages of a gigabyte are neither copied nor held
// in the heap, and payload bytes go from the mapping straight to the release.

#include <cstdint>
#include <string>

class CMappedFile {
 public:
  CMappedFile() = default;
  ~CMappedFile();
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  // False, with `why` naming the path and the reason, when the file cannot
  // be opened or mapped.
  bool Open(const std::string& path, std::string* why);

  // Never null, also for an empty file.
  const uint8_t* Data() const { return data_; }
  uint64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

 private:
  const uint8_t* data_ = &kEmpty;
  uint64_t size_ = 0;
  void* mapping_ = nullptr;
  std::string path_;
  static const uint8_t kEmpty;
};
