#pragma once
// For each position of a new file, the longest run starting there that also
// stands somewhere in the old file, and one place where it does: from a
// suffix array of new || old and its LCP array (Kasai), each new suffix's
// nearest old suffixes above and below in sorted order.

#include <cstdint>
#include <vector>

struct CMatchingStatistics {
  std::vector<uint32_t> length;  // per new position
  std::vector<uint32_t> source;  // an old position with `length` equal bytes
};

// False when new + old is too large for 32-bit suffix array indexes.
bool ComputeMatchingStatistics(const uint8_t* old, uint32_t oldSize, const uint8_t* target,
                               uint32_t targetSize, CMatchingStatistics& out);
