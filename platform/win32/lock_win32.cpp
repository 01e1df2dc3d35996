#include <new>

#include "platform/threads.h"
#include "platform/win32/windows_api.h"

namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "CLock storage too small");

namespace {
CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
}  // namespace

CLock::CLock() {
  InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}
CLock::~CLock() {
  DeleteCriticalSection(Section(storage_));
}
void CLock::Enter() {
  EnterCriticalSection(Section(storage_));
}
void CLock::Leave() {
  LeaveCriticalSection(Section(storage_));
}

}  // namespace platform
