#pragma once
// The cheapest pieces for a stretch of the new file, given at each position
// the longest copy known there: a shortest path over two states (after a
// copy, inside a literal run) under the release's costs, 12 bytes per chunk
// record and 1 per literal byte. A copy may be cut to any length, so its
// record pays for itself from 1 byte when it fills a whole gap between two
// copies, from 13 at either end of a literal run, from 25 inside one.

#include <cstdint>
#include <vector>

#include "delta/delta_matcher.h"

// Copies known at each position of the stretch, in two tracks: near ones (on
// the diagonal of a recent copy, read with it by the patcher) and far ones
// (found anywhere in the old file). In each track a copy at position i of
// length n from `from` also stands at i + 1 (length n - 1 at least), so the
// furthest reach i + length[i] never decreases along a track.
struct CCopyTrack {
  std::vector<uint32_t> length;
  std::vector<uint32_t> from;
};

// How the stretch before begins: right after a chunk boundary (a copy, the
// package header, the file's start) or inside a literal run.
enum class CParseState { kAfterCopy, kInLiteral };

class CCheapestParse {
 public:
  // Appends the pieces for target[begin, begin + count) to `pieces`,
  // merging with the last piece when it goes on from it, and returns the
  // state at the end. Among parses of equal size, one with fewer copies and
  // fewer far ones.
  CParseState Append(const CCopyTrack& near, const CCopyTrack& far, uint32_t begin, uint32_t count,
                     CParseState state, std::vector<CDeltaPiece>& pieces);

 private:
  // Per position of the stretch, kept from one stretch to the next: the
  // cheapest cost ending in each state, and how it was reached.
  std::vector<uint64_t> afterCopy_, inLiteral_, best_;
  std::vector<uint32_t> copyStart_, nearStarts_, farStarts_;
  std::vector<uint8_t> how_;  // bit 0: the copy is far; bit 1: the literal run opens
  std::vector<CDeltaPiece> reversed_;
};
