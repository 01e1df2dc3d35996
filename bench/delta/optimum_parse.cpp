// The smallest release a file pair can have in this format, beside ours:
//
//   qelpatch-bench-optimum OLD NEW [--write DIR]
//
// The cost of a parse of NEW is 12 bytes per chunk record plus the literal
// bytes. The optimum is a shortest path over two states (after a copy, inside
// a literal run) where a copy of any length up to the longest match at a
// position (matching statistics from a suffix array) is allowed. A .pkg is
// parsed from byte 32, its header being a payload chunk of its own, with its
// index indexed densely, as the builder does; other files from byte 0.
//
// Prints one line: the sizes, the optimum and ours (raw), their ratio, the
// chunk counts, our parse's processor time, and the reads the patcher would make for
// each parse (its 1 MiB read-ahead over the old file). Both parses are
// rebuilt and compared with NEW; with --write, DIR gets each rebuilt file and
// a stand-in for its release (the chunk records, then the literal bytes) for
// measuring compression.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "bench/delta/matching_statistics.h"
#include "delta/delta_matcher.h"
#include "digest/package_format.h"
#include "platform/mapped_file.h"

namespace {
constexpr uint64_t kRecord = 12;
constexpr uint64_t kNever = UINT64_MAX / 4;

uint64_t Cost(const std::vector<CDeltaPiece>& pieces) {
  uint64_t cost = 0;
  for (const CDeltaPiece& piece : pieces) cost += kRecord + (piece.copy ? 0 : piece.size);
  return cost;
}

// The cheapest parse of target[start, size) given every position's longest
// match: copies reach from j to any t <= j + length[j], and j + length[j]
// never decreases, so the cheapest copy into t comes from a sliding-window
// minimum.
std::vector<CDeltaPiece> OptimalParse(const CMatchingStatistics& ms, uint32_t size,
                                      uint32_t start) {
  std::vector<uint64_t> afterCopy(size + 1, kNever), inLiteral(size + 1, kNever);
  std::vector<uint32_t> copyFrom(size + 1, 0);
  std::vector<uint8_t> literalAfterCopy(size + 1, 0);
  afterCopy[start] = 0;
  std::deque<uint32_t> window;  // copy starts, cheapest first
  auto best = [&](uint32_t j) { return std::min(afterCopy[j], inLiteral[j]); };
  for (uint32_t t = start + 1; t <= size; ++t) {
    const uint32_t j = t - 1;
    if (ms.length[j] > 0) {
      while (!window.empty() && best(window.back()) >= best(j)) window.pop_back();
      window.push_back(j);
    }
    while (!window.empty() && uint64_t{window.front()} + ms.length[window.front()] < t)
      window.pop_front();
    if (!window.empty()) {
      afterCopy[t] = best(window.front()) + kRecord;
      copyFrom[t] = window.front();
    }
    const uint64_t open = afterCopy[j] + kRecord + 1, extend = inLiteral[j] + 1;
    inLiteral[t] = std::min(open, extend);
    literalAfterCopy[t] = open < extend;
  }
  std::vector<CDeltaPiece> reversed;
  bool copy = afterCopy[size] <= inLiteral[size];
  for (uint32_t t = size; t > start;) {
    if (copy) {
      const uint32_t j = copyFrom[t];
      reversed.push_back({true, ms.source[j], t - j});
      t = j;
      copy = afterCopy[j] <= inLiteral[j];
    } else {
      if (!reversed.empty() && !reversed.back().copy) {
        --reversed.back().from;
        ++reversed.back().size;
      } else {
        reversed.push_back({false, t - 1, 1});
      }
      copy = literalAfterCopy[t];
      --t;
    }
  }
  return std::vector<CDeltaPiece>(reversed.rbegin(), reversed.rend());
}

std::vector<uint8_t> Rebuild(const uint8_t* old, const uint8_t* target, uint32_t start,
                             const std::vector<CDeltaPiece>& pieces) {
  std::vector<uint8_t> out(target, target + start);
  for (const CDeltaPiece& piece : pieces) {
    const uint8_t* from = (piece.copy ? old : target) + piece.from;
    out.insert(out.end(), from, from + piece.size);
  }
  return out;
}

// The reads of the old file the patcher makes for these copies: a copy
// outside its window starts a read of it and the copies after it that go
// forward with gaps of at most 64 KiB, 1 MiB at most (engine/patch_run.cpp).
struct CReads {
  uint64_t count = 0;
  uint64_t bytes = 0;
};
CReads SimulateReads(const std::vector<CDeltaPiece>& pieces) {
  constexpr uint64_t kWindow = 1 << 20, kGap = 64 << 10;
  CReads reads;
  uint64_t windowStart = 0, windowSize = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const CDeltaPiece& piece = pieces[i];
    if (!piece.copy) continue;
    const bool inWindow = piece.from >= windowStart && piece.from - windowStart <= windowSize &&
                          windowSize - (piece.from - windowStart) >= piece.size;
    if (inWindow) continue;
    ++reads.count;
    if (piece.size >= kWindow / 2) {
      reads.bytes += piece.size;
      continue;
    }
    const uint64_t start = piece.from;
    uint64_t end = start + piece.size;
    for (size_t k = i + 1; k < pieces.size() && k <= i + 4096; ++k) {
      const CDeltaPiece& next = pieces[k];
      if (!next.copy) continue;
      const uint64_t nextEnd = uint64_t{next.from} + next.size;
      if (next.from < start || next.from > end + kGap || nextEnd - start > kWindow) break;
      end = std::max(end, nextEnd);
    }
    windowStart = start;
    windowSize = end - start;
    reads.bytes += windowSize;
  }
  return reads;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The chunk records (flag, offset, size) and then the literal bytes.
std::vector<uint8_t> ReleaseStandIn(const uint8_t* target, uint32_t start,
                                    const std::vector<CDeltaPiece>& pieces) {
  std::vector<uint8_t> records, literals(target, target + start);
  auto record = [&](bool payload, uint32_t offset, uint32_t size) {
    uint8_t r[12] = {payload ? uint8_t{1} : uint8_t{0}};
    std::memcpy(r + 4, &offset, 4);
    std::memcpy(r + 8, &size, 4);
    records.insert(records.end(), r, r + 12);
  };
  if (start > 0) record(true, 0, start);
  for (const CDeltaPiece& piece : pieces) {
    record(!piece.copy, piece.copy ? piece.from : static_cast<uint32_t>(literals.size()),
           piece.size);
    if (!piece.copy)
      literals.insert(literals.end(), target + piece.from, target + piece.from + piece.size);
  }
  records.insert(records.end(), literals.begin(), literals.end());
  return records;
}

size_t Copies(const std::vector<CDeltaPiece>& pieces) {
  size_t n = 0;
  for (const CDeltaPiece& piece : pieces) n += piece.copy;
  return n;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--write") == 0)) {
    std::fprintf(stderr, "usage: qelpatch-bench-optimum OLD NEW [--write DIR]\n");
    return 2;
  }
  std::string why;
  CMappedFile oldFile, newFile;
  if (!oldFile.Open(argv[1], &why) || !newFile.Open(argv[2], &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  if (oldFile.Size() > UINT32_MAX || newFile.Size() > UINT32_MAX) {
    std::fprintf(stderr, "files of 4 GiB or more are not measured\n");
    return 1;
  }
  const uint8_t* old = oldFile.Data();
  const uint8_t* target = newFile.Data();
  const uint32_t oldSize = static_cast<uint32_t>(oldFile.Size());
  const uint32_t size = static_cast<uint32_t>(newFile.Size());

  // As the builder does (builder/release_entry.cpp).
  uint32_t start = 0;
  std::vector<CIndexRange> dense;
  if (EndsWith(argv[2], ".pkg")) {
    CPackageLayout oldLayout, newLayout;
    if (!ReadPackageLayout(old, oldSize, oldLayout, &why) ||
        !ReadPackageLayout(target, size, newLayout, &why)) {
      std::fprintf(stderr, "not a package: %s\n", why.c_str());
      return 1;
    }
    start = kPackageHeaderSize;
    dense.push_back({oldLayout.indexOffset, oldLayout.indexOffset + oldLayout.indexSize, 1});
  }
  const uint64_t head = start > 0 ? kRecord + start : 0;

  // Processor time, which other work on the machine disturbs less.
  const std::clock_t begun = std::clock();
  const std::vector<CDeltaPiece> ours =
      ComputeDelta(old, oldSize, target, size, start, dense, nullptr);
  const double oursSeconds = static_cast<double>(std::clock() - begun) / CLOCKS_PER_SEC;

  CMatchingStatistics ms;
  if (!ComputeMatchingStatistics(old, oldSize, target, size, ms)) {
    std::fprintf(stderr, "too large for the suffix array\n");
    return 1;
  }
  const std::vector<CDeltaPiece> optimum = OptimalParse(ms, size, start);

  const std::vector<uint8_t> expected(target, target + size);
  const std::vector<uint8_t> rebuiltOurs = Rebuild(old, target, start, ours);
  const std::vector<uint8_t> rebuiltOptimum = Rebuild(old, target, start, optimum);
  for (const auto* check : {&ours, &optimum})
    for (const CDeltaPiece& piece : *check)
      if (piece.copy && uint64_t{piece.from} + piece.size > oldSize) {
        std::fprintf(stderr, "a copy runs past the old file\n");
        return 1;
      }
  if (rebuiltOurs != expected || rebuiltOptimum != expected) {
    std::fprintf(stderr, "MISMATCH: %s parse does not rebuild NEW\n",
                 rebuiltOurs != expected ? "our" : "the optimum's");
    return 1;
  }
  if (argc == 5) {
    const std::string dir = argv[4];
    if (!WriteFile(dir + "/optimum.rebuilt", rebuiltOptimum) ||
        !WriteFile(dir + "/ours.rebuilt", rebuiltOurs) ||
        !WriteFile(dir + "/optimum.release", ReleaseStandIn(target, start, optimum)) ||
        !WriteFile(dir + "/ours.release", ReleaseStandIn(target, start, ours))) {
      std::fprintf(stderr, "cannot write in %s\n", dir.c_str());
      return 1;
    }
  }
  const uint64_t best = head + Cost(optimum), mine = head + Cost(ours);
  const CReads bestReads = SimulateReads(optimum), ourReads = SimulateReads(ours);
  std::printf(
      "new %u optimum %llu ours %llu ratio %.4f chunks %zu/%zu copies %zu/%zu seconds %.2f "
      "reads %llu/%llu MiB %.1f/%.1f\n",
      size, static_cast<unsigned long long>(best), static_cast<unsigned long long>(mine),
      best ? static_cast<double>(mine) / static_cast<double>(best) : 1.0, optimum.size(),
      ours.size(), Copies(optimum), Copies(ours), oursSeconds,
      static_cast<unsigned long long>(bestReads.count),
      static_cast<unsigned long long>(ourReads.count), bestReads.bytes / 1048576.0,
      ourReads.bytes / 1048576.0);
  return 0;
}
