#include <pthread.h>
#include <time.h>

#include <cerrno>

#include "platform/threads.h"

namespace platform {
namespace {
struct ThreadStart {
  ThreadEntry entry;
  void* arg;
};

void* Trampoline(void* p) {
  ThreadStart start = *static_cast<ThreadStart*>(p);
  delete static_cast<ThreadStart*>(p);
  start.entry(start.arg);
  return nullptr;
}
}  // namespace

bool StartThread(ThreadEntry entry, void* arg) {
  auto* start = new ThreadStart{entry, arg};
  pthread_t thread;
  if (pthread_create(&thread, nullptr, Trampoline, start) != 0) {
    delete start;
    return false;
  }
  pthread_detach(thread);
  return true;
}

void SleepMilliseconds(uint32_t milliseconds) {
  timespec pause = {static_cast<time_t>(milliseconds / 1000),
                    static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
