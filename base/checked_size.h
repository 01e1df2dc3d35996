#pragma once
// Sizes a release declares are added up only where the sum cannot wrap
// around: a hand-made manifest may hold any 64-bit size, and a sum that
// wrapped would pass a check it should fail.

#include <cstdint>

// Adds `size` to `sum`; false, leaving `sum` as it was, when the sum would
// pass 2^64 - 1.
inline bool AddSize(uint64_t& sum, uint64_t size) {
  if (size > UINT64_MAX - sum) return false;
  sum += size;
  return true;
}
