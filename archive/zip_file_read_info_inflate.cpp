#include "archive/zip_file_read_info_inflate.h"

#include <algorithm>
#include <cstring>

namespace {
// A raw deflate stream: no zlib header or trailer.
constexpr int kRawDeflateWindowBits = -15;
}  // namespace

CZipFileReadInfoInflate::CZipFileReadInfoInflate(const CZipFileEntry& entry, CZipSource& stream,
                                                 uint8_t* input, uint8_t* output)
    : entry_(entry), stream_(stream), input_(input), output_(output) {}

CZipFileReadInfoInflate::~CZipFileReadInfoInflate() {
  if (initialised_) inflateEnd(&inflate_);
}

bool CZipFileReadInfoInflate::Start() {
  if (!FeedInput()) return false;
  inflate_.next_out = output_;
  inflate_.avail_out = kInflateBufferSize;
  // zalloc, zfree and opaque stay empty: zlib's own allocation.
  if (inflateInit2_(&inflate_, kRawDeflateWindowBits, ZLIB_VERSION,
                    static_cast<int>(sizeof(z_stream))) != Z_OK)
    return false;
  crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
  initialised_ = true;
  return true;
}

bool CZipFileReadInfoInflate::FeedInput() {
  if (inflate_.avail_in != 0 || compressedRead_ >= entry_.compressedSize) return true;
  uint32_t want = static_cast<uint32_t>(
      std::min<int32_t>(entry_.compressedSize - compressedRead_, kInflateBufferSize));
  uint64_t position =
      static_cast<uint64_t>(entry_.dataOffset) + static_cast<uint64_t>(compressedRead_);
  int64_t got = stream_.ReadAt(position, input_, want);
  if (got != static_cast<int64_t>(want)) return false;
  compressedRead_ += static_cast<int32_t>(got);
  inflate_.next_in = input_;
  inflate_.avail_in = want;
  return true;
}

bool CZipFileReadInfoInflate::AllInputUsed() const {
  return inflate_.avail_in == 0 && compressedRead_ >= entry_.compressedSize;
}

int32_t CZipFileReadInfoInflate::Read(uint8_t* buffer, int32_t size) {
  if (size <= 0) return -1;
  uint32_t remaining = static_cast<uint32_t>(size);
  for (;;) {
    // Output that inflate made and the caller has not had yet.
    uint32_t pending = kInflateBufferSize - delivered_ - inflate_.avail_out;
    if (pending > 0) {
      uint32_t take = std::min(pending, remaining);
      std::memcpy(buffer, output_ + delivered_, take);
      crc_ = static_cast<uint32_t>(crc32(crc_, buffer, take));
      buffer += take;
      delivered_ += take;
      remaining -= take;
    }
    if (remaining == 0) return size;
    if (finished_) return size - static_cast<int32_t>(remaining);

    inflate_.next_out = output_;
    inflate_.avail_out = kInflateBufferSize;
    delivered_ = 0;
    if (!FeedInput()) return -1;
    int result = inflate(&inflate_, Z_NO_FLUSH);

    // The recorded size decides completion. Output beyond it is never handed
    // out: the entry is longer than its directory says.
    uint64_t total = inflate_.total_out;
    uint64_t expected = static_cast<uint64_t>(entry_.uncompressedSize);
    if (total > expected) return -1;
    if (total == expected && (result == Z_STREAM_END || AllInputUsed())) {
      finished_ = true;
      continue;
    }
    // Z_OK also while the recorded size is reached but the stream has not
    // ended: the next round shows whether more output follows.
    if (result != Z_OK) return -1;
  }
}

bool CZipFileReadInfoInflate::CheckCrc() {
  return crc_ == entry_.crc32;
}
