#include "engine/local_file_reader.h"

#include <algorithm>
#include <new>

void CLocalFileReader::OpenLocal(const std::string& path, uint32_t chunkCount) {
  CloseLocal();
  openError_ = platform::FileError::kNone;
  if (chunkCount > 1 && !file_.OpenRead(path)) openError_ = platform::LastFileError();
  if (file_.IsOpen()) ReadWhole();
}

void CLocalFileReader::ReadWhole() {
  constexpr uint32_t kPiece = 4 * 1024 * 1024;
  const int64_t size = file_.Size();
  if (size <= 0 || size > kWholeSize) return;
  const uint32_t all = static_cast<uint32_t>(size);
  whole_.reset(new (std::nothrow) uint8_t[all]);
  if (!whole_) return;
  for (uint32_t done = 0; done < all;) {
    const uint32_t piece = std::min(all - done, kPiece);
    if (file_.ReadAt(done, whole_.get() + done, piece) != static_cast<int64_t>(piece)) {
      // What could not be read is read again, and judged, chunk by chunk.
      whole_.reset();
      return;
    }
    done += piece;
  }
  windowStart_ = 0;
  windowSize_ = all;
}

bool CLocalFileReader::ReadLocalAt(uint8_t* buffer, uint64_t offset, uint32_t size) {
  if (!file_.IsOpen()) {
    cause_ = openError_ == platform::FileError::kNotFound ? CFailureCause::kMissing
                                                          : CauseOf(openError_);
    return false;
  }
  if (InWindow(offset, size)) {
    const uint8_t* window = whole_ ? whole_.get() : window_.data();
    std::copy_n(window + (offset - windowStart_), size, buffer);
    return true;
  }
  if (whole_) {
    // Past the end of the whole file: another version of it.
    cause_ = CFailureCause::kNotExpectedVersion;
    return false;
  }
  if (size <= kBlockSize) return ReadFromBlocks(buffer, offset, size);
  const int64_t got = file_.ReadAt(offset, buffer, size);
  if (got == static_cast<int64_t>(size)) return true;
  // Shorter than the patch expects: another version of the file.
  cause_ = got < 0 ? CauseOf(platform::LastFileError()) : CFailureCause::kNotExpectedVersion;
  return false;
}

bool CLocalFileReader::ReadFromBlocks(uint8_t* buffer, uint64_t offset, uint32_t size) {
  while (size > 0) {
    const uint64_t start = offset - offset % kBlockSize;
    uint32_t valid = 0;
    const uint8_t* block = Block(start, valid);
    if (block == nullptr) return false;
    const uint32_t at = static_cast<uint32_t>(offset - start);
    const uint32_t piece = std::min(size, kBlockSize - at);
    if (valid < at + piece) {
      cause_ = CFailureCause::kNotExpectedVersion;
      return false;
    }
    std::copy_n(block + at, piece, buffer);
    buffer += piece;
    offset += piece;
    size -= piece;
  }
  return true;
}

const uint8_t* CLocalFileReader::Block(uint64_t start, uint32_t& valid) {
  if (blockBytes_.empty()) blockBytes_.resize(size_t{kBlocks} * kBlockSize);
  CBlock* oldest = &blocks_[0];
  for (CBlock& block : blocks_) {
    if (block.start == start) {
      block.used = ++clock_;
      valid = block.valid;
      return blockBytes_.data() + size_t(&block - blocks_) * kBlockSize;
    }
    if (block.used < oldest->used) oldest = &block;
  }
  uint8_t* bytes = blockBytes_.data() + size_t(oldest - blocks_) * kBlockSize;
  oldest->start = UINT64_MAX;
  const int64_t got = file_.ReadAt(start, bytes, kBlockSize);
  if (got < 0) {
    cause_ = CauseOf(platform::LastFileError());
    return nullptr;
  }
  *oldest = CBlock{start, static_cast<uint32_t>(got), ++clock_};
  valid = oldest->valid;
  return bytes;
}

bool CLocalFileReader::InWindow(uint64_t offset, uint32_t size) const {
  return offset >= windowStart_ && offset - windowStart_ <= windowSize_ &&
         windowSize_ - (offset - windowStart_) >= size;
}

void CLocalFileReader::ReadAhead(uint64_t offset, uint32_t size) {
  if (whole_) return;
  windowSize_ = 0;
  if (!file_.IsOpen() || size > kWindowSize) return;
  if (window_.empty()) window_.resize(kWindowSize);
  const int64_t got = file_.ReadAt(offset, window_.data(), size);
  // What could not be read is read again, and judged, chunk by chunk.
  windowSize_ = got > 0 ? static_cast<uint32_t>(got) : 0;
  windowStart_ = offset;
}

void CLocalFileReader::CloseLocal() {
  file_.Close();
  whole_.reset();
  windowSize_ = 0;
  windowStart_ = 0;
  for (CBlock& block : blocks_) block = CBlock();
}
