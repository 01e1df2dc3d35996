#pragma once
// What the two file layers share: the fault seam asked before each operation
// and the record of why the last one failed. Included by platform/posix and
// platform/win32 only.

#include <string>

#include "platform/file_faults.h"
#include "platform/platform.h"

namespace platform {

// Records why an operation of this thread failed; returns false, so a layer
// can write `return FailWith(...)`.
bool FailWith(FileError error);

// Starts an operation: asks the fault seam about it and records its error
// (kNone when none is injected). Fault::None means go ahead.
Fault InjectedFault(FileOp op, const std::string& path);

}  // namespace platform
