#include "delta/delta_matcher.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "delta/cheapest_parse.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word compares assume little-endian");

namespace {
constexpr uint32_t kWindow = CRollingHash::kWindow;
// The new file is parsed in stretches of this many positions, which bounds
// the memory of the copies known at each position.
constexpr uint32_t kStretch = uint32_t{1} << 20;
// A run found through the block index at least this long makes its diagonal
// one of the kDiagonals recent ones, tried wherever no near copy is known.
constexpr uint32_t kAnchor = 16;
constexpr size_t kDiagonals = 4;
// How far after a copy its gap may still be filled by short copies: a gap
// of g bytes filled by n copies costs 12 * n instead of 12 + g.
constexpr uint32_t kGapReach = 24;
// The short index's slots are fetched this many positions ahead.
constexpr uint32_t kShortAhead = 16;
// A match this long is taken without trying the other candidates: in long
// runs of one byte value every candidate matches far, and a longer one would
// save a chunk record at most.
constexpr uint32_t kLongEnough = 64 * 1024;
constexpr uint64_t kProgressStep = uint64_t{4} << 20;

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Equal bytes at a[0..] and b[0..], at most limit.
uint32_t ForwardMatch(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (limit - n >= 8) {
    uint64_t x = Load64(a + n) ^ Load64(b + n);
    if (x != 0) return n + static_cast<uint32_t>(__builtin_ctzll(x)) / 8;
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// The window hashes of the positions just ahead of the scan, each bucket
// prefetched as its hash is made, so lookups rarely wait for memory.
class CHashAhead {
 public:
  static constexpr uint32_t kAhead = 16;

  CHashAhead(const CBlockIndex& index, const uint8_t* target, uint32_t size)
      : index_(index), target_(target), lastStart_(size - kWindow) {}

  // Restarts at pos (pos + kWindow <= size).
  void Start(uint32_t pos) {
    hash_ = CRollingHash::Of(target_ + pos);
    Put(pos);
    next_ = pos + 1;
    Fill(pos);
  }
  uint64_t At(uint32_t pos) const { return ring_[pos % kAhead]; }
  // Moves on to pos, the position after the last one asked for; `fetch`
  // tells whether the buckets of the positions that come into reach will be
  // looked at.
  void Advance(uint32_t pos, bool fetch) {
    fetch_ = fetch;
    Fill(pos);
  }

 private:
  void Put(uint32_t pos) {
    ring_[pos % kAhead] = hash_;
    if (fetch_) index_.Prefetch(hash_);
  }
  void Fill(uint32_t pos) {
    while (next_ <= lastStart_ && next_ < pos + kAhead) {
      hash_ = CRollingHash::Roll(hash_, target_[next_ - 1], target_[next_ + kWindow - 1]);
      Put(next_++);
    }
  }

  const CBlockIndex& index_;
  const uint8_t* target_;
  uint32_t lastStart_;
  uint32_t next_ = 0;
  uint64_t hash_ = 0;
  uint64_t ring_[kAhead] = {};
  bool fetch_ = true;
};

// Old minus new position of a copy: copies on the diagonal of a recent one
// are read by the patcher together with it.
using CDiagonal = int64_t;

class CScan {
 public:
  CScan(const uint8_t* old, uint32_t oldSize, const CBlockIndex& index,
        const CShortIndex* shortIndex, const uint8_t* target, uint32_t size)
      : old_(old),
        oldSize_(oldSize),
        index_(index),
        shortIndex_(shortIndex),
        target_(target),
        size_(size) {}

  std::vector<CDeltaPiece> Run(uint32_t start, const CScanProgress& progress) {
    std::vector<CDeltaPiece> pieces;
    CParseState state = CParseState::kAfterCopy;
    uint64_t reported = start;
    for (uint32_t begin = start; begin < size_;) {
      const uint32_t count = std::min(kStretch, size_ - begin);
      FindCopies(begin, count);
      state = parse_.Append(near_, far_, begin, count, state, pieces);
      begin += count;
      if (progress && begin - reported >= kProgressStep) {
        progress(begin);
        reported = begin;
      }
    }
    if (progress) progress(size_);
    return pieces;
  }

 private:
  // Fills both tracks for target[begin, begin + count): the copies running
  // on from the position before, then, where these are short, the recent
  // diagonals, the block index and the short index.
  void FindCopies(uint32_t begin, uint32_t count) {
    CCopyTrack* tracks[] = {&near_, &far_};
    for (CCopyTrack* track : tracks) {
      const bool goesOn = !track->length.empty() && track->length.back() > 1;
      const uint32_t length = goesOn ? track->length.back() - 1 : 0;
      const uint32_t from = goesOn ? track->from.back() + 1 : 0;
      track->length.assign(count, 0);
      track->from.assign(count, 0);
      track->length[0] = length;
      track->from[0] = from;
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t pos = begin + i;
      if (i > 0)
        for (CCopyTrack* track : tracks)
          if (track->length[i - 1] > 1 && track->length[i] < track->length[i - 1] - 1) {
            track->length[i] = track->length[i - 1] - 1;
            track->from[i] = track->from[i - 1] + 1;
          }
      if (near_.length[i] == 0) TryDiagonals(pos, i);
      const uint32_t known = std::max(near_.length[i], far_.length[i]);
      if (pos + kWindow <= size_) {
        if (!hashed_) {
          ahead_.emplace(index_, target_, size_);
          ahead_->Start(pos);
          hashed_ = true;
        }
        if (known < kWindow)
          index_.ForEachCandidate(ahead_->At(pos), [&](uint32_t o) {
            if (far_.length[i] < kLongEnough) Try(pos, i, o, begin, true);
          });
        // Inside a long copy the positions ahead need no lookups.
        ahead_->Advance(pos + 1, known < CHashAhead::kAhead + kWindow);
      }
      if (known >= CShortIndex::kLongestRun) lastKnown_ = pos;
      // Runs shorter than the longest table's pay only in a small gap
      // between copies, a few positions after one.
      const uint32_t shortest = pos - lastKnown_ <= kGapReach ? 0 : CShortIndex::kLongestRun;
      if (shortIndex_ && size_ - pos > kShortAhead &&
          known < kShortAhead + CShortIndex::kLongestRun)
        shortIndex_->Prefetch(target_ + pos + kShortAhead, size_ - pos - kShortAhead, shortest);
      if (shortIndex_ && known < CShortIndex::kLongestRun)
        shortIndex_->ForEachCandidate(target_ + pos, size_ - pos, shortest,
                                      [&](uint32_t o) { Try(pos, i, o, begin, false); });
    }
  }

  void TryDiagonals(uint32_t pos, uint32_t i) {
    for (CDiagonal diagonal : diagonals_) {
      const int64_t o = pos + diagonal;
      if (o >= 0 && o < oldSize_ && old_[o] == target_[pos])
        Try(pos, i, static_cast<uint32_t>(o), pos - i, false);
    }
  }

  // Verifies old position o against the new file at pos (index i of the
  // stretch that begins at `begin`) and extends the run both ways within
  // the stretch, raising the copies known there. Runs on a recent diagonal
  // go to the near track, others to the far one; a long one's diagonal
  // becomes recent.
  void Try(uint32_t pos, uint32_t i, uint32_t o, uint32_t begin, bool anchor) {
    if (o >= oldSize_) return;
    const uint32_t forward =
        ForwardMatch(target_ + pos, old_ + o, std::min(size_ - pos, oldSize_ - o));
    if (forward == 0) return;
    const CDiagonal diagonal = CDiagonal{o} - pos;
    const bool recent =
        std::find(diagonals_.begin(), diagonals_.end(), diagonal) != diagonals_.end();
    CCopyTrack& track = recent ? near_ : far_;
    if (forward > track.length[i]) {
      track.length[i] = forward;
      track.from[i] = o;
    }
    const uint32_t limit = std::min(pos - begin, o);
    uint32_t back = 0;
    while (back < limit && target_[pos - back - 1] == old_[o - back - 1] &&
           track.length[i - back - 1] < forward + back + 1) {
      ++back;
      track.length[i - back] = forward + back;
      track.from[i - back] = o - back;
    }
    if (anchor && forward + back >= kAnchor && !recent) {
      std::rotate(diagonals_.begin(), diagonals_.end() - 1, diagonals_.end());
      diagonals_[0] = diagonal;
    }
  }

  const uint8_t* old_;
  uint32_t oldSize_;
  const CBlockIndex& index_;
  const CShortIndex* shortIndex_;
  const uint8_t* target_;
  uint32_t size_;
  std::optional<CHashAhead> ahead_;
  bool hashed_ = false;
  uint32_t lastKnown_ = 0;  // the last position with a long copy known
  std::array<CDiagonal, kDiagonals> diagonals_ = {};
  CCopyTrack near_, far_;
  CCheapestParse parse_;
};
}  // namespace

std::vector<CDeltaPiece> MatchAgainstOld(const uint8_t* old, uint32_t oldSize,
                                         const CBlockIndex& index, const uint8_t* target,
                                         uint32_t targetSize, uint32_t start,
                                         const CScanProgress& progress,
                                         const CShortIndex* shortIndex) {
  return CScan(old, oldSize, index, shortIndex, target, targetSize).Run(start, progress);
}

std::vector<CDeltaPiece> ComputeDelta(const uint8_t* old, uint32_t oldSize, const uint8_t* target,
                                      uint32_t targetSize, uint32_t start,
                                      const std::vector<CIndexRange>& dense,
                                      const CScanProgress& progress) {
  uint64_t denseSize = 0;
  for (const CIndexRange& range : dense) denseSize += range.end - range.begin;
  const uint32_t denseStep = CBlockIndex::StepFor(denseSize, CBlockIndex::kDenseWindows);
  std::vector<CIndexRange> ranges;
  for (const CIndexRange& range : dense) ranges.push_back({range.begin, range.end, denseStep});
  ranges.push_back({0, oldSize, CBlockIndex::StepFor(oldSize, CBlockIndex::kFileWindows)});
  const CBlockIndex index(old, oldSize, ranges);
  const CShortIndex shortIndex(old, oldSize);
  return MatchAgainstOld(old, oldSize, index, target, targetSize, start, progress, &shortIndex);
}
