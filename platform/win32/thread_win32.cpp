#include "platform/threads.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {
struct ThreadStart {
  ThreadEntry entry;
  void* arg;
};

// CreateThread wants a WINAPI entry; ThreadEntry is a plain C++ function.
DWORD WINAPI Trampoline(LPVOID p) {
  ThreadStart start = *static_cast<ThreadStart*>(p);
  delete static_cast<ThreadStart*>(p);
  return start.entry(start.arg);
}
}  // namespace

bool StartThread(ThreadEntry entry, void* arg) {
  auto* start = new ThreadStart{entry, arg};
  HANDLE thread = CreateThread(nullptr, 0, Trampoline, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  // The thread is never joined; its handle is not needed.
  CloseHandle(thread);
  return true;
}

void SleepMilliseconds(uint32_t milliseconds) {
  Sleep(milliseconds);
}

}  // namespace platform
