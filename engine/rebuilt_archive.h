#pragma once
// An archive entry's one-entry zip archive as the zip reader sees it, never
// written whole: each byte asked for comes from the patch data (payload
// chunks) or from the installed file (copy chunks), where the entry's chunks
// put it. The file unpacked from it is the only file the entry writes.

#include <vector>

#include "archive/zip_source.h"
#include "container/patch_container.h"
#include "engine/local_file_reader.h"
#include "engine/patch_progress.h"

class CRebuiltArchive : public CZipSource {
 public:
  // `installed` is open on the entry's installed file; `progress` takes the
  // payload bytes as the reader first reaches them.
  CRebuiltArchive(const CPatchContainer& container, const CContainerEntry& entry,
                  CLocalFileReader& installed, CPatchProgress& progress);

  int64_t Size() override { return static_cast<int64_t>(size_); }
  int64_t ReadAt(uint64_t position, void* buffer, uint32_t size) override;
  platform::FileError Error() const override { return error_; }
  // Whether a failed read was one of the installed file, whose cause the
  // installed file's reader tells.
  bool CopyFailed() const { return copyFailed_; }
  // Adds to the progress the payload bytes not yet reached.
  void FinishProgress();

 private:
  struct CPiece {
    uint64_t at;  // where the chunk's bytes begin in the archive
    CChunkRecord chunk;
  };

  const CContainerEntry& entry_;  // its payload held while the archive is read
  CLocalFileReader& installed_;
  CPatchProgress& progress_;
  std::vector<CPiece> pieces_;
  uint64_t size_ = 0;
  uint32_t payloadSize_;
  uint64_t read_ = 0;      // bytes read so far, at most the archive's size
  uint32_t reported_ = 0;  // payload bytes added to the progress
  platform::FileError error_ = platform::FileError::kNone;
  bool copyFailed_ = false;
};
