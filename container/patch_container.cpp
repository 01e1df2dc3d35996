#include "container/patch_container.h"

#include <cstring>
#include <set>

#include "base/path_text.h"
#include "base/refusal.h"
#include "container/windows_names.h"
#include "container/working_names.h"

bool ReadEntryRecord(CByteCursor& cursor, CEntryRecord& record) {
  cursor.Read(record.name, kNameFieldSize);
  cursor.Read(record.digestBefore, kDigestFieldSize);
  cursor.Read(record.digestAfter, kDigestFieldSize);
  cursor.Read(record.reserved, sizeof record.reserved);
  record.payloadSize = cursor.ReadU32();
  record.chunkCount = cursor.ReadU32();
  // The validated container has these NULs already; the guard keeps every
  // text use bounded whatever the bytes.
  record.name[kNameFieldSize - 1] = '\0';
  record.digestBefore[kDigestFieldSize - 1] = '\0';
  record.digestAfter[kDigestFieldSize - 1] = '\0';
  return !cursor.Failed();
}

bool ReadChunkRecord(CByteCursor& cursor, CChunkRecord& record) {
  record.flag = cursor.ReadU8();
  cursor.Read(record.reserved, sizeof record.reserved);
  record.offset = cursor.ReadU32();
  record.size = cursor.ReadU32();
  return !cursor.Failed();
}

bool SkipEntry(CByteCursor& cursor, const CEntryRecord& record, CChunkRecord& firstChunk) {
  if (!ReadChunkRecord(cursor, firstChunk)) return false;
  uint64_t next = static_cast<uint64_t>(firstChunk.offset) + record.payloadSize;
  return next <= cursor.Size() && cursor.Seek(static_cast<uint32_t>(next));
}

std::string NameExtension(const std::string& name, uint32_t codePage) {
  size_t start = LastComponentStart(name, codePage);
  // No trail byte of a double-byte character is a '.'.
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot < start) return std::string();
  std::string extension = name.substr(dot);
  return extension.size() <= 7 ? extension : std::string();
}

bool IsSafeRelativeName(const std::string& name, uint32_t codePage) {
  // No trail byte of a double-byte character is a ':'.
  if (name.empty() || name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (true) {
    size_t end = NextSeparator(name, start, codePage);
    std::string component = name.substr(start, end == std::string::npos ? end : end - start);
    if (component.empty() || component == "." || component == "..") return false;
    if (end == std::string::npos) return !IsWorkingName(component, codePage);
    start = end + 1;
  }
}

namespace {
bool HasNul(const uint8_t* field, size_t size) {
  return std::memchr(field, 0, size) != nullptr;
}

// Checks one entry whose record starts at `start` in data[0, size), where
// the container runs `shift` bytes ahead of `data` (the payload areas left
// out before it) and ends at `end`.
bool ValidateEntry(const uint8_t* data, uint32_t size, uint32_t start, uint64_t shift, uint64_t end,
                   uint32_t codePage, CContainerEntry& entry, std::string& name, std::string* why) {
  CByteCursor cursor(data, size);
  cursor.Seek(start);
  const uint8_t* raw = cursor.Take(kEntryRecordSize);
  if (!raw) return Refuse(why, "entry record runs past the end");
  // The texts must end inside their fields, which the reader cannot see.
  if (!HasNul(raw + kNameOffset, kNameFieldSize)) return Refuse(why, "name has no NUL");
  name = reinterpret_cast<const char*>(raw + kNameOffset);
  if (!HasNul(raw + kDigestBeforeOffset, kDigestFieldSize))
    return Refuse(why, name + ": digestBefore has no NUL");
  if (!HasNul(raw + kDigestAfterOffset, kDigestFieldSize))
    return Refuse(why, name + ": digestAfter has no NUL");
  CEntryRecord record;
  CByteCursor fields(raw, kEntryRecordSize);
  ReadEntryRecord(fields, record);
  entry.name = reinterpret_cast<const char*>(raw + kNameOffset);
  entry.digestBefore = reinterpret_cast<const char*>(raw + kDigestBeforeOffset);
  entry.digestAfter = reinterpret_cast<const char*>(raw + kDigestAfterOffset);
  entry.payloadSize = record.payloadSize;
  entry.chunkCount = record.chunkCount;
  entry.recordOffset = start;
  entry.tableOffset = start + kEntryRecordSize;
  if (!IsSafeRelativeName(name, codePage)) return Refuse(why, "unsafe entry name \"" + name + "\"");
  std::string reason;
  if (!CheckWindowsPathName(name, codePage, &reason))
    return Refuse(why, "entry name \"" + name + "\" cannot be a file on Windows: " + reason);
  if (record.chunkCount == 0) return Refuse(why, name + ": no chunk records");

  uint64_t tableBytes = static_cast<uint64_t>(record.chunkCount) * kChunkRecordSize;
  if (tableBytes > cursor.Remaining()) return Refuse(why, name + ": chunk table runs past the end");
  uint64_t areaStart = cursor.Tell() + tableBytes + shift;
  uint64_t areaEnd = areaStart + record.payloadSize;
  if (areaEnd > end) return Refuse(why, name + ": payload area runs past the end");

  uint64_t expected = areaStart;
  for (uint32_t i = 0; i < record.chunkCount; ++i) {
    CChunkRecord chunk;
    ReadChunkRecord(cursor, chunk);
    if (i == 0 && !chunk.IsPayload()) return Refuse(why, name + ": first chunk is a copy chunk");
    if (!chunk.IsPayload()) continue;
    if (chunk.offset != expected)
      return Refuse(why, name + ": payload chunk " + std::to_string(i) + " is out of place");
    expected += chunk.size;
    if (expected > areaEnd) return Refuse(why, name + ": payload chunks exceed payloadSize");
  }
  if (expected != areaEnd) return Refuse(why, name + ": payload chunks fall short of payloadSize");
  entry.payloadOffset = static_cast<uint32_t>(areaStart);
  return true;
}

// Both forms: the whole container (tablesOnly false, containerSize == size),
// or its tables alone.
bool Validate(const uint8_t* data, uint32_t size, uint32_t containerSize, bool tablesOnly,
              uint32_t codePage, std::string* why, CPatchContainer* container) {
  CByteCursor cursor(data, size);
  uint32_t entryCount = cursor.ReadU32();
  if (cursor.Failed()) return Refuse(why, "container shorter than its entry count");
  uint32_t position = cursor.Tell();
  uint64_t shift = 0;
  std::set<std::string> names;
  std::vector<CContainerEntry> entries;
  for (uint32_t i = 0; i < entryCount; ++i) {
    std::string name;
    CContainerEntry entry;
    if (!ValidateEntry(data, size, position, shift, containerSize, codePage, entry, name, why)) {
      if (why) *why = "entry " + std::to_string(i) + ": " + *why;
      return false;
    }
    if (tablesOnly) {
      position = entry.tableOffset + entry.chunkCount * kChunkRecordSize;
      shift += entry.payloadSize;
    } else {
      entry.payload = data + entry.payloadOffset;
      position = entry.payloadOffset + entry.payloadSize;
    }
    // At most as many as the bytes hold: each has passed its checks.
    if (container) entries.push_back(entry);
    // Two names that one file system takes for the same file (letter case,
    // either separator) would share one temporary file.
    if (!names.insert(FoldedPath(name, codePage)).second)
      return Refuse(why, "entry " + std::to_string(i) + ": \"" + name + "\" names a file twice");
  }
  if (position != size || position + shift != containerSize)
    return Refuse(why, "bytes left after the last entry");
  if (container) *container = CPatchContainer{data, size, std::move(entries), tablesOnly};
  return true;
}
}  // namespace

CChunkWalk::CChunkWalk(const CPatchContainer& container, const CContainerEntry& entry)
    : entry_(&entry), table_(container.data, container.size), left_(entry.chunkCount) {
  table_.Seek(entry.tableOffset);
}

bool CChunkWalk::Next(CChunkRecord& chunk) {
  if (left_ == 0 || !ReadChunkRecord(table_, chunk)) return false;
  --left_;
  at_ = next_;
  next_ += chunk.size;
  return true;
}

bool HasCopyChunks(const CPatchContainer& container, const CContainerEntry& entry) {
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  while (walk.Next(chunk))
    if (!chunk.IsPayload()) return true;
  return false;
}

CHeldSizes HeldSizesOf(const CPatchContainer& container) {
  CHeldSizes held;
  for (const CContainerEntry& entry : container.entries)
    held.Add(entry.chunkCount, entry.payloadSize);
  return held;
}

uint64_t MadeSize(const CPatchContainer& container, const CContainerEntry& entry) {
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  while (walk.Next(chunk)) continue;
  return walk.Made();
}

bool ValidatePatchContainer(const uint8_t* data, uint32_t size, uint32_t codePage, std::string* why,
                            CPatchContainer* container) {
  return Validate(data, size, size, false, codePage, why, container);
}

bool ValidateContainerTables(const uint8_t* data, uint32_t size, uint32_t containerSize,
                             uint32_t codePage, std::string* why, CPatchContainer& container) {
  return Validate(data, size, containerSize, true, codePage, why, &container);
}
