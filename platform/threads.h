#pragma once
// Threads and the lock (a critical section on Windows, a mutex on POSIX).

#include <cstdint>

namespace platform {

class CLock {
 public:
  CLock();
  ~CLock();
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;
  void Enter();
  void Leave();

 private:
  alignas(8) unsigned char storage_[64];
};

class CLockGuard {
 public:
  explicit CLockGuard(CLock& lock) : lock_(lock) { lock_.Enter(); }
  ~CLockGuard() { lock_.Leave(); }
  CLockGuard(const CLockGuard&) = delete;
  CLockGuard& operator=(const CLockGuard&) = delete;

 private:
  CLock& lock_;
};

// Starts a detached thread running entry(arg); false when it cannot.
using ThreadEntry = unsigned (*)(void* arg);
bool StartThread(ThreadEntry entry, void* arg);

void SleepMilliseconds(uint32_t milliseconds);

}  // namespace platform
