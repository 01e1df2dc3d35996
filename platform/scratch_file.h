#pragma once
// A file of the builder's own beside an output, never committed: written
// once, then read by whoever opens its path, and removed when it goes, or by
// an interrupt's cleanup (pending_outputs.h), as CAtomicOutput's temporary
// file is. Its bytes need not outlast the build, so nothing of it is synced
// to the disk.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/files.h"

class CScratchFile {
 public:
  CScratchFile() = default;
  ~CScratchFile();
  CScratchFile(const CScratchFile&) = delete;
  CScratchFile& operator=(const CScratchFile&) = delete;

  // Creates the file beside `path` (".NAME.XXXXXX"); an earlier file of this
  // one goes first. False, with `why`.
  bool Open(const std::string& path, std::string* why);
  bool Write(const void* data, size_t size);
  // Ends the writing, and lets go of what gathered the writes. False, with
  // Error().
  bool EndWriting();
  const std::string& Path() const { return path_; }
  uint64_t Size() const { return size_; }
  bool Failed() const { return !error_.empty(); }
  // What made a write fail.
  std::string Error() const;

 private:
  void Remove();

  std::string beside_;
  std::string path_;
  std::unique_ptr<platform::CFile> file_;
  int pendingSlot_ = -1;
  uint64_t size_ = 0;
  std::string error_;
};

// Hands the bytes of the file at `path` to `sink` a piece at a time, from
// its start: a scratch file read back whole, never held in memory whole.
// False, with `why` naming the file, when it cannot be read; false also when
// the sink fails.
bool ReadFileInPieces(const std::string& path,
                      const std::function<bool(const uint8_t* data, size_t size)>& sink,
                      std::string* why);
