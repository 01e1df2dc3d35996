#include "engine/buffered_output.h"

bool CBufferedOutput::Write(const uint8_t* data, uint32_t size) {
  if (digest_) digest_->Update(data, size);
  if (buffer_.size() + size > kBufferSize && !Drain()) return false;
  if (size >= kBufferSize) return file_.Write(data, size);
  if (buffer_.capacity() == 0) buffer_.reserve(kBufferSize);
  buffer_.insert(buffer_.end(), data, data + size);
  return true;
}

bool CBufferedOutput::Drain() {
  if (buffer_.empty()) return true;
  const bool written = file_.Write(buffer_.data(), static_cast<uint32_t>(buffer_.size()));
  buffer_.clear();
  return written;
}
