// Large memory on Windows: aligned, on ordinary pages (huge pages need a
// privilege a release engineer seldom has).
#include <malloc.h>

#include "platform/large_memory.h"

void* AllocateLarge(size_t bytes, size_t alignment) {
  return _aligned_malloc(bytes, alignment);
}

void FreeLarge(void* memory) {
  _aligned_free(memory);
}
