#include "tests/support/fault_hook.h"

#include <utility>

CScopedFaultHook::CScopedFaultHook(Decide decide) : decide_(std::move(decide)) {
  platform::SetFileFaultHook(&CScopedFaultHook::Call, this);
}

CScopedFaultHook::~CScopedFaultHook() {
  platform::SetFileFaultHook(nullptr, nullptr);
}

platform::Fault CScopedFaultHook::Call(platform::FileOp op, const std::string& path,
                                       void* context) {
  return static_cast<CScopedFaultHook*>(context)->decide_(op, path);
}
