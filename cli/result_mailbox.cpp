#include "cli/result_mailbox.h"

#include <chrono>

void CResultMailbox::Post(uintptr_t wParam) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (hasResult_) return;
  hasResult_ = true;
  wParam_ = wParam;
  posted_.notify_all();
}

bool CResultMailbox::WaitFor(int milliseconds, uintptr_t& wParam) {
  std::unique_lock<std::mutex> hold(mutex_);
  posted_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return hasResult_; });
  wParam = wParam_;
  return hasResult_;
}
