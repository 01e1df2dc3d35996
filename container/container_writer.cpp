#include "container/container_writer.h"

#include <cstring>

#include "base/little_endian.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "container/patch_container.h"

CChunkPlan CChunkPlan::Payload(std::vector<uint8_t> bytes) {
  CChunkPlan chunk;
  chunk.payload = true;
  chunk.size = static_cast<uint32_t>(bytes.size());
  chunk.bytes = std::move(bytes);
  return chunk;
}

CChunkPlan CChunkPlan::PayloadView(const uint8_t* data, uint32_t size) {
  CChunkPlan chunk;
  chunk.payload = true;
  chunk.size = size;
  chunk.view = data;
  return chunk;
}

CChunkPlan CChunkPlan::Copy(uint32_t offset, uint32_t size) {
  CChunkPlan chunk;
  chunk.payload = false;
  chunk.offset = offset;
  chunk.size = size;
  return chunk;
}

namespace {
bool IsDigestText(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() != 32) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

void PutText(uint8_t* field, size_t fieldSize, const std::string& text, CJunk* junk) {
  std::memcpy(field, text.data(), text.size());
  field[text.size()] = 0;
  if (junk) junk->Fill(field + text.size() + 1, fieldSize - text.size() - 1);
}
}  // namespace

uint8_t CJunk::Next() {
  state_ = state_ * 1664525u + 1013904223u;
  uint8_t b = static_cast<uint8_t>(state_ >> 24);
  return b ? b : 0xE5;
}

void CJunk::Fill(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = Next();
}

bool CContainerStream::EntrySize(const CEntryPlan& entry, uint64_t& size, std::string* why) {
  if (entry.name.size() >= kNameFieldSize || entry.name.find('\0') != std::string::npos)
    return Refuse(why, "entry name too long: " + entry.name.substr(0, 64));
  if (!IsDigestText(entry.digestBefore) || !IsDigestText(entry.digestAfter))
    return Refuse(why, entry.name + ": digest text is not 32 lower-case hex digits");
  if (entry.chunks.empty() || !entry.chunks.front().payload)
    return Refuse(why, entry.name + ": the first chunk must be a payload chunk");
  size = kEntryRecordSize + static_cast<uint64_t>(entry.chunks.size()) * kChunkRecordSize;
  for (const CChunkPlan& chunk : entry.chunks)
    if (chunk.payload) size += chunk.PayloadSize();
  return true;
}

void CContainerStream::CountBytes(uint32_t count, uint8_t (&bytes)[4]) {
  PutU32(bytes, count);
}

bool CContainerStream::Begin(uint32_t entryCount, std::string* why) {
  uint8_t count[4];
  CountBytes(entryCount, count);
  if (!sink_(count, sizeof count)) return Refuse(why, "write failed");
  at_ = sizeof count;
  return true;
}

bool CContainerStream::Add(const CEntryPlan& entry, std::string* why) {
  uint64_t size = 0;
  if (!EntrySize(entry, size, why)) return false;
  if (at_ + size > UINT32_MAX) return Refuse(why, "container exceeds 4 GiB - 1 bytes");
  CJunk* junk = options_.junk ? &junk_ : nullptr;
  const uint32_t at = static_cast<uint32_t>(at_);
  uint8_t record[kEntryRecordSize] = {};
  PutText(record + kNameOffset, kNameFieldSize, entry.name, junk);
  PutText(record + kDigestBeforeOffset, kDigestFieldSize, entry.digestBefore, junk);
  PutText(record + kDigestAfterOffset, kDigestFieldSize, entry.digestAfter, junk);
  if (junk) junk->Fill(record + kEntryReservedOffset, kPayloadSizeOffset - kEntryReservedOffset);

  const uint32_t areaStart =
      at + kEntryRecordSize + static_cast<uint32_t>(entry.chunks.size()) * kChunkRecordSize;
  uint32_t payloadAt = areaStart;
  std::vector<uint8_t> table(entry.chunks.size() * kChunkRecordSize, 0);
  uint8_t* chunkRecord = table.data();
  for (const CChunkPlan& chunk : entry.chunks) {
    uint32_t offset = chunk.offset;
    uint32_t chunkSize = chunk.size;
    if (chunk.payload) {
      offset = payloadAt;
      chunkSize = chunk.PayloadSize();
      payloadAt += chunkSize;
    }
    chunkRecord[0] = chunk.payload ? 1 : 0;
    if (junk) {
      if (chunk.payload) chunkRecord[0] = junk->Next();
      chunkRecord[1] = chunk.payload ? 0xF7 : 0xFA;
      chunkRecord[2] = 0xE5;
    }
    PutU32(chunkRecord + 4, offset);
    PutU32(chunkRecord + 8, chunkSize);
    chunkRecord += kChunkRecordSize;
  }
  PutU32(record + kPayloadSizeOffset, payloadAt - areaStart);
  PutU32(record + kChunkCountOffset, static_cast<uint32_t>(entry.chunks.size()));

  if (!sink_(record, kEntryRecordSize) || !sink_(table.data(), table.size()))
    return Refuse(why, "write failed");
  digests_.Records(record, kEntryRecordSize);
  digests_.Records(table.data(), table.size());
  for (const CChunkPlan& chunk : entry.chunks) {
    if (!chunk.payload || chunk.PayloadSize() == 0) continue;
    if (!sink_(chunk.PayloadData(), chunk.PayloadSize())) return Refuse(why, "write failed");
    digests_.Payload(chunk.PayloadData(), chunk.PayloadSize());
  }
  at_ = payloadAt;
  ++count_;
  held_.Add(static_cast<uint32_t>(entry.chunks.size()), payloadAt - areaStart);
  return true;
}

bool CContainerWriter::Size(uint64_t& total, std::string* why) const {
  total = 4;
  for (const CEntryPlan& entry : entries_) {
    uint64_t size = 0;
    if (!CContainerStream::EntrySize(entry, size, why)) return false;
    total += size;
  }
  if (total > UINT32_MAX) return Refuse(why, "container exceeds 4 GiB - 1 bytes");
  return true;
}

bool CContainerWriter::Build(std::vector<uint8_t>& out, std::string* why) const {
  uint64_t total = 0;
  if (!Size(total, why)) return false;
  out.clear();
  out.reserve(static_cast<size_t>(total));
  return Write(
      [&out](const uint8_t* data, size_t size) {
        out.insert(out.end(), data, data + size);
        return true;
      },
      why);
}

bool CContainerWriter::Write(const CByteSink& sink, std::string* why) const {
  uint64_t total = 0;
  if (!Size(total, why)) return false;
  CContainerStream stream(sink, options_);
  if (!stream.Begin(static_cast<uint32_t>(entries_.size()), why)) return false;
  for (const CEntryPlan& entry : entries_)
    if (!stream.Add(entry, why)) return false;
  return true;
}

CManifestEntry DescribeEntry(const CEntryPlan& plan, CEntryKind kind, CFileBytes old,
                             CFileBytes latest) {
  CManifestEntry entry;
  entry.kind = kind;
  entry.replaces = old.data != nullptr;
  entry.oldSize = old.size;
  entry.newSize = latest.size;
  entry.newDigest = CContentDigest::Of(latest.data, latest.size);
  CContentDigest copied;
  for (const CChunkPlan& chunk : plan.chunks) {
    if (chunk.payload) continue;
    entry.copies = true;
    copied.Update(old.data + chunk.offset, chunk.size);
  }
  if (entry.copies) entry.copiedDigest = copied.Final();
  return entry;
}

bool BuildReleaseFile(const std::vector<CEntryPlan>& entries, const std::vector<CEntryFiles>& files,
                      uint32_t codePage, std::vector<uint8_t>& out, std::string* why,
                      CWriterOptions options) {
  if (files.size() != entries.size()) return Refuse(why, "one pair of files per entry");
  out.clear();
  const CByteSink sink = [&out](const uint8_t* data, size_t size) {
    out.insert(out.end(), data, data + size);
    return true;
  };
  CContainerStream stream(sink, options);
  if (!stream.Begin(static_cast<uint32_t>(entries.size()), why)) return false;
  CReleaseManifest manifest;
  manifest.codePage = codePage;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!stream.Add(entries[i], why)) return false;
    const uint32_t chunks = static_cast<uint32_t>(entries[i].chunks.size());
    manifest.entries.push_back(DescribeEntry(
        entries[i], KindOf(entries[i].name, chunks, kCodePageUtf8), files[i].old, files[i].latest));
  }
  manifest.recordsDigest = stream.Digests().RecordsDigest();
  manifest.payloadDigest = stream.Digests().PayloadDigest();
  const std::vector<uint8_t> trailer = ManifestBytes(manifest);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return true;
}

bool CompressedReleaseFile(const uint8_t* container, uint32_t size, CReleaseManifest manifest,
                           std::vector<uint8_t>& out, std::string* why,
                           const CPackProgress& progress) {
  out.clear();
  if (!PackContainer(container, size, out, why, progress)) return false;
  manifest.carrying = CCarrying::kXz;
  manifest.containerSize = size;
  const std::vector<uint8_t> trailer = ManifestBytes(manifest);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return true;
}
