#include "builder/show_release.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "archive/zip_records.h"
#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "builder/release_entry.h"
#include "builder/release_limits.h"
#include "container/entry_kind.h"
#include "container/patch_container.h"
#include "pe/exe_stamp.h"
#include "platform/mapped_file.h"

namespace {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

// What a non-package entry holds, read from the local header at the start of
// its first payload chunk.
std::string ArchiveKind(const uint8_t* data, const CChunkRecord& first, bool copies) {
  uint8_t bytes[kLocalHeaderSize];
  CZipLocalHeader header;
  if (first.size < kLocalHeaderSize) return "not a zip archive";
  std::memcpy(bytes, data + first.offset, kLocalHeaderSize);
  if (!ParseLocalHeader(bytes, header)) return "not a zip archive";
  if (header.compressionMethod == kZipMethodDeflated) return "archive, deflated";
  if (header.compressionMethod == kZipMethodStored)
    return copies ? "archive, stored+copies" : "archive, stored";
  return "archive, method " + std::to_string(header.compressionMethod);
}
}  // namespace

bool CheckRelease(const std::string& path, const uint8_t* data, uint64_t size, uint32_t codePage,
                  uint64_t sizeLimit, CPatchContainer* container, std::string* why) {
  if (size > sizeLimit) {
    if (why) *why = OverReleaseLimit(path, size, sizeLimit);
    return false;
  }
  std::string reason;
  if (!ValidatePatchContainer(data, static_cast<uint32_t>(size), codePage, &reason, container)) {
    if (why) *why = path + ": the patcher would refuse this release: " + reason;
    return false;
  }
  return true;
}

bool ShowRelease(const std::string& path, const CNameEncoder& encoder, uint64_t sizeLimit,
                 std::string& out, std::string* why) {
  CMappedFile file;
  if (!file.Open(path, why)) return false;
  const uint8_t* data = file.Data();
  uint64_t size = file.Size();
  std::string what;
  std::string reason;
  if (LooksLikeExe(data, size)) {
    uint32_t inner = 0;
    if (size > UINT32_MAX ||
        !ReleaseInExe(data, static_cast<uint32_t>(size), data, inner, reason)) {
      if (why) *why = path + ": " + (reason.empty() ? "too large for a 32-bit program" : reason);
      return false;
    }
    size = inner;
    what = "QelPatch.exe carrying a release of ";
  }
  CPatchContainer container;
  if (!CheckRelease(path, data, size, encoder.CodePage(), sizeLimit, &container, why)) return false;

  out = Format("%s: %s%" PRIu64 " entries, %" PRIu64 " bytes; the patcher accepts it\n",
               path.c_str(), what.c_str(), static_cast<uint64_t>(container.entries.size()), size);
  out += Format("%-22s %8s %12s %14s  %s\n", "kind", "chunks", "payload", "copied", "name");
  uint64_t totalPayload = 0;
  uint64_t totalCopied = 0;
  for (const CContainerEntry& entry : container.entries) {
    CByteCursor table = ChunkTable(container, entry);
    CChunkRecord first = {};
    uint64_t copied = 0;
    for (uint32_t c = 0; c < entry.chunkCount; ++c) {
      CChunkRecord chunk;
      ReadChunkRecord(table, chunk);
      if (c == 0) first = chunk;
      if (!chunk.IsPayload()) copied += chunk.size;
    }
    const CEntryKind entryKind = KindOf(entry, kCodePageUtf8);
    const std::string kind = entryKind == CEntryKind::kArchive
                                 ? ArchiveKind(data, first, HasCopyChunks(container, entry))
                             : entryKind == CEntryKind::kDelta ? "delta"
                                                               : "whole package";
    out += Format("%-22s %8" PRIu32 " %12" PRIu32 " %14" PRIu64 "  %s\n", kind.c_str(),
                  entry.chunkCount, entry.payloadSize, copied, encoder.Decode(entry.name).c_str());
    out += Format("%-22s before %s  after %s\n", "",
                  entry.digestBefore[0] ? entry.digestBefore : "(none)",
                  entry.digestAfter[0] ? entry.digestAfter : "(none)");
    totalPayload += entry.payloadSize;
    totalCopied += copied;
  }
  out += Format("%-22s %8s %12" PRIu64 " %14" PRIu64 "\n", "total", "", totalPayload, totalCopied);
  return true;
}
