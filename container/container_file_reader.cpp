#include "container/container_file_reader.h"

#include <cstddef>

#include "base/little_endian.h"
#include "base/refusal.h"

namespace {
constexpr uint32_t kCountSize = 4;
}  // namespace

bool CContainerFileReader::Open(const std::string& path, uint32_t codePage, std::string* why) {
  path_ = path;
  codePage_ = codePage;
  int64_t size = -1;
  if (!file_.OpenRead(path) || (size = file_.Size()) < 0)
    return Refuse(why, "cannot read " + path + ": " + platform::LastFileErrorText());
  size_ = static_cast<uint64_t>(size);
  uint8_t count[kCountSize];
  if (!ReadAt(0, count, kCountSize, why)) return false;
  left_ = GetU32(count);
  at_ = kCountSize;
  return true;
}

bool CContainerFileReader::ReadAt(uint64_t position, uint8_t* out, uint32_t size,
                                  std::string* why) {
  const int64_t got = file_.ReadAt(position, out, size);
  if (got == size) return true;
  return Refuse(why, "cannot read " + path_ + ": " +
                         (got < 0 ? platform::LastFileErrorText() : "it is cut short"));
}

bool CContainerFileReader::Next(CPatchContainer& entry, std::string* why) {
  image_.resize(kCountSize + kEntryRecordSize);
  PutU32(image_.data(), 1);
  if (!ReadAt(at_, image_.data() + kCountSize, kEntryRecordSize, why)) return false;
  CEntryRecord record;
  CByteCursor fields(image_.data() + kCountSize, kEntryRecordSize);
  ReadEntryRecord(fields, record);
  const uint64_t rest = uint64_t{record.chunkCount} * kChunkRecordSize + record.payloadSize;
  if (at_ + kEntryRecordSize + rest > size_)
    return Refuse(why, "cannot read " + path_ + ": it ends inside an entry");
  image_.resize(static_cast<size_t>(kCountSize + kEntryRecordSize + rest));
  uint8_t* table = image_.data() + kCountSize + kEntryRecordSize;
  if (!ReadAt(at_ + kEntryRecordSize, table, static_cast<uint32_t>(rest), why)) return false;
  // Payload chunks point into the file; in the image their bytes lie this
  // much nearer its start.
  const uint32_t moved = static_cast<uint32_t>(at_ - kCountSize);
  CByteCursor chunks(table, static_cast<uint32_t>(uint64_t{record.chunkCount} * kChunkRecordSize));
  for (uint32_t i = 0; i < record.chunkCount; ++i) {
    CChunkRecord chunk;
    ReadChunkRecord(chunks, chunk);
    if (chunk.IsPayload())
      PutU32(table + i * kChunkRecordSize + offsetof(CChunkRecord, offset), chunk.offset - moved);
  }
  at_ += kEntryRecordSize + rest;
  if (--left_ == 0 && at_ != size_)
    return Refuse(why, "cannot read " + path_ + ": bytes follow its last entry");
  std::string reason;
  if (!ValidatePatchContainer(image_.data(), static_cast<uint32_t>(image_.size()), codePage_,
                              &reason, &entry))
    return Refuse(why, path_ + ": the patcher would refuse this release: " + reason);
  return true;
}
