#pragma once
// A container read back from a file one entry at a time, for one too large
// to map whole (the builder reading what it wrote): each entry comes as a
// container of its own, holding that entry alone, its payload chunks'
// offsets moved to where its payload now lies, and validated as
// ValidatePatchContainer validates any container. Memory holds the largest
// entry, not the container.

#include <cstdint>
#include <string>
#include <vector>

#include "container/patch_container.h"
#include "platform/files.h"

class CContainerFileReader {
 public:
  // False, with `why`, when the file cannot be read or holds no entry
  // count.
  bool Open(const std::string& path, uint32_t codePage, std::string* why);
  // Entries not yet given by Next.
  uint32_t Left() const { return left_; }
  // The next entry, as `entry` (its bytes valid until the next call). False,
  // with `why`, when it cannot be read or is not valid.
  bool Next(CPatchContainer& entry, std::string* why);

 private:
  bool ReadAt(uint64_t position, uint8_t* out, uint32_t size, std::string* why);

  std::string path_;
  uint32_t codePage_ = 0;
  platform::CFile file_;
  uint64_t size_ = 0;
  uint64_t at_ = 0;  // where the next entry's record starts
  uint32_t left_ = 0;
  std::vector<uint8_t> image_;  // the entry as a container of its own
};
