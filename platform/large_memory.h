#pragma once
// Memory for the builder's large tables.

#include <cstddef>

// Memory aligned to `alignment`, on huge pages where the system has them; not
// zeroed.
void* AllocateLarge(size_t bytes, size_t alignment);
void FreeLarge(void* memory);
