#include <pthread.h>

#include "platform/platform.h"

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

}  // namespace platform
