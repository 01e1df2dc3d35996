#include "container/installed_reads.h"

#include <algorithm>

bool DifferenceRun(uint64_t at, uint32_t size, int64_t diagonal, uint64_t oldSize, uint32_t& first,
                   uint32_t& length) {
  // The chunk's bytes on the diagonal stand at [start, start + size) of the
  // installed file; only what lies inside it has a byte to differ from.
  const int64_t start = static_cast<int64_t>(at) + diagonal;
  const int64_t from = std::max<int64_t>(start, 0);
  const int64_t to = std::min<int64_t>(start + size, static_cast<int64_t>(oldSize));
  if (from >= to) return false;
  first = static_cast<uint32_t>(from - start);
  length = static_cast<uint32_t>(to - from);
  return true;
}

bool ForEachInstalledRead(const CPatchContainer& container, const CContainerEntry& entry,
                          bool differs, uint64_t oldSize,
                          const std::function<bool(const CInstalledRead&)>& read) {
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  int64_t diagonal = 0;
  bool copied = false;
  while (walk.Next(chunk)) {
    CInstalledRead next;
    if (!chunk.IsPayload()) {
      diagonal = static_cast<int64_t>(chunk.offset) - static_cast<int64_t>(walk.At());
      copied = true;
      next.copy = true;
      next.from = chunk.offset;
      next.size = chunk.size;
    } else {
      uint32_t first = 0;
      if (!differs || !copied ||
          !DifferenceRun(walk.At(), chunk.size, diagonal, oldSize, first, next.size))
        continue;
      next.from = static_cast<uint64_t>(static_cast<int64_t>(walk.At()) + diagonal) + first;
      next.payload = chunk.offset + first;
    }
    if (next.size != 0 && !read(next)) return false;
  }
  return true;
}
