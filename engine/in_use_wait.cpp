#include "engine/in_use_wait.h"

#include <chrono>

#include "engine/failure_reason.h"

namespace {
bool MeansInUse(platform::FileError error, CInUseErrors inUse) {
  return error == platform::FileError::kInUse ||
         (inUse == CInUseErrors::kSharingOrDenied && error == platform::FileError::kAccessDenied);
}
}  // namespace

platform::FileError RetryWhileInUse(CPatchProgress& progress, const std::string& name,
                                    CInUseErrors inUse,
                                    const std::function<platform::FileError()>& attempt) {
  platform::FileError error = attempt();
  if (!MeansInUse(error, inUse)) return error;
  const std::string before = progress.GetStatusText();
  progress.SetStatusText(WaitingFor(name));
  const auto start = std::chrono::steady_clock::now();
  while (MeansInUse(error, inUse) &&
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kInUseWaitMs)) {
    platform::SleepMilliseconds(kInUseRetryMs);
    error = attempt();
  }
  progress.SetStatusText(before);
  return error;
}
