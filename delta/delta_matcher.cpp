#include "delta/delta_matcher.h"

#include <algorithm>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word compares assume little-endian");

namespace {
constexpr uint32_t kWindow = CRollingHash::kWindow;
// After a copy ends, the next this many bytes of the old file are tried as
// the place where the new file goes on: small insertions, deletions and
// replacements are found even when shorter than a hash window.
constexpr uint32_t kNearReach = 64;
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

// Equal bytes just before a and b, at most limit.
uint32_t BackwardMatch(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (limit - n >= 8) {
    uint64_t x = Load64(a - n - 8) ^ Load64(b - n - 8);
    if (x != 0) return n + static_cast<uint32_t>(__builtin_clzll(x)) / 8;
    n += 8;
  }
  while (n < limit && a[-1 - static_cast<int64_t>(n)] == b[-1 - static_cast<int64_t>(n)]) ++n;
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
  // Moves on to pos, the position after the last one asked for.
  void Advance(uint32_t pos) { Fill(pos); }

 private:
  void Put(uint32_t pos) {
    ring_[pos % kAhead] = hash_;
    index_.Prefetch(hash_);
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
};

struct CMatch {
  uint32_t newStart = 0;
  uint32_t oldStart = 0;
  uint32_t size = 0;
};

class CScan {
 public:
  CScan(const uint8_t* old, uint32_t oldSize, const CBlockIndex& index, const uint8_t* target,
        uint32_t size, uint32_t start)
      : old_(old),
        oldSize_(oldSize),
        index_(index),
        target_(target),
        size_(size),
        literalStart_(start) {}

  std::vector<CDeltaPiece> Run(const CScanProgress& progress) {
    uint32_t pos = literalStart_;
    uint64_t reported = 0;
    if (size_ >= kWindow && pos <= size_ - kWindow) {
      CHashAhead ahead(index_, target_, size_);
      ahead.Start(pos);
      while (pos <= size_ - kWindow) {
        CMatch best;
        if (haveCopy_) TryNearCopy(pos, best);
        index_.ForEachCandidate(ahead.At(pos), [&](uint32_t o) {
          if (best.size < kLongEnough) Try(pos, o, best);
        });
        if (best.size >= kMinCopy) {
          Emit(best);
          pos = literalStart_;
          if (pos > size_ - kWindow) break;
          ahead.Start(pos);
        } else {
          ahead.Advance(++pos);
        }
        if (progress && pos - reported >= kProgressStep) {
          progress(pos);
          reported = pos;
        }
      }
    }
    if (literalStart_ < size_) pieces_.push_back({false, literalStart_, size_ - literalStart_});
    if (progress) progress(size_);
    return std::move(pieces_);
  }

 private:
  // Verifies old position o against the new file at pos and extends the
  // match both ways; keeps it when it is the longest so far.
  void Try(uint32_t pos, uint32_t o, CMatch& best) {
    if (o >= oldSize_) return;
    uint32_t forward = ForwardMatch(target_ + pos, old_ + o, std::min(size_ - pos, oldSize_ - o));
    if (forward == 0) return;
    uint32_t backward = BackwardMatch(target_ + pos, old_ + o, std::min(pos - literalStart_, o));
    uint32_t total = forward + backward;
    if (total > best.size) best = CMatch{pos - backward, o - backward, total};
  }

  // The places where the new file most likely goes on after the last copy:
  // on its diagonal (a replacement of the same size) and a little after its
  // end in the old file (an insertion, a deletion, a replacement of another
  // size).
  void TryNearCopy(uint32_t pos, CMatch& best) {
    const uint32_t gap = pos - literalStart_;
    if (gap >= kNearReach) {
      const uint64_t o = uint64_t{lastOldEnd_} + gap;
      if (o < oldSize_) Try(pos, static_cast<uint32_t>(o), best);
      return;
    }
    if (size_ - pos < 8) return;
    const uint64_t word = Load64(target_ + pos);
    for (uint32_t d = 0; d <= kNearReach && best.size < kLongEnough; ++d) {
      uint64_t o = uint64_t{lastOldEnd_} + d;
      if (o + 8 > oldSize_) break;
      if (Load64(old_ + o) == word) Try(pos, static_cast<uint32_t>(o), best);
    }
  }

  void Emit(const CMatch& match) {
    if (match.newStart > literalStart_)
      pieces_.push_back({false, literalStart_, match.newStart - literalStart_});
    pieces_.push_back({true, match.oldStart, match.size});
    literalStart_ = match.newStart + match.size;
    lastOldEnd_ = match.oldStart + match.size;
    haveCopy_ = true;
  }

  const uint8_t* old_;
  uint32_t oldSize_;
  const CBlockIndex& index_;
  const uint8_t* target_;
  uint32_t size_;
  uint32_t literalStart_;
  uint32_t lastOldEnd_ = 0;
  bool haveCopy_ = false;
  std::vector<CDeltaPiece> pieces_;
};
}  // namespace

std::vector<CDeltaPiece> MatchAgainstOld(const uint8_t* old, uint32_t oldSize,
                                         const CBlockIndex& index, const uint8_t* target,
                                         uint32_t targetSize, uint32_t start,
                                         const CScanProgress& progress) {
  return CScan(old, oldSize, index, target, targetSize, start).Run(progress);
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
  return MatchAgainstOld(old, oldSize, index, target, targetSize, start, progress);
}
