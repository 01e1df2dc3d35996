#include "builder/show_release.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "archive/zip_records.h"
#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/release_entry.h"
#include "builder/release_limits.h"
#include "container/entry_kind.h"
#include "container/patch_container.h"
#include "container/release_manifest.h"
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
                  uint64_t sizeLimit, CPatchContainer* container, std::string* why,
                  CReleaseView* view) {
  if (size > sizeLimit) return Refuse(why, OverReleaseLimit(path, size, sizeLimit));
  CReleaseView release;
  CPatchContainer checked;
  std::string reason;
  if (!ReadReleaseFile(data, size, release, &reason))
    return Refuse(why, path + ": the patcher would refuse this release: " + reason);
  // A manifest names the code page the names were written for.
  if (release.hasManifest && release.manifest.codePage != 0) codePage = release.manifest.codePage;
  if (!ValidatePatchContainer(release.container, release.containerSize, codePage, &reason,
                              &checked) ||
      (release.hasManifest && !CheckManifest(release.manifest, checked, codePage, &reason)))
    return Refuse(why, path + ": the patcher would refuse this release: " + reason);
  if (container) *container = std::move(checked);
  if (view) *view = std::move(release);
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
        !ReleaseInExe(data, static_cast<uint32_t>(size), data, inner, &reason)) {
      if (why) *why = path + ": " + (reason.empty() ? "too large for a 32-bit program" : reason);
      return false;
    }
    size = inner;
    what = "QelPatch.exe carrying a release of ";
  }
  CPatchContainer container;
  CReleaseView release;
  if (!CheckRelease(path, data, size, encoder.CodePage(), sizeLimit, &container, why, &release))
    return false;
  const CReleaseManifest& manifest = release.manifest;
  const CNameEncoder names(release.hasManifest && manifest.codePage != 0 ? manifest.codePage
                                                                         : encoder.CodePage());

  out = Format("%s: %s%" PRIu64 " entries, %" PRIu64 " bytes; the patcher accepts it\n",
               path.c_str(), what.c_str(), static_cast<uint64_t>(container.entries.size()), size);
  if (!release.hasManifest)
    out += "no manifest: a release of an older builder, checked as it was then\n";
  else if (manifest.codePage == 0)
    out += "manifest: checked; names in ASCII\n";
  else
    out += Format("manifest: checked; names for code page %" PRIu32 "\n", manifest.codePage);
  out += Format("%-22s %8s %12s %14s  %s\n", "kind", "chunks", "payload", "copied", "name");
  uint64_t totalPayload = 0;
  uint64_t totalCopied = 0;
  for (size_t i = 0; i < container.entries.size(); ++i) {
    const CContainerEntry& entry = container.entries[i];
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
                  entry.chunkCount, entry.payloadSize, copied, names.Decode(entry.name).c_str());
    out += Format("%-22s before %s  after %s\n", "",
                  entry.digestBefore[0] ? entry.digestBefore : "(none)",
                  entry.digestAfter[0] ? entry.digestAfter : "(none)");
    if (release.hasManifest) {
      const CManifestEntry& listed = manifest.entries[i];
      out += Format("%-22s old %s  new %" PRIu64 "  digest %s\n", "",
                    listed.replaces ? std::to_string(listed.oldSize).c_str() : "(none)",
                    listed.newSize, listed.newDigest.Hex().c_str());
    }
    totalPayload += entry.payloadSize;
    totalCopied += copied;
  }
  out += Format("%-22s %8s %12" PRIu64 " %14" PRIu64 "\n", "total", "", totalPayload, totalCopied);
  return true;
}
