#pragma once
// An output file that appears whole or not at all: the bytes go to a
// temporary file beside it, which is flushed to the disk and then renamed
// over the target, its folder synced where the system needs that. A failure,
// or an interrupt (Ctrl+C, a terminal closed), removes the temporary file and
// leaves any earlier target as it was. The path is UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
  // back before the commit (the builder checks what it wrote; Windows lets
  // no reader in while it is open for writing). False, with the error kept.
  bool Close();
  const std::string& TemporaryPath() const { return temporary_; }
  // Flushes, syncs and renames; false, with `why`, leaves no file behind.
  bool Commit(std::string* why);
  // What made a write fail.
  std::string Error() const;

 private:
  bool Drain();
  void Discard();

  std::string path_;
  std::string temporary_;
  intptr_t file_ = -1;  // output_os::Handle
  int pendingSlot_ = -1;
  bool closed_ = false;
  std::string error_;  // the system's reason the file failed; empty while it has not
  std::vector<uint8_t> buffer_;
};
