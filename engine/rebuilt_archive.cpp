#include "engine/rebuilt_archive.h"

#include <algorithm>
#include <cstring>

CRebuiltArchive::CRebuiltArchive(const CPatchContainer& container, const CContainerEntry& entry,
                                 CLocalFileReader& installed, CPatchProgress& progress)
    : entry_(entry), installed_(installed), progress_(progress), payloadSize_(entry.payloadSize) {
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  while (walk.Next(chunk))
    if (chunk.size != 0) pieces_.push_back(CPiece{walk.At(), chunk});
  size_ = walk.Made();
}

int64_t CRebuiltArchive::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (position >= size_) return 0;
  const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(size, size_ - position));
  auto* out = static_cast<uint8_t*>(buffer);
  // The last piece that begins at or before the position.
  auto piece = std::upper_bound(pieces_.begin(), pieces_.end(), position,
                                [](uint64_t at, const CPiece& p) { return at < p.at; }) -
               1;
  for (uint32_t done = 0; done < want; ++piece) {
    const uint64_t inPiece = position + done - piece->at;
    const uint32_t take =
        static_cast<uint32_t>(std::min<uint64_t>(piece->chunk.size - inPiece, want - done));
    if (piece->chunk.IsPayload()) {
      std::memcpy(out + done, PayloadAt(entry_, piece->chunk.offset) + inPiece, take);
    } else if (!installed_.ReadLocalAt(out + done, piece->chunk.offset + inPiece, take)) {
      copyFailed_ = true;
      error_ = platform::FileError::kOther;
      return -1;
    }
    done += take;
  }
  // The reader reads the records once and the entry's data once: the share
  // of the archive read stands for the share of its payload.
  read_ = std::min(size_, read_ + want);
  const auto due = static_cast<uint32_t>(uint64_t{payloadSize_} * read_ / size_);
  if (due > reported_) {
    progress_.AddDone(due - reported_);
    reported_ = due;
  }
  return want;
}

void CRebuiltArchive::FinishProgress() {
  progress_.AddDone(payloadSize_ - reported_);
  reported_ = payloadSize_;
}
