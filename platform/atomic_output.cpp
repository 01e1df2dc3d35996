#include "platform/atomic_output.h"

#include "base/refusal.h"
#include "platform/interrupt_cleanup.h"
#include "platform/pending_outputs.h"

CAtomicOutput::~CAtomicOutput() {
  Discard();
}

bool CAtomicOutput::Open(const std::string& path, std::string* why) {
  path_ = path;
  InstallInterruptCleanup();
  pendingSlot_ = AddPendingOutput(
      [&](std::string& made) {
        return file_.CreateBeside(path, made) && (temporary_ = made, true);
      },
      false);
  if (pendingSlot_ < 0)
    return Refuse(why, "cannot create " + path + ": " + platform::LastFileErrorText());
  return true;
}

bool CAtomicOutput::Failed() {
  if (error_.empty()) error_ = platform::LastFileErrorText();
  return false;
}

bool CAtomicOutput::Write(const uint8_t* data, size_t size) {
  if (!file_.IsOpen() || !error_.empty()) return false;
  return file_.Write(data, size) || Failed();
}

bool CAtomicOutput::Overwrite(uint64_t position, const uint8_t* data, size_t size) {
  if (!file_.IsOpen() || !error_.empty()) return false;
  return file_.WriteAt(position, data, size) || Failed();
}

bool CAtomicOutput::Close() {
  bool ok = file_.IsOpen() && error_.empty() && (file_.Flush() || Failed());
  if (file_.IsOpen()) ok = (file_.Close() || Failed()) && ok;
  closed_ = ok;
  return ok;
}

bool CAtomicOutput::Commit(std::string* why) {
  bool ok = closed_ || Close();
  platform::CFolderSyncs syncs;
  std::string unsynced;
  ok = ok && (platform::ReplaceFile(temporary_, path_) || Failed());
  if (ok) {
    temporary_.clear();
    syncs.Note(path_);
    ok = syncs.SyncAll(unsynced) || Failed();
  }
  if (!ok) {
    Refuse(why, Error());
    Discard();
    return false;
  }
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
  return true;
}

std::string CAtomicOutput::Error() const {
  return "cannot write " + path_ + ": " + error_;
}

void CAtomicOutput::Discard() {
  file_.Abandon();
  if (!temporary_.empty()) platform::DeleteFile(temporary_);
  temporary_.clear();
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
}
