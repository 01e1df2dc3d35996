#include "pe/pe_checksum.h"

#include "base/little_endian.h"

void CPeChecksum::Add(const uint8_t* data, size_t size) {
  length_ += size;
  size_t i = 0;
  if (pending_ >= 0 && size != 0) {
    AddWord(static_cast<uint32_t>(pending_) | static_cast<uint32_t>(data[0]) << 8);
    pending_ = -1;
    i = 1;
  }
  for (; i + 1 < size; i += 2) AddWord(GetU16(data + i));
  if (i < size) pending_ = data[i];
}

void CPeChecksum::AddZeros(size_t size) {
  // Zero words add nothing; only a split word and the length move.
  if (size == 0) return;
  length_ += size;
  if (pending_ >= 0) {
    AddWord(static_cast<uint32_t>(pending_));
    pending_ = -1;
    --size;
  }
  if (size % 2 != 0) pending_ = 0;
}

uint32_t CPeChecksum::Finish() const {
  CPeChecksum last = *this;
  if (last.pending_ >= 0) last.AddWord(static_cast<uint32_t>(last.pending_));
  uint32_t sum = (last.sum_ & 0xFFFF) + (last.sum_ >> 16);
  return (sum & 0xFFFF) + static_cast<uint32_t>(length_);
}

void CPeChecksum::ReplaceZeros(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; i += 2)
    AddWord(data[i] | (i + 1 < size ? static_cast<uint32_t>(data[i + 1]) << 8 : 0));
}
