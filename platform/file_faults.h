#pragma once
// Test seam for file-operation failures. Both platform implementations ask
// CheckFileFault before every file operation; a test installs a hook that
// numbers the operations and makes chosen ones fail. Without a hook nothing
// fails. CI runs as root, so permissions cannot make an operation fail.

#include <string>

#include "platform/files.h"

namespace platform {

enum class FileOp {
  Open,
  Create,
  Read,
  Write,
  Flush,
  Close,
  Replace,
  Delete,
  CreateFolder,
  SyncFolder,  // making a folder's entries durable (POSIX)
};

enum class Fault {
  None,
  Error,         // the operation fails and changes nothing (a disk error)
  ShortWrite,    // a write stores only part of its bytes, then reports a full disk
  InUse,         // fails as if another program held the file
  AccessDenied,  // fails as if permission were refused
};

using FaultHook = Fault (*)(FileOp op, const std::string& path, void* context);

// Installs the hook (nullptr removes it). Not thread-safe: set it before a run.
void SetFileFaultHook(FaultHook hook, void* context);

Fault CheckFileFault(FileOp op, const std::string& path);

// The error a failing fault stands for.
FileError FaultError(Fault fault);

const char* FileOpName(FileOp op);

}  // namespace platform
