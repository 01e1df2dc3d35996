#pragma once
// Finds the runs of a new file that already stand somewhere in the old file.
// The new file is scanned with a rolling hash; each window's candidates from
// the old file's block index (and, after a copy, the places just beyond it
// in the old file) are verified byte by byte and extended both ways, and the
// longest is taken when it is long enough to pay for its chunk records.

#include <cstdint>
#include <functional>
#include <vector>

#include "delta/block_index.h"

// One piece of the new file: a copy of `size` bytes from the old file at
// `from`, or a literal run of the new file's own bytes starting at `from`.
struct CDeltaPiece {
  bool copy;
  uint32_t from;
  uint32_t size;
};

// A copy is taken when at least this long: a copy between two literal runs
// costs two 12-byte chunk records.
constexpr uint32_t kMinCopy = 32;

// Called with the number of new bytes scanned so far.
using CScanProgress = std::function<void(uint64_t scanned)>;

// Pieces covering target[start, targetSize) in order, back to back.
std::vector<CDeltaPiece> MatchAgainstOld(const uint8_t* old, uint32_t oldSize,
                                         const CBlockIndex& index, const uint8_t* target,
                                         uint32_t targetSize, uint32_t start,
                                         const CScanProgress& progress);

// Indexes the whole old file at the step its size allows, and the `dense`
// ranges of it (where short runs are expected, such as a package's index) at
// every byte (or as densely as their budget allows), then matches the target
// against it.
std::vector<CDeltaPiece> ComputeDelta(const uint8_t* old, uint32_t oldSize, const uint8_t* target,
                                      uint32_t targetSize, uint32_t start,
                                      const std::vector<CIndexRange>& dense,
                                      const CScanProgress& progress);
