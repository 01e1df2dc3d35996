#include "bench/delta/matching_statistics.h"

#include <divsufsort.h>

#include <cstring>
#include <limits>

bool ComputeMatchingStatistics(const uint8_t* old, uint32_t oldSize, const uint8_t* target,
                               uint32_t targetSize, CMatchingStatistics& out) {
  const uint64_t n = uint64_t{targetSize} + oldSize;
  if (n >= uint64_t{std::numeric_limits<saidx_t>::max()}) return false;
  out.length.assign(targetSize, 0);
  out.source.assign(targetSize, 0);
  if (targetSize == 0 || oldSize == 0) return true;
  // The new file first: an old suffix ends where the text ends, so its
  // common prefix with a new suffix never runs past the old file; a new
  // suffix that runs on into the old file is cut at its own end below.
  std::vector<uint8_t> text(n);
  std::memcpy(text.data(), target, targetSize);
  std::memcpy(text.data() + targetSize, old, oldSize);
  std::vector<saidx_t> sa(n);
  if (divsufsort(text.data(), sa.data(), static_cast<saidx_t>(n)) != 0) return false;

  // lcp[r]: the common prefix of the suffixes at ranks r - 1 and r.
  std::vector<uint32_t> lcp(n, 0);
  {
    std::vector<uint32_t> rank(n);
    for (uint64_t r = 0; r < n; ++r) rank[sa[r]] = static_cast<uint32_t>(r);
    uint64_t h = 0;
    for (uint64_t i = 0; i < n; ++i) {
      if (rank[i] == 0) {
        h = 0;
        continue;
      }
      const uint64_t j = sa[rank[i] - 1];
      while (i + h < n && j + h < n && text[i + h] == text[j + h]) ++h;
      lcp[rank[i]] = static_cast<uint32_t>(h);
      if (h > 0) --h;
    }
  }

  // The longest common prefix with any old suffix is the one with the
  // nearest old suffix on either side: the minimum LCP between them.
  auto visit = [&](uint64_t r, uint32_t run, uint32_t oldAt) {
    const uint32_t i = static_cast<uint32_t>(sa[r]);
    const uint32_t length = std::min(run, targetSize - i);
    if (length > out.length[i]) {
      out.length[i] = length;
      out.source[i] = oldAt;
    }
  };
  bool seen = false;
  uint32_t run = 0, oldAt = 0;
  for (uint64_t r = 0; r < n; ++r) {
    if (seen && r > 0) run = std::min(run, lcp[r]);
    if (static_cast<uint64_t>(sa[r]) >= targetSize) {
      seen = true;
      run = UINT32_MAX;
      oldAt = static_cast<uint32_t>(sa[r] - targetSize);
    } else if (seen) {
      visit(r, run, oldAt);
    }
  }
  seen = false;
  for (uint64_t r = n; r-- > 0;) {
    if (seen) run = std::min(run, lcp[r + 1]);
    if (static_cast<uint64_t>(sa[r]) >= targetSize) {
      seen = true;
      run = UINT32_MAX;
      oldAt = static_cast<uint32_t>(sa[r] - targetSize);
    } else if (seen) {
      visit(r, run, oldAt);
    }
  }
  return true;
}
