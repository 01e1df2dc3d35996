#include "platform/atomic_output.h"

#include "base/refusal.h"
#include "platform/interrupt_cleanup.h"
#include "platform/output_file_os.h"
#include "platform/pending_outputs.h"

namespace {
constexpr size_t kBufferSize = 1 << 20;
}  // namespace

CAtomicOutput::~CAtomicOutput() {
  Discard();
}

bool CAtomicOutput::Open(const std::string& path, std::string* why) {
  path_ = path;
  if (!output_os::CreateBeside(path, temporary_, file_, &error_))
    return Refuse(why, "cannot create " + path + ": " + error_);
  InstallInterruptCleanup();
  pendingSlot_ = AddPendingOutput(temporary_);
  buffer_.reserve(kBufferSize);
  return true;
}

bool CAtomicOutput::Write(const uint8_t* data, size_t size) {
  if (file_ == output_os::kNoFile || !error_.empty()) return false;
  if (buffer_.size() + size <= kBufferSize) {
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }
  if (!Drain()) return false;
  if (size < kBufferSize) {
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }
  // Large pieces (payload from a mapped file) go out without a copy.
  return output_os::WriteAll(file_, data, size, &error_);
}

bool CAtomicOutput::Overwrite(uint64_t position, const uint8_t* data, size_t size) {
  if (file_ == output_os::kNoFile || !error_.empty() || !Drain()) return false;
  return output_os::WriteAt(file_, position, data, size, &error_);
}

bool CAtomicOutput::Close() {
  bool ok = file_ != output_os::kNoFile && error_.empty() && Drain();
  if (file_ != output_os::kNoFile) ok = output_os::SyncAndClose(file_, &error_) && ok;
  file_ = output_os::kNoFile;
  closed_ = ok;
  return ok;
}

bool CAtomicOutput::Drain() {
  if (!output_os::WriteAll(file_, buffer_.data(), buffer_.size(), &error_)) return false;
  buffer_.clear();
  return true;
}

bool CAtomicOutput::Commit(std::string* why) {
  bool ok = closed_ || Close();
  ok = ok && output_os::RenameOver(temporary_, path_, &error_);
  if (!ok) {
    Refuse(why, Error());
    Discard();
    return false;
  }
  temporary_.clear();
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
  return true;
}

std::string CAtomicOutput::Error() const {
  return "cannot write " + path_ + ": " + error_;
}

void CAtomicOutput::Discard() {
  if (file_ != output_os::kNoFile) output_os::Close(file_);
  file_ = output_os::kNoFile;
  if (!temporary_.empty()) output_os::Remove(temporary_);
  temporary_.clear();
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
}
