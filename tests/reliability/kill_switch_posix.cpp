// Test only: linked into the Linux patcher's kill twin, never into the
// product. With QELPATCH_KILL_AT_OPERATION=n in the environment the process
// kills itself with SIGKILL just before its n-th file operation, so a test
// can stop a run at every operation in turn, as a power cut would.
#include <signal.h>

#include <cstdint>
#include <cstdlib>

#include "platform/file_faults.h"

namespace {
class CKillSwitch {
 public:
  CKillSwitch() {
    const char* at = std::getenv("QELPATCH_KILL_AT_OPERATION");
    if (at == nullptr) return;
    target_ = std::strtoull(at, nullptr, 10);
    platform::SetFileFaultHook(&CKillSwitch::Hook, this);
  }

 private:
  static platform::Fault Hook(platform::FileOp, const std::string&, void* context) {
    auto* self = static_cast<CKillSwitch*>(context);
    if (++self->seen_ == self->target_) ::raise(SIGKILL);
    return platform::Fault::None;
  }

  uint64_t target_ = 0;
  uint64_t seen_ = 0;
};

// Armed before main starts, so the worker's first operation is already counted.
const CKillSwitch g_killSwitch;
}  // namespace
