#include "platform/file_faults.h"

#include "platform/file_os.h"

namespace platform {
namespace {
FaultHook g_hook = nullptr;
void* g_context = nullptr;
RecordHook g_recordHook = nullptr;
void* g_recordContext = nullptr;
}  // namespace

void SetFileRecordHook(RecordHook hook, void* context) {
  g_recordHook = hook;
  g_recordContext = context;
}

bool RecordingFiles() {
  return g_recordHook != nullptr;
}

void RecordFileEvent(CFileEvent event) {
  if (g_recordHook) g_recordHook(event, g_recordContext);
}

void SetFileFaultHook(FaultHook hook, void* context) {
  g_hook = hook;
  g_context = context;
}

Fault CheckFileFault(FileOp op, const std::string& path) {
  return g_hook ? g_hook(op, path, g_context) : Fault::None;
}

FileError FaultError(Fault fault) {
  switch (fault) {
    case Fault::None:
      return FileError::kNone;
    case Fault::ShortWrite:
      return FileError::kDiskFull;
    case Fault::InUse:
      return FileError::kInUse;
    case Fault::AccessDenied:
      return FileError::kAccessDenied;
    case Fault::Error:
      break;
  }
  return FileError::kOther;
}

const char* FileOpName(FileOp op) {
  switch (op) {
    case FileOp::Open:
      return "open";
    case FileOp::Create:
      return "create";
    case FileOp::Read:
      return "read";
    case FileOp::Write:
      return "write";
    case FileOp::Flush:
      return "flush";
    case FileOp::Close:
      return "close";
    case FileOp::Replace:
      return "replace";
    case FileOp::CreateFolder:
      return "create folder";
    case FileOp::Delete:
      return "delete";
    case FileOp::QuerySpace:
      return "QuerySpace";
    case FileOp::RemoveFolder:
      return "remove folder";
    case FileOp::ListFolder:
      return "ListFolder";
    case FileOp::Map:
      return "Map";
    case FileOp::SyncFolder:
      return "sync folder";
  }
  return "?";
}

std::string InjectedFailure(FileOp op, const std::string& path) {
  const Fault fault = CheckFileFault(op, path);
  return fault == Fault::None ? std::string() : os::ErrorText(FaultError(fault));
}

}  // namespace platform
