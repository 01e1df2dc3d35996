#pragma once
// An index of the old file's windows for finding where the new file's bytes
// already stand. Windows of kWindow bytes at chosen positions are hashed into
// buckets of one cache line each (eight slots: position and 32 check bits of
// the hash), so one memory access answers a lookup. A window whose content is
// already in its bucket is not added again; a full bucket gives up a slot.

#include <cstdint>
#include <memory>
#include <vector>

// A polynomial hash of kWindow bytes, mod 2^64, that rolls one byte at a time.
class CRollingHash {
 public:
  static constexpr uint32_t kWindow = 32;

  // The sum of window[i] * kBase^(kWindow - 1 - i), in four independent
  // sums so that the multiplications overlap.
  static uint64_t Of(const uint8_t* window) {
    const uint64_t* power = Powers();
    uint64_t sum[4] = {};
    for (uint32_t i = 0; i < kWindow; i += 4)
      for (uint32_t k = 0; k < 4; ++k) sum[k] += window[i + k] * power[i + k];
    return sum[0] + sum[1] + sum[2] + sum[3];
  }
  // The hash of the window one byte further on.
  static uint64_t Roll(uint64_t h, uint8_t leaving, uint8_t entering) {
    return (h - Leaving()[leaving]) * kBase + entering;
  }

 private:
  static constexpr uint64_t kBase = 0x9FB21C651E98DF25ull;
  // Powers()[i] = kBase^(kWindow - 1 - i).
  static const uint64_t* Powers();
  // Leaving()[c] = c * kBase^(kWindow - 1), what a leaving byte c contributed.
  static const uint64_t* Leaving();
};

// A range of the old file to index: the windows starting at begin, begin +
// step, ... that end by `end`.
struct CIndexRange {
  uint32_t begin;
  uint32_t end;
  uint32_t step;
};

class CBlockIndex {
 public:
  CBlockIndex(const uint8_t* old, uint32_t oldSize, const std::vector<CIndexRange>& ranges);

  // Window budgets: a whole file (128 MiB of buckets at most, whatever its
  // size), and the dense ranges (4 MiB indexed at every byte).
  static constexpr uint64_t kFileWindows = uint64_t{1} << 23;
  static constexpr uint64_t kDenseWindows = uint64_t{1} << 22;
  // The step that keeps `size` bytes within `windows` windows: a power of
  // two, 1 when they fit.
  static uint32_t StepFor(uint64_t size, uint64_t windows);

  void Prefetch(uint64_t hash) const { __builtin_prefetch(&buckets_[BucketOf(hash)]); }

  // Calls visit(position) for each indexed window with this hash.
  template <class Visit>
  void ForEachCandidate(uint64_t hash, Visit&& visit) const {
    const CBucket& bucket = buckets_[BucketOf(hash)];
    const uint32_t check = CheckOf(hash);
    for (const CSlot& slot : bucket.slots) {
      if (slot.position == kEmpty) return;
      if (slot.check == check) visit(slot.position);
    }
  }

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  static constexpr int kSlots = 8;
  struct CSlot {
    uint32_t position;
    uint32_t check;
  };
  struct alignas(64) CBucket {
    CSlot slots[kSlots];
  };
  static_assert(sizeof(CBucket) == 64, "a bucket is one cache line");

  size_t BucketOf(uint64_t hash) const {
    return static_cast<size_t>(((hash ^ (hash >> 29)) * 0xBF58476D1CE4E5B9ull) >> shift_);
  }
  static uint32_t CheckOf(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }
  void Insert(uint64_t hash, uint32_t position);
  void AddRange(const CIndexRange& range);

  struct CFreeBuckets {
    void operator()(CBucket* buckets) const;
  };

  const uint8_t* old_;
  uint32_t oldSize_;
  int shift_ = 64;
  std::unique_ptr<CBucket[], CFreeBuckets> buckets_;
};
