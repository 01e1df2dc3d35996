#include "container/cover_cuts.h"

#include <algorithm>
#include <cstring>

void CCoverCutter::Take(const uint8_t* differences, size_t size) {
  const uint8_t* end = differences + size;
  if (size != 0 && !started_) {
    started_ = true;
    broken_ = *differences != 0;
    copying_ = true;
  }
  while (differences != end && !broken_) {
    if (copying_) {
      const uint8_t* from = differences;
      // A copy's zeros, a word at a time.
      for (uint64_t word = 0; end - differences >= 8; differences += 8) {
        std::memcpy(&word, differences, 8);
        if (word != 0) break;
      }
      while (differences != end && *differences == 0) ++differences;
      length_ += differences - from;
      if (differences == end) return;
      Cut(true, length_);
      copying_ = false;
      length_ = 0;
      zeros_ = 0;
    }
    const uint8_t byte = *differences++;
    if (keep_) *keep_++ = byte;
    if (byte != 0) {
      length_ += zeros_ + 1;
      zeros_ = 0;
    } else if (++zeros_ == kCoverCopyLeast) {
      if (keep_) keep_ -= zeros_;
      Cut(false, length_);
      copying_ = true;
      length_ = zeros_;
    }
  }
}

void CCoverCutter::TakeZeros(uint64_t count) {
  if (count == 0 || broken_) return;
  if (!started_) {
    started_ = true;
    copying_ = true;
  }
  if (copying_) {
    length_ += count;
  } else if (zeros_ + count >= kCoverCopyLeast) {
    if (keep_) keep_ -= zeros_;
    Cut(false, length_);
    copying_ = true;
    length_ = zeros_ + count;
  } else {
    if (keep_) keep_ = std::fill_n(keep_, count, uint8_t{0});
    zeros_ += count;
  }
}

bool CCoverCutter::End(uint32_t beyond) {
  if (!started_ || broken_) return false;
  if (copying_) {
    Cut(true, length_);
    if (beyond != 0) Cut(false, beyond);
  } else {
    Cut(false, length_ + zeros_ + beyond);
  }
  return true;
}

uint32_t CEntryCovers::Within(uint64_t at, uint32_t size) const {
  const int64_t under = static_cast<int64_t>(at) + covers_.back().diagonal;
  const int64_t left = static_cast<int64_t>(oldSize_) - under;
  return static_cast<uint32_t>(std::clamp<int64_t>(left, 0, size));
}

void CEntryCovers::Copy(uint64_t at, uint32_t size, uint64_t offset) {
  const int64_t diagonal = static_cast<int64_t>(offset) - static_cast<int64_t>(at);
  if (covers_.empty() || covers_.back().diagonal != diagonal) {
    broken_ = broken_ || !EndCover();
    covers_.push_back({at, diagonal, 0});
    cutter_.reset(new CCoverCutter(cuts_));
    beyond_ = 0;
  }
  const uint32_t within = Within(at, size);
  cutter_->TakeZeros(within);
  beyond_ += size - within;
  covers_.back().length += size;
}

void CEntryCovers::Payload(uint64_t at, uint32_t size, const uint8_t* bytes) {
  if (covers_.empty()) return;
  const uint32_t within = Within(at, size);
  if (within != 0) {
    const uint8_t* under =
        old_ + static_cast<uint64_t>(static_cast<int64_t>(at) + covers_.back().diagonal);
    differences_.resize(within);
    for (uint32_t i = 0; i < within; ++i)
      differences_[i] = static_cast<uint8_t>(bytes[i] - under[i]);
    cutter_->Take(differences_.data(), within);
  }
  beyond_ += size - within;
  covers_.back().length += size;
}

bool CEntryCovers::End() {
  return EndCover() && !broken_;
}
