#include "delta/block_index.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/large_memory.h"

namespace {
// Buckets hold eight slots; with at most six windows each on average (three
// to six, the count being a power of two), few overflow.
constexpr uint64_t kWindowsPerBucket = 6;
constexpr uint32_t kRollBelowStep = 8;
// Lookups land anywhere in the table: with 2 MiB pages they seldom miss the
// address translation cache.
constexpr size_t kHugePage = size_t{2} << 20;

uint64_t WindowCount(const CIndexRange& range, uint32_t oldSize) {
  uint32_t end = std::min(range.end, oldSize);
  if (range.begin >= end || end - range.begin < CRollingHash::kWindow) return 0;
  return (end - range.begin - CRollingHash::kWindow) / range.step + 1;
}
}  // namespace

const uint64_t* CRollingHash::Powers() {
  static const auto* table = [] {
    static uint64_t t[kWindow];
    uint64_t power = 1;
    for (uint32_t i = kWindow; i-- > 0;) {
      t[i] = power;
      power *= kBase;
    }
    return t;
  }();
  return table;
}

const uint64_t* CRollingHash::Leaving() {
  static const auto* table = [] {
    static uint64_t t[256];
    for (uint32_t c = 0; c < 256; ++c) t[c] = c * Powers()[0];
    return t;
  }();
  return table;
}

uint32_t CBlockIndex::StepFor(uint64_t size, uint64_t windows) {
  uint32_t step = 1;
  while (size / step > windows) step *= 2;
  return step;
}

CBlockIndex::CBlockIndex(const uint8_t* old, uint32_t oldSize,
                         const std::vector<CIndexRange>& ranges)
    : old_(old), oldSize_(oldSize) {
  uint64_t windows = 0;
  for (const CIndexRange& range : ranges) windows += WindowCount(range, oldSize);
  size_t buckets = 64;
  shift_ = 64 - 6;
  while (buckets * kWindowsPerBucket < windows) {
    buckets *= 2;
    --shift_;
  }
  const size_t bytes = (buckets * sizeof(CBucket) + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = AllocateLarge(bytes, kHugePage);
  if (!memory) throw std::bad_alloc();
  buckets_.reset(static_cast<CBucket*>(memory));
  for (size_t i = 0; i < buckets; ++i)
    for (CSlot& slot : buckets_[i].slots) slot = CSlot{kEmpty, 0};
  for (const CIndexRange& range : ranges) AddRange(range);
}

void CBlockIndex::Insert(uint64_t hash, uint32_t position) {
  CBucket& bucket = buckets_[BucketOf(hash)];
  const uint32_t check = CheckOf(hash);
  for (CSlot& slot : bucket.slots) {
    if (slot.position == kEmpty) {
      slot = CSlot{position, check};
      return;
    }
    // The same content is already indexed; one place is enough to copy from.
    if (slot.check == check) return;
  }
  bucket.slots[check % kSlots] = CSlot{position, check};
}

void CBlockIndex::AddRange(const CIndexRange& range) {
  const uint64_t count = WindowCount(range, oldSize_);
  // Rolling costs `step` updates per window, hashing afresh kWindow products.
  const bool roll = range.step < kRollBelowStep;
  uint64_t hash = 0;
  // Hashes are made a batch ahead so that the buckets are fetched from memory
  // while the batch is hashed.
  constexpr uint32_t kBatch = 16;
  uint64_t hashes[kBatch];
  uint32_t positions[kBatch];
  for (uint64_t i = 0; i < count;) {
    uint32_t n = 0;
    for (; n < kBatch && i < count; ++n, ++i) {
      const uint32_t position = range.begin + static_cast<uint32_t>(i * range.step);
      if (roll && i > 0) {
        for (uint32_t p = position - range.step; p < position; ++p)
          hash = CRollingHash::Roll(hash, old_[p], old_[p + CRollingHash::kWindow]);
      } else {
        hash = CRollingHash::Of(old_ + position);
      }
      positions[n] = position;
      hashes[n] = hash;
      Prefetch(hash);
    }
    for (uint32_t k = 0; k < n; ++k) Insert(hashes[k], positions[k]);
  }
}

void CBlockIndex::CFreeBuckets::operator()(CBucket* buckets) const {
  FreeLarge(buckets);
}
