#include "engine/container_writer.h"

#include <cstring>

#include "engine/patch_container.h"

CChunkPlan CChunkPlan::Payload(std::vector<uint8_t> bytes) {
  CChunkPlan chunk;
  chunk.payload = true;
  chunk.size = static_cast<uint32_t>(bytes.size());
  chunk.bytes = std::move(bytes);
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
bool Refuse(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

bool IsDigestText(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() != 32) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A small deterministic generator for the junk bytes, never zero.
struct CJunk {
  uint32_t state = 0x9E3779B9u;
  uint8_t Next() {
    state = state * 1664525u + 1013904223u;
    uint8_t b = static_cast<uint8_t>(state >> 24);
    return b ? b : 0xE5;
  }
  void Fill(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = Next();
  }
};

void PutText(uint8_t* field, size_t fieldSize, const std::string& text, CJunk* junk) {
  std::memcpy(field, text.data(), text.size());
  field[text.size()] = 0;
  if (junk) junk->Fill(field + text.size() + 1, fieldSize - text.size() - 1);
}
}  // namespace

bool CContainerWriter::Build(std::vector<uint8_t>& out, std::string* why) const {
  uint64_t total = 4;
  for (const CEntryPlan& entry : entries_) {
    if (entry.name.size() >= kNameFieldSize || entry.name.find('\0') != std::string::npos)
      return Refuse(why, "entry name too long: " + entry.name.substr(0, 64));
    if (!IsDigestText(entry.digestBefore) || !IsDigestText(entry.digestAfter))
      return Refuse(why, entry.name + ": digest text is not 32 lower-case hex digits");
    if (entry.chunks.empty() || !entry.chunks.front().payload)
      return Refuse(why, entry.name + ": the first chunk must be a payload chunk");
    total += kEntryRecordSize + static_cast<uint64_t>(entry.chunks.size()) * kChunkRecordSize;
    for (const CChunkPlan& chunk : entry.chunks)
      if (chunk.payload) total += chunk.bytes.size();
  }
  if (total > UINT32_MAX) return Refuse(why, "container exceeds 4 GiB - 1 bytes");

  CJunk junkSource;
  CJunk* junk = options_.junk ? &junkSource : nullptr;
  out.assign(static_cast<size_t>(total), 0);
  uint8_t* base = out.data();
  PutU32(base, static_cast<uint32_t>(entries_.size()));
  size_t at = 4;
  for (const CEntryPlan& entry : entries_) {
    uint8_t* record = base + at;
    size_t tableStart = at + kEntryRecordSize;
    size_t payloadAt = tableStart + entry.chunks.size() * kChunkRecordSize;
    size_t areaStart = payloadAt;

    PutText(record, kNameFieldSize, entry.name, junk);
    PutText(record + 1024, kDigestFieldSize, entry.digestBefore, junk);
    PutText(record + 1057, kDigestFieldSize, entry.digestAfter, junk);
    if (junk) junk->Fill(record + 1090, 2);

    uint8_t* chunkRecord = base + tableStart;
    for (const CChunkPlan& chunk : entry.chunks) {
      uint32_t offset = chunk.offset;
      uint32_t size = chunk.size;
      if (chunk.payload) {
        offset = static_cast<uint32_t>(payloadAt);
        size = static_cast<uint32_t>(chunk.bytes.size());
        if (size) std::memcpy(base + payloadAt, chunk.bytes.data(), size);
        payloadAt += size;
      }
      chunkRecord[0] = chunk.payload ? 1 : 0;
      if (junk) {
        if (chunk.payload) chunkRecord[0] = junk->Next();
        chunkRecord[1] = chunk.payload ? 0xF7 : 0xFA;
        chunkRecord[2] = 0xE5;
      }
      PutU32(chunkRecord + 4, offset);
      PutU32(chunkRecord + 8, size);
      chunkRecord += kChunkRecordSize;
    }
    PutU32(record + 1092, static_cast<uint32_t>(payloadAt - areaStart));
    PutU32(record + 1096, static_cast<uint32_t>(entry.chunks.size()));
    at = payloadAt;
  }
  return true;
}
