#pragma once
// Test seam for file-operation failures. Both platform implementations ask
// CheckFileFault before every file operation; a test installs a hook that
// numbers the operations and makes chosen ones fail. Without a hook nothing
// fails. CI runs as root, so permissions cannot make an operation fail.

#include <string>

namespace platform {

enum class FileOp { Open, Create, Read, Write, Flush, Close, Replace, Delete, CreateFolder };

enum class Fault {
  None,
  Error,       // the operation fails and changes nothing
  ShortWrite,  // a write stores only part of its bytes, then reports failure
};

using FaultHook = Fault (*)(FileOp op, const std::string& path, void* context);

// Installs the hook (nullptr removes it). Not thread-safe: set it before a run.
void SetFileFaultHook(FaultHook hook, void* context);

Fault CheckFileFault(FileOp op, const std::string& path);

const char* FileOpName(FileOp op);

}  // namespace platform
