#pragma once
// An output file that appears whole or not at all: the bytes go to a
// temporary file beside it, which is flushed to the disk and then moved over
// the target, its folder synced where the system needs that: the patcher's
// own file calls (files.h), so the same seams see both programs' files. A
// failure, or an interrupt (Ctrl+C, a terminal closed), removes the temporary
// file and leaves any earlier target as it was.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

class CAtomicOutput {
 public:
  CAtomicOutput() = default;
  ~CAtomicOutput();
  CAtomicOutput(const CAtomicOutput&) = delete;
  CAtomicOutput& operator=(const CAtomicOutput&) = delete;

  bool Open(const std::string& path, std::string* why);
  bool Write(const uint8_t* data, size_t size);
  // Writes over bytes already written (a count known only at the end).
  bool Overwrite(uint64_t position, const uint8_t* data, size_t size);
  // Writes out, syncs and closes the temporary file, so that it can be read
  // back before the commit (the builder checks what it wrote). False, with
  // the error kept.
  bool Close();
  const std::string& TemporaryPath() const { return temporary_; }
  // Flushes, syncs and moves; false, with `why`, leaves no file behind.
  bool Commit(std::string* why);
  // What made a write fail.
  std::string Error() const;

 private:
  // Keeps the file layer's reason for the first failure; false.
  bool Failed();
  void Discard();

  std::string path_;
  std::string temporary_;
  platform::CFile file_;
  int pendingSlot_ = -1;
  bool closed_ = false;
  std::string error_;  // the system's reason the file failed; empty while it has not
};
