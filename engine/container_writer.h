#pragma once
// Lays out patch data containers: entry record, chunk table, then the payload
// chunks' bytes in chunk order, each payload chunk's offset set to its bytes'
// absolute position and payloadSize to their total. The release builder and
// the tests write every container through this.

#include <cstdint>
#include <string>
#include <vector>

struct CChunkPlan {
  bool payload = true;
  uint32_t offset = 0;         // copy chunk: position in the installed file
  uint32_t size = 0;           // copy chunk: bytes to copy
  std::vector<uint8_t> bytes;  // payload chunk: its bytes (size is theirs)

  static CChunkPlan Payload(std::vector<uint8_t> bytes);
  static CChunkPlan Copy(uint32_t offset, uint32_t size);
};

struct CEntryPlan {
  std::string name;
  std::string digestBefore;  // empty: the installed file is not checked
  std::string digestAfter;
  std::vector<CChunkPlan> chunks;
};

struct CWriterOptions {
  // Arbitrary non-zero bytes after each text's NUL, in the reserved fields
  // and as the payload flag, as real releases have; readers must ignore them.
  bool junk = false;
};

class CContainerWriter {
 public:
  explicit CContainerWriter(CWriterOptions options = {}) : options_(options) {}

  void AddEntry(CEntryPlan entry) { entries_.push_back(std::move(entry)); }

  // The container's bytes. False, with `why`, when an entry cannot be laid
  // out: a name of 1024 bytes or more, a digest text of the wrong form, no
  // chunk, a copy chunk first, or a container over the 32-bit limits.
  bool Build(std::vector<uint8_t>& out, std::string* why) const;

 private:
  CWriterOptions options_;
  std::vector<CEntryPlan> entries_;
};
