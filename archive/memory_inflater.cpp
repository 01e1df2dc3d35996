#include "archive/memory_inflater.h"

namespace {
constexpr int kRawDeflateWindowBits = -15;
}  // namespace

CMemoryInflater::CMemoryInflater(const uint8_t* data, uint32_t size) {
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = size;
  started_ = inflateInit2(&stream_, kRawDeflateWindowBits) == Z_OK;
}

CMemoryInflater::~CMemoryInflater() {
  if (started_) inflateEnd(&stream_);
}

int64_t CMemoryInflater::Read(uint8_t* buffer, uint32_t size) {
  if (!started_) return -1;
  stream_.next_out = buffer;
  stream_.avail_out = size;
  while (stream_.avail_out != 0 && !ended_) {
    int result = inflate(&stream_, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      ended_ = true;
    } else if (result != Z_OK) {
      return -1;  // damaged data, or the input ran out before the stream ended
    }
  }
  return size - stream_.avail_out;
}
