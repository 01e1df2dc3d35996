// Large memory on POSIX (Linux): aligned, and advised onto huge pages.
#include <sys/mman.h>

#include <cstdlib>

#include "platform/large_memory.h"

void* AllocateLarge(size_t bytes, size_t alignment) {
  void* memory = std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
  if (memory) madvise(memory, bytes, MADV_HUGEPAGE);
  return memory;
}

void FreeLarge(void* memory) {
  std::free(memory);
}
