#include <pthread.h>

#include <new>

#include "platform/threads.h"

namespace platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "CLock storage too small");

CLock::CLock() {
  new (storage_) pthread_mutex_t(PTHREAD_MUTEX_INITIALIZER);
}
CLock::~CLock() {
  pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(storage_));
}
void CLock::Enter() {
  pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(storage_));
}
void CLock::Leave() {
  pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(storage_));
}

}  // namespace platform
