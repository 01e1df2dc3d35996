#pragma once
// Finds the runs of a new file that already stand somewhere in the old file
// and parses the new file into copies and literal runs. At each position the
// longest copies are gathered from the diagonals of recent long ones, the old
// file's block index (through a rolling hash) and its short index, verified
// byte by byte and extended both ways; the cheapest parse over them then
// takes copies of any length where they pay for their chunk records.

#include <cstdint>
#include <functional>
#include <vector>

#include "delta/block_index.h"
#include "delta/short_index.h"

// One piece of the new file: a copy of `size` bytes from the old file at
// `from`, or a literal run of the new file's own bytes starting at `from`.
struct CDeltaPiece {
  bool copy;
  uint32_t from;
  uint32_t size;
};

// Called with the number of new bytes scanned so far.
using CScanProgress = std::function<void(uint64_t scanned)>;

// Pieces covering target[start, targetSize) in order, back to back; runs
// shorter than the block index's windows are found only with a short index.
std::vector<CDeltaPiece> MatchAgainstOld(const uint8_t* old, uint32_t oldSize,
                                         const CBlockIndex& index, const uint8_t* target,
                                         uint32_t targetSize, uint32_t start,
                                         const CScanProgress& progress,
                                         const CShortIndex* shortIndex = nullptr);

// Indexes the whole old file at the step its size allows, and the `dense`
// ranges of it (where short runs are expected, such as a package's index) at
// every byte (or as densely as their budget allows), and builds its short
// index, then matches the target against them.
std::vector<CDeltaPiece> ComputeDelta(const uint8_t* old, uint32_t oldSize, const uint8_t* target,
                                      uint32_t targetSize, uint32_t start,
                                      const std::vector<CIndexRange>& dense,
                                      const CScanProgress& progress);
