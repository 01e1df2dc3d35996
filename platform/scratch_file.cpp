#include "platform/scratch_file.h"

#include <vector>

#include "base/refusal.h"
#include "platform/interrupt_cleanup.h"
#include "platform/pending_outputs.h"

namespace {
// Read at a time: large enough that the system is asked rarely.
constexpr uint32_t kPieceSize = 1u << 20;
}  // namespace

CScratchFile::~CScratchFile() {
  Remove();
}

bool CScratchFile::Open(const std::string& path, std::string* why) {
  Remove();
  beside_ = path;
  InstallInterruptCleanup();
  file_.reset(new platform::CFile);
  pendingSlot_ = AddPendingOutput(
      [&](std::string& made) { return file_->CreateBeside(path, made) && (path_ = made, true); },
      false);
  if (pendingSlot_ < 0)
    return Refuse(
        why, "cannot create a scratch file beside " + path + ": " + platform::LastFileErrorText());
  return true;
}

bool CScratchFile::Write(const void* data, size_t size) {
  if (!file_ || !error_.empty()) return false;
  if (!file_->Write(data, size)) {
    error_ = platform::LastFileErrorText();
    return false;
  }
  size_ += size;
  return true;
}

bool CScratchFile::EndWriting() {
  if (!file_ || !error_.empty()) return false;
  const bool closed = file_->Close();
  if (!closed) error_ = platform::LastFileErrorText();
  file_.reset();
  return closed;
}

std::string CScratchFile::Error() const {
  return "cannot write a scratch file beside " + beside_ + ": " + error_;
}

void CScratchFile::Remove() {
  file_.reset();
  if (!path_.empty()) platform::DeleteFile(path_);
  path_.clear();
  size_ = 0;
  error_.clear();
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
}

bool ReadFileInPieces(const std::string& path,
                      const std::function<bool(const uint8_t* data, size_t size)>& sink,
                      std::string* why) {
  platform::CFile file;
  if (!file.OpenRead(path))
    return Refuse(why, "cannot read " + path + ": " + platform::LastFileErrorText());
  std::vector<uint8_t> piece(kPieceSize);
  for (uint64_t at = 0;;) {
    const int64_t got = file.ReadAt(at, piece.data(), kPieceSize);
    if (got < 0) return Refuse(why, "cannot read " + path + ": " + platform::LastFileErrorText());
    if (got == 0) return true;
    if (!sink(piece.data(), static_cast<size_t>(got))) return false;
    at += static_cast<uint64_t>(got);
  }
}
