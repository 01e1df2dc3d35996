#include "platform/file_layer.h"

namespace platform {
namespace {
// Each thread's own, as errno and GetLastError are.
thread_local FileError t_lastError = FileError::kNone;
}  // namespace

FileError LastFileError() {
  return t_lastError;
}

bool FailWith(FileError error) {
  t_lastError = error;
  return false;
}

Fault InjectedFault(FileOp op, const std::string& path) {
  Fault fault = CheckFileFault(op, path);
  t_lastError = FaultError(fault);
  return fault;
}

}  // namespace platform
