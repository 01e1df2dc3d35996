#include "container/release_manifest.h"

#include <algorithm>
#include <new>

#include "base/byte_cursor.h"
#include "base/checked_size.h"
#include "base/little_endian.h"
#include "base/refusal.h"
#include "container/stream_carrier.h"
#include "container/trailed_body.h"
#include "container/windows_names.h"

namespace {
constexpr uint8_t kReplaces = 1;
constexpr uint8_t kCopies = 2;
constexpr uint8_t kDiffers = 4;

void AppendDigest(std::vector<uint8_t>& out, const CDigest128& digest) {
  out.insert(out.end(), digest.bytes, digest.bytes + sizeof digest.bytes);
}

// A name or a text: its length (2), then its bytes.
std::string ReadText(CByteCursor& cursor) {
  const uint16_t length = cursor.ReadU16();
  const uint8_t* bytes = cursor.Take(length);
  return bytes ? std::string(reinterpret_cast<const char*>(bytes), length) : std::string();
}

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
  AppendU16(out, static_cast<uint16_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

// What version 3 adds after the entry records.
bool ReadVersionsPart(CByteCursor& cursor, uint32_t removedCount, uint32_t folderCount,
                      uint32_t unchangedCount, CReleaseManifest& manifest, std::string* why) {
  // Each takes at least its fixed bytes: a count the body cannot hold is
  // refused before anything is reserved for it.
  if (uint64_t{removedCount} * 26 + uint64_t{folderCount} * 2 + uint64_t{unchangedCount} * 10 + 4 >
      cursor.Remaining())
    return Refuse(why, "the manifest's size does not match its counts");
  manifest.removed.resize(removedCount);
  for (CRemovedFile& file : manifest.removed) ReadRemovedFile(cursor, file);
  manifest.removedFolders.resize(folderCount);
  for (std::string& folder : manifest.removedFolders) folder = ReadText(cursor);
  manifest.unchanged.resize(unchangedCount);
  for (auto& [name, size] : manifest.unchanged) ReadUnchangedFile(cursor, name, size);
  manifest.fromVersion = ReadText(cursor);
  manifest.toVersion = ReadText(cursor);
  if (cursor.Failed() || cursor.Remaining() != 0)
    return Refuse(why, "the manifest's size does not match its contents");
  return true;
}

// Version 5's lists, unpacked from the rest of the body.
bool UnpackLists(CByteCursor& cursor, std::vector<uint8_t>& lists, std::string* why) {
  const uint32_t size = cursor.ReadU32();
  if (cursor.Failed()) return Refuse(why, "the manifest is shorter than its header");
  if (size > kManifestListsLimit)
    return Refuse(why, "the manifest's lists unpack to " + std::to_string(size) +
                           " bytes, over the limit of " + std::to_string(kManifestListsLimit));
  const uint32_t packedSize = cursor.Remaining();
  const uint8_t* packed = cursor.Take(packedSize);
  lists.resize(size);
  bool outOfMemory = false;
  std::string reason;
  if (!UnpackContainer(packed, packedSize, lists.data(), size, outOfMemory, &reason))
    return Refuse(why, outOfMemory ? "not enough memory to unpack the manifest"
                                   : "the manifest's lists are damaged (" + reason + ")");
  return true;
}

bool ReadBody(const uint8_t* body, uint32_t size, CReleaseManifest& manifest, std::string* why) {
  CByteCursor cursor(body, size);
  const uint32_t version = cursor.ReadU32();
  manifest.codePage = cursor.ReadU32();
  const uint32_t count = cursor.ReadU32();
  if (cursor.Failed()) return Refuse(why, "the manifest is shorter than its header");
  if (version < kManifestVersion || version > kManifestPackedVersion)
    return Refuse(why, "the manifest is of version " + std::to_string(version) +
                           ", which this patcher does not read");
  if (version >= kManifestCarryingVersion) {
    const uint32_t codec = cursor.ReadU32();
    manifest.containerSize = cursor.ReadU32();
    const bool streams = codec == static_cast<uint32_t>(CCarrying::kStreams);
    if (codec > static_cast<uint32_t>(CCarrying::kStreams) ||
        streams != (version >= kManifestStreamsVersion) ||
        (codec == static_cast<uint32_t>(CCarrying::kStored) && version == kManifestCarryingVersion))
      return Refuse(why, "the container is compressed in a way this patcher does not read (" +
                             std::to_string(codec) + ")");
    manifest.carrying = static_cast<CCarrying>(codec);
  }
  cursor.Read(manifest.recordsDigest.bytes, sizeof manifest.recordsDigest.bytes);
  cursor.Read(manifest.payloadDigest.bytes, sizeof manifest.payloadDigest.bytes);
  const bool versions = version >= kManifestVersionsVersion;
  const uint32_t removedCount = versions ? cursor.ReadU32() : 0;
  const uint32_t folderCount = versions ? cursor.ReadU32() : 0;
  const uint32_t unchangedCount = versions ? cursor.ReadU32() : 0;
  if (cursor.Failed()) return Refuse(why, "the manifest is shorter than its header");
  std::vector<uint8_t> lists;
  if (version == kManifestPackedVersion) {
    if (!UnpackLists(cursor, lists, why)) return false;
    cursor = CByteCursor(lists.data(), static_cast<uint32_t>(lists.size()));
  }
  const uint64_t records = uint64_t{count} * kManifestEntrySize;
  if (versions ? records > cursor.Remaining() : records != cursor.Remaining())
    return Refuse(why, "the manifest's size does not match its entry count");
  manifest.entries.resize(count);
  for (CManifestEntry& entry : manifest.entries) {
    if (!ReadManifestEntry(cursor, entry, why)) return false;
    if (entry.differs && version < kManifestStreamsVersion)
      return Refuse(why, "a manifest entry's kind or flags are invalid");
  }
  return !versions ||
         ReadVersionsPart(cursor, removedCount, folderCount, unchangedCount, manifest, why);
}
}  // namespace

CContainerDigests CContainerDigests::Of(const CPatchContainer& container) {
  CContainerDigests digests;
  for (const CContainerEntry& entry : container.entries) {
    digests.Records(container.data + entry.recordOffset,
                    kEntryRecordSize + size_t{entry.chunkCount} * kChunkRecordSize);
    if (!container.tablesOnly) digests.Payload(entry.payload, entry.payloadSize);
  }
  return digests;
}

bool ReadReleaseManifest(const uint8_t* data, uint64_t size, CReleaseView& release,
                         std::string* why) {
  release = CReleaseView();
  uint64_t containerSize = size;
  if (EndsInTrailer(data, size, kManifestMagic)) {
    const uint8_t* body = nullptr;
    uint32_t bodySize = 0;
    if (!TrailedBody(data, size, "the manifest", body, bodySize, why) ||
        !ReadBody(body, bodySize, release.manifest, why))
      return false;
    release.hasManifest = true;
    containerSize = size - kTrailerSize - bodySize;
  }
  release.carriedSize = containerSize;
  if (release.manifest.carrying != CCarrying::kStored) return true;
  if (containerSize > UINT32_MAX) return Refuse(why, "the container is 4 GiB or more");
  release.container = data;
  release.containerSize = static_cast<uint32_t>(containerSize);
  return true;
}

bool ReadReleaseFile(const uint8_t* data, uint64_t size, CReleaseView& release, std::string* why,
                     const CUnpackProgress& unpacking, uint64_t coversKept) {
  if (!ReadReleaseManifest(data, size, release, why)) return false;
  if (release.manifest.carrying == CCarrying::kStored) return true;
  const uint64_t containerSize = release.carriedSize;
  const uint32_t unpackedSize = release.manifest.containerSize;
  if (release.manifest.carrying == CCarrying::kStreams) {
    std::unique_ptr<CCarrierPayload> payload;
    if (!UnpackCarrierTables(data, containerSize, release.manifest, release.unpacked,
                             release.containerSize, payload, release.outOfMemory, why, unpacking,
                             coversKept))
      return false;
    release.container = release.unpacked.get();
    release.payload = std::move(payload);
    return true;
  }
  release.unpacked.reset(new (std::nothrow) uint8_t[unpackedSize == 0 ? 1 : unpackedSize]);
  if (!release.unpacked) {
    release.outOfMemory = true;
    return Refuse(why, "not enough memory to unpack the patch data (" +
                           std::to_string(unpackedSize) + " bytes)");
  }
  if (!UnpackContainer(data, containerSize, release.unpacked.get(), unpackedSize,
                       release.outOfMemory, why, unpacking))
    return false;
  release.container = release.unpacked.get();
  release.containerSize = unpackedSize;
  return true;
}

bool CheckManifest(const CReleaseManifest& manifest, const CPatchContainer& container,
                   uint32_t codePage, std::string* why) {
  if (manifest.entries.size() != container.entries.size())
    return Refuse(why, "the manifest lists " + std::to_string(manifest.entries.size()) +
                           " entries, the container holds " +
                           std::to_string(container.entries.size()));
  // Whoever adds up sizes of the files made (the room a run needs, the
  // review's totals) can rely on their sum.
  uint64_t made = 0;
  for (size_t i = 0; i < container.entries.size(); ++i) {
    const CContainerEntry& entry = container.entries[i];
    const CManifestEntry& listed = manifest.entries[i];
    if (listed.kind != KindOf(entry, codePage) || listed.copies != HasCopyChunks(container, entry))
      return Refuse(why, std::string(entry.name) + ": the manifest's kind differs");
    if (!AddSize(made, std::max(listed.newSize, MadeSize(container, entry))))
      return Refuse(why, "the files the patch makes add up to more than 2^64 - 1 bytes");
  }
  // What the run removes or reads is named as safely as what it makes, and
  // is nothing it makes.
  std::vector<std::string> names;
  for (const CContainerEntry& entry : container.entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  std::vector<std::string> named;
  for (const CRemovedFile& file : manifest.removed) named.push_back(file.name);
  for (const std::string& folder : manifest.removedFolders) named.push_back(folder);
  for (const auto& file : manifest.unchanged) named.push_back(file.first);
  for (const std::string& name : named) {
    std::string reason;
    if (!IsSafeRelativeName(name, codePage) || !CheckWindowsPathName(name, codePage, &reason))
      return Refuse(why, "the manifest names an unsafe path \"" + name + "\"");
    if (std::binary_search(names.begin(), names.end(), name))
      return Refuse(why, name + ": the manifest removes or keeps a file the patch makes");
  }
  const CContainerDigests digests = CContainerDigests::Of(container);
  if (digests.RecordsDigest() != manifest.recordsDigest)
    return Refuse(why, "the digest of the container's records does not match");
  // A container of its tables alone has its payload checked as it unpacks.
  if (!container.tablesOnly && digests.PayloadDigest() != manifest.payloadDigest)
    return Refuse(why, "the digest of the container's payload does not match");
  return true;
}

std::vector<uint8_t> ManifestBytes(const CReleaseManifest& manifest) {
  std::vector<uint8_t> out;
  const CManifestWriter::CSink sink = [&out](const uint8_t* data, size_t size) {
    out.insert(out.end(), data, data + size);
    return true;
  };
  const CManifestCounts counts{static_cast<uint32_t>(manifest.entries.size()),
                               static_cast<uint32_t>(manifest.removed.size()),
                               static_cast<uint32_t>(manifest.removedFolders.size()),
                               static_cast<uint32_t>(manifest.unchanged.size())};
  CManifestWriter writer(manifest, counts, sink);
  for (const CManifestEntry& entry : manifest.entries) writer.Entry(entry);
  for (const CRemovedFile& file : manifest.removed) writer.Removed(file);
  for (const std::string& folder : manifest.removedFolders) writer.RemovedFolder(folder);
  for (const auto& [name, size] : manifest.unchanged) writer.Unchanged(name, size);
  writer.Finish();
  return out;
}

CManifestWriter::CManifestWriter(const CReleaseManifest& head, const CManifestCounts& counts,
                                 const CSink& sink)
    : head_(head),
      sink_(sink),
      versions_(counts.removed != 0 || counts.removedFolders != 0 || counts.unchanged != 0 ||
                !head.fromVersion.empty() || !head.toVersion.empty()),
      left_{counts.entries, counts.removed, counts.removedFolders, counts.unchanged} {
  const bool carrying = head.carrying != CCarrying::kStored;
  const bool streams = head.carrying == CCarrying::kStreams;
  versions_ = versions_ || streams;
  AppendU32(piece_, streams     ? kManifestStreamsVersion
                    : versions_ ? kManifestVersionsVersion
                    : carrying  ? kManifestCarryingVersion
                                : kManifestVersion);
  AppendU32(piece_, head.codePage);
  AppendU32(piece_, counts.entries);
  if (carrying || versions_) {
    AppendU32(piece_, static_cast<uint32_t>(head.carrying));
    AppendU32(piece_, head.containerSize);
  }
  AppendDigest(piece_, head.recordsDigest);
  AppendDigest(piece_, head.payloadDigest);
  if (versions_) {
    AppendU32(piece_, counts.removed);
    AppendU32(piece_, counts.removedFolders);
    AppendU32(piece_, counts.unchanged);
  }
  Put();
}

bool CManifestWriter::Next(int list) {
  for (int earlier = 0; earlier < list; ++earlier) failed_ = failed_ || left_[earlier] != 0;
  failed_ = failed_ || left_[list] == 0;
  if (failed_) return false;
  --left_[list];
  return true;
}

void CManifestWriter::Put() {
  if (!failed_) {
    digest_.Update(piece_.data(), piece_.size());
    bodySize_ += static_cast<uint32_t>(piece_.size());
    failed_ = !sink_(piece_.data(), piece_.size());
  }
  piece_.clear();
}

void CManifestWriter::Entry(const CManifestEntry& entry) {
  if (Next(0)) AppendManifestEntry(piece_, entry);
  Put();
}

void CManifestWriter::Removed(const CRemovedFile& file) {
  if (Next(1)) AppendRemovedFile(piece_, file);
  Put();
}

void CManifestWriter::RemovedFolder(const std::string& name) {
  if (Next(2)) AppendText(piece_, name);
  Put();
}

void CManifestWriter::Unchanged(const std::string& name, uint64_t size) {
  if (Next(3)) AppendUnchangedFile(piece_, name, size);
  Put();
}

bool CManifestWriter::Finish() {
  for (uint32_t left : left_) failed_ = failed_ || left != 0;
  if (versions_) {
    AppendText(piece_, head_.fromVersion);
    AppendText(piece_, head_.toVersion);
    Put();
  }
  if (failed_) return false;
  // The trailer, which the digest does not cover.
  AppendTrailer(piece_, digest_.Final(), bodySize_, kManifestMagic);
  failed_ = !sink_(piece_.data(), piece_.size());
  piece_.clear();
  return !failed_;
}

bool ReadManifestEntry(CByteCursor& cursor, CManifestEntry& entry, std::string* why) {
  const uint8_t kind = cursor.ReadU8();
  const uint8_t flags = cursor.ReadU8();
  uint8_t reserved[6] = {};
  cursor.Read(reserved, sizeof reserved);
  entry.oldSize = cursor.ReadU64();
  entry.newSize = cursor.ReadU64();
  cursor.Read(entry.newDigest.bytes, sizeof entry.newDigest.bytes);
  cursor.Read(entry.copiedDigest.bytes, sizeof entry.copiedDigest.bytes);
  if (kind > static_cast<uint8_t>(CEntryKind::kArchive) ||
      (flags & ~(kReplaces | kCopies | kDiffers)) != 0 ||
      ((flags & kCopies) && !(flags & kReplaces)) || ((flags & kDiffers) && !(flags & kCopies)))
    return Refuse(why, "a manifest entry's kind or flags are invalid");
  for (uint8_t b : reserved)
    if (b != 0) return Refuse(why, "a manifest entry's reserved bytes are not zero");
  entry.kind = static_cast<CEntryKind>(kind);
  entry.replaces = (flags & kReplaces) != 0;
  entry.copies = (flags & kCopies) != 0;
  entry.differs = (flags & kDiffers) != 0;
  return true;
}

void AppendManifestEntry(std::vector<uint8_t>& out, const CManifestEntry& entry) {
  out.push_back(static_cast<uint8_t>(entry.kind));
  out.push_back(static_cast<uint8_t>((entry.replaces ? kReplaces : 0) |
                                     (entry.copies ? kCopies : 0) |
                                     (entry.differs ? kDiffers : 0)));
  out.insert(out.end(), 6, 0);
  AppendU64(out, entry.oldSize);
  AppendU64(out, entry.newSize);
  AppendDigest(out, entry.newDigest);
  AppendDigest(out, entry.copiedDigest);
}

void AppendRemovedFile(std::vector<uint8_t>& out, const CRemovedFile& file) {
  AppendU64(out, file.size);
  AppendDigest(out, file.digest);
  AppendText(out, file.name);
}

void ReadRemovedFile(CByteCursor& cursor, CRemovedFile& file) {
  file.size = cursor.ReadU64();
  cursor.Read(file.digest.bytes, sizeof file.digest.bytes);
  file.name = ReadText(cursor);
}

void AppendUnchangedFile(std::vector<uint8_t>& out, const std::string& name, uint64_t size) {
  AppendU64(out, size);
  AppendText(out, name);
}

void ReadUnchangedFile(CByteCursor& cursor, std::string& name, uint64_t& size) {
  size = cursor.ReadU64();
  name = ReadText(cursor);
}
