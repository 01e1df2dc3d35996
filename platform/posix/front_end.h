#pragma once
// The terminal front end's side of the POSIX layer: the mailbox that stands in
// for the main window (the worker posts its result into it), and the flag that
// keeps the progress line quiet while a question waits on the terminal.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class CResultMailbox {
 public:
  void Post(uint32_t message, uintptr_t wParam);
  // Waits up to `milliseconds` for a result; true with its wParam when posted.
  bool WaitFor(int milliseconds, uintptr_t& wParam);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  bool hasResult_ = false;
  uintptr_t wParam_ = 0;
};

// True while the worker waits for an answer on the terminal.
bool PromptOpen();

}  // namespace platform
