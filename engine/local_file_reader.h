#pragma once
// Reads the installed file of the entry being rebuilt, where copy chunks point.
// A file of up to kWholeSize bytes is read whole when it is opened, in a few
// large reads: the copies of recompiled code jump about the file, and served
// from blocks they read it many times over (swc's 47 MB, 1.4 GB in 64 KiB
// reads), each read a call to Wine's server there. In a larger file, copy
// chunks that lie close together are read in one piece (ReadAhead) and then
// served from memory: tens of thousands of small copies cost a few hundred
// reads, not one each. A small copy from elsewhere is served from a few
// recently read blocks instead, so that it neither costs a read of its own
// each time its place is visited nor drops the window of the copies around
// it.

#include <cstdint>
#include <memory>
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
  // Copies up to this size are served from the blocks.
  static constexpr uint32_t kBlockSize = 64 * 1024;
  // Files up to this size are held whole while their entry is made.
  static constexpr uint32_t kWholeSize = 64 * 1024 * 1024;

  CFailureCause FailureCause() const { return cause_; }

 private:
  // Copies [offset, offset + size) out of the blocks, reading what is
  // missing; false when the file ends before.
  bool ReadFromBlocks(uint8_t* buffer, uint64_t offset, uint32_t size);
  const uint8_t* Block(uint64_t start, uint32_t& valid);
  // Reads the open file whole into the window when it is small enough and
  // memory allows; best effort, as ReadAhead.
  void ReadWhole();

  static constexpr uint32_t kBlocks = 64;
  struct CBlock {
    uint64_t start = UINT64_MAX;
    uint32_t valid = 0;  // bytes of the file it holds
    uint64_t used = 0;   // when last asked for: the oldest is reused
  };

  platform::CFile file_;
  std::vector<uint8_t> window_;
  std::unique_ptr<uint8_t[]> whole_;  // the file held whole, when it is
  std::vector<uint8_t> blockBytes_;
  CBlock blocks_[kBlocks];
  uint64_t clock_ = 0;
  uint32_t windowSize_ = 0;   // how much of window_ holds the file
  uint64_t windowStart_ = 0;  // the file offset of window_[0]
  platform::FileError openError_ = platform::FileError::kNone;
  CFailureCause cause_ = CFailureCause::kDiskError;
};
