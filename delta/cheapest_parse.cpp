#include "delta/cheapest_parse.h"

#include <algorithm>

namespace {
// Costs in sixteenths of a byte: the fraction breaks ties, a copy giving way
// to a literal run of the same size. A far copy (off the diagonals of the
// recent copies) costs four bytes more: its offset is near-random, so the
// release's compression keeps little of its record, and it makes the patcher
// read the old file anew. Measured on real pairs, that keeps the compressed
// release smaller than with a tie-break alone and the patcher's reads near
// what a parse of long copies needs, at 1-3% of raw size.
constexpr uint64_t kByte = 16;
constexpr uint64_t kRecord = 12 * kByte;
constexpr uint64_t kNearCopy = kRecord + 1;
constexpr uint64_t kFarCopy = kRecord + 4 * kByte + 1;
constexpr uint64_t kNever = UINT64_MAX / 4;

// The cheapest copy start for a position, from a track whose reach never
// decreases: a sliding-window minimum over the starts that still reach.
class CCopyWindow {
 public:
  CCopyWindow(const CCopyTrack& track, uint32_t count, std::vector<uint32_t>& starts)
      : track_(track), count_(count), starts_(starts) {
    starts_.resize(count);
  }
  void Add(uint32_t j, uint64_t cost, const std::vector<uint64_t>& best) {
    if (track_.length[j] == 0) return;
    while (tail_ > head_ && best[starts_[tail_ - 1]] >= cost) --tail_;
    starts_[tail_++] = j;
  }
  // The cheapest start that reaches t, or count when none does.
  uint32_t Cheapest(uint32_t t) {
    while (tail_ > head_ && uint64_t{starts_[head_]} + track_.length[starts_[head_]] < t) ++head_;
    return tail_ > head_ ? starts_[head_] : count_;
  }

 private:
  const CCopyTrack& track_;
  uint32_t count_;
  std::vector<uint32_t>& starts_;
  uint32_t head_ = 0, tail_ = 0;
};

void AppendMerged(std::vector<CDeltaPiece>& pieces, const CDeltaPiece& piece) {
  if (!pieces.empty()) {
    CDeltaPiece& last = pieces.back();
    const bool goesOn = last.copy == piece.copy && uint64_t{last.from} + last.size == piece.from;
    if (goesOn && uint64_t{last.size} + piece.size <= UINT32_MAX) {
      last.size += piece.size;
      return;
    }
  }
  pieces.push_back(piece);
}
}  // namespace

CParseState CCheapestParse::Append(const CCopyTrack& near, const CCopyTrack& far, uint32_t begin,
                                   uint32_t count, CParseState state,
                                   std::vector<CDeltaPiece>& pieces) {
  if (count == 0) return state;
  // Index i stands for the position begin + i; copies into i + 1 .. i + n.
  afterCopy_.assign(count + 1, kNever);
  inLiteral_.assign(count + 1, kNever);
  best_.resize(count + 1);
  copyStart_.resize(count + 1);
  how_.resize(count + 1);
  (state == CParseState::kAfterCopy ? afterCopy_ : inLiteral_)[0] = 0;
  CCopyWindow nearWindow(near, count, nearStarts_), farWindow(far, count, farStarts_);
  for (uint32_t t = 1; t <= count; ++t) {
    const uint32_t j = t - 1;
    best_[j] = std::min(afterCopy_[j], inLiteral_[j]);
    nearWindow.Add(j, best_[j], best_);
    farWindow.Add(j, best_[j], best_);
    const uint32_t n = nearWindow.Cheapest(t), f = farWindow.Cheapest(t);
    const uint64_t nearCost = n < count ? best_[n] + kNearCopy : kNever;
    const uint64_t farCost = f < count ? best_[f] + kFarCopy : kNever;
    afterCopy_[t] = std::min(nearCost, farCost);
    copyStart_[t] = nearCost <= farCost ? n : f;
    const uint64_t open = afterCopy_[j] + kRecord + kByte, extend = inLiteral_[j] + kByte;
    inLiteral_[t] = std::min(open, extend);
    how_[t] = static_cast<uint8_t>((nearCost <= farCost ? 0 : 1) | (open < extend ? 2 : 0));
  }
  const CParseState end =
      afterCopy_[count] <= inLiteral_[count] ? CParseState::kAfterCopy : CParseState::kInLiteral;
  reversed_.clear();
  bool copy = end == CParseState::kAfterCopy;
  for (uint32_t t = count; t > 0;) {
    if (copy) {
      const uint32_t j = copyStart_[t];
      const CCopyTrack& track = how_[t] & 1 ? far : near;
      reversed_.push_back({true, track.from[j], t - j});
      t = j;
      copy = afterCopy_[j] <= inLiteral_[j];
    } else {
      uint32_t j = t;
      while (j > 0 && !(how_[j] & 2)) --j;  // back to where the run opened
      if (j == 0) {
        reversed_.push_back({false, begin, t});
        break;
      }
      reversed_.push_back({false, begin + j - 1, t - j + 1});
      t = j - 1;
      copy = true;
    }
  }
  for (auto piece = reversed_.rbegin(); piece != reversed_.rend(); ++piece)
    AppendMerged(pieces, *piece);
  return end;
}
