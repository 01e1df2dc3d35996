#pragma once
// What stands in for the main window on the terminal: the mailbox the worker
// posts its one result into, which the front end's thread waits on.

#include <condition_variable>
#include <cstdint>
#include <mutex>

class CResultMailbox {
 public:
  void Post(uintptr_t wParam);
  // Waits up to `milliseconds` for a result; true with its wParam when posted.
  bool WaitFor(int milliseconds, uintptr_t& wParam);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  bool hasResult_ = false;
  uintptr_t wParam_ = 0;
};
