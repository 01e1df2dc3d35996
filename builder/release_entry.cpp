#include "builder/release_entry.h"

#include <cstring>

#include "archive/zip_records.h"
#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "container/patch_container.h"
#include "digest/package_format.h"
#include "digest/package_index_digest.h"

namespace {
void AppendPieces(const std::vector<CDeltaPiece>& pieces, const uint8_t* target,
                  std::vector<CChunkPlan>& chunks) {
  for (const CDeltaPiece& piece : pieces)
    chunks.push_back(piece.copy ? CChunkPlan::Copy(piece.from, piece.size)
                                : CChunkPlan::PayloadView(target + piece.from, piece.size));
}

// The package's layout and index digest, the latter as the patcher reads it
// from the file too.
bool ReadDigest(const CMappedFile& file, CPackageLayout& layout, std::string& digest,
                std::string* why) {
  std::string reason;
  if (!ReadPackageLayout(file.Data(), file.Size(), layout, &reason))
    return Refuse(why, file.Path() + ": not a valid package: " + reason);
  digest = GetPackageIndexDigest(file.Data(), layout);
  if (GetPackageIndexDigest(file.Path()) != digest)
    return Refuse(why, file.Path() + ": the patcher reads another index digest from the file (" +
                           "did it change while the release was being built?)");
  return true;
}

void PlanWhole(const CFilePair& pair, const std::string& digest, CEntryPlan& entry) {
  const CMappedFile& latest = *pair.latest;
  entry.digestBefore.clear();
  entry.digestAfter = digest;
  entry.chunks.assign(1,
                      CChunkPlan::PayloadView(latest.Data(), static_cast<uint32_t>(latest.Size())));
}

// The archive's data comes from the latest file: the framing and the
// chunks that make the data.
void PlanStoredArchive(const std::string& name, uint32_t crc, uint32_t size,
                       std::vector<CChunkPlan> dataChunks, CEntryPlan& entry) {
  CZipFraming framing = MakeZipFraming(name, kZipMethodStored, crc, size, size);
  entry.chunks.clear();
  entry.chunks.push_back(CChunkPlan::Payload(std::move(framing.localHeader)));
  for (CChunkPlan& chunk : dataChunks) entry.chunks.push_back(std::move(chunk));
  entry.chunks.push_back(CChunkPlan::Payload(std::move(framing.trailer)));
}

// The archive deflated, when that makes it smaller than the file and it fits
// a zip archive the patcher reads.
bool PlanDeflatedArchive(const std::string& name, const uint8_t* data, uint64_t size, uint32_t crc,
                         CEntryPlan& entry) {
  std::vector<uint8_t> deflated;
  if (!DeflateRaw(data, size, size, deflated) ||
      ZipArchiveSize(name, deflated.size()) > kZipArchiveLimit)
    return false;
  CZipFraming framing =
      MakeZipFraming(name, kZipMethodDeflated, crc, static_cast<uint32_t>(deflated.size()),
                     static_cast<uint32_t>(size));
  std::vector<uint8_t> archive = std::move(framing.localHeader);
  archive.insert(archive.end(), deflated.begin(), deflated.end());
  archive.insert(archive.end(), framing.trailer.begin(), framing.trailer.end());
  entry.chunks.assign(1, CChunkPlan::Payload(std::move(archive)));
  return true;
}
}  // namespace

bool HasCopies(const CEntryPlan& entry) {
  for (const CChunkPlan& chunk : entry.chunks)
    if (!chunk.payload) return true;
  return false;
}

uint64_t EntryCost(const CEntryPlan& entry) {
  uint64_t cost = 0;
  for (const CChunkPlan& chunk : entry.chunks)
    cost += kChunkRecordSize + (chunk.payload ? chunk.PayloadSize() : 0);
  return cost;
}

bool PlanPackageEntry(const CFilePair& pair, const CScanProgress& progress, CEntryPlan& entry,
                      CEntryKind& kind, std::string* why, std::string* warning) {
  entry = CEntryPlan();
  entry.name = pair.name;
  const CMappedFile& latest = *pair.latest;
  CPackageLayout newLayout;
  std::string after;
  if (!ReadDigest(latest, newLayout, after, why)) return false;
  if (!pair.old || pair.whole) {
    kind = CEntryKind::kWholePackage;
    PlanWhole(pair, after, entry);
    return true;
  }
  CPackageLayout oldLayout;
  std::string before;
  if (!ReadDigest(*pair.old, oldLayout, before, why)) return false;
  if (before == after) {
    // The patcher knows an installed package by its index alone: with the
    // same index, an already patched package would pass for the old one and
    // be rebuilt from the wrong bytes. Sent whole, it is right either way.
    if (warning)
      *warning = pair.name +
                 ": the index is unchanged although the data changed; the package is sent whole";
    kind = CEntryKind::kWholePackage;
    PlanWhole(pair, after, entry);
    return true;
  }
  kind = CEntryKind::kDelta;
  entry.digestBefore = before;
  entry.digestAfter = after;
  const uint32_t oldIndexEnd = oldLayout.indexOffset + oldLayout.indexSize;
  const std::vector<CDeltaPiece> pieces =
      ComputeDelta(pair.old->Data(), static_cast<uint32_t>(pair.old->Size()), latest.Data(),
                   static_cast<uint32_t>(latest.Size()), kPackageHeaderSize,
                   {{oldLayout.indexOffset, oldIndexEnd, 1}}, progress);
  entry.chunks.push_back(CChunkPlan::PayloadView(latest.Data(), kPackageHeaderSize));
  AppendPieces(pieces, latest.Data(), entry.chunks);
  return true;
}

bool PlanArchiveEntry(const CFilePair& pair, bool deflate, const CScanProgress& progress,
                      CEntryPlan& entry, std::string* why) {
  entry = CEntryPlan();
  entry.name = pair.name;
  const CMappedFile& latest = *pair.latest;
  const uint64_t size = latest.Size();
  const uint8_t* data = latest.Data();
  if (size > kZipArchiveLimit)
    return Refuse(why,
                  latest.Path() + ": 2 GiB or more, too large for a zip archive the patcher reads");
  const bool storedFits = ZipArchiveSize(pair.name, size) <= kZipArchiveLimit;

  // Deflated, when that is smaller than storing, unless the release is
  // compressed as a whole: it then finds more in the stored bytes (with
  // copies from the old file) than deflate leaves it.
  const uint32_t crc = Crc32(data, size);
  const bool deflated =
      (deflate || !storedFits) && PlanDeflatedArchive(pair.name, data, size, crc, entry);
  if (!deflated && !storedFits)
    return Refuse(
        why, latest.Path() + ": its archive would be 2 GiB or more, too large for the patcher");
  if (!deflated)
    PlanStoredArchive(pair.name, crc, static_cast<uint32_t>(size),
                      {CChunkPlan::PayloadView(data, static_cast<uint32_t>(size))}, entry);
  if (progress) progress(size / 2);

  // Stored with copies from the installed file, when that is smaller still.
  if (pair.old && !pair.whole && storedFits && pair.old->Size() <= UINT32_MAX) {
    const std::vector<CDeltaPiece> pieces =
        ComputeDelta(pair.old->Data(), static_cast<uint32_t>(pair.old->Size()), data,
                     static_cast<uint32_t>(size), 0, {}, [&](uint64_t scanned) {
                       if (progress) progress(size / 2 + scanned / 2);
                     });
    std::vector<CChunkPlan> dataChunks;
    AppendPieces(pieces, data, dataChunks);
    CEntryPlan copying;
    copying.name = pair.name;
    PlanStoredArchive(pair.name, crc, static_cast<uint32_t>(size), std::move(dataChunks), copying);
    if (EntryCost(copying) < EntryCost(entry)) entry = std::move(copying);
  }
  if (progress) progress(size);
  return true;
}

CEntryPlan PlanOfEntry(const CPatchContainer& container, const CContainerEntry& entry) {
  CEntryPlan plan;
  plan.name = entry.name;
  plan.digestBefore = entry.digestBefore;
  plan.digestAfter = entry.digestAfter;
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  while (walk.Next(chunk))
    plan.chunks.push_back(chunk.IsPayload()
                              ? CChunkPlan::PayloadView(walk.PayloadOf(chunk), chunk.size)
                              : CChunkPlan::Copy(chunk.offset, chunk.size));
  return plan;
}

bool DeflateStoredArchive(const CEntryPlan& stored, const CMappedFile& latest, CEntryPlan& entry,
                          std::string* why) {
  const CChunkPlan& head = stored.chunks.front();
  CZipLocalHeader header = {};
  std::string name;
  entry = stored;
  // Deflated already: its stored form would not fit a zip archive.
  if (!ParseLocalHeaderIn(head.PayloadData(), head.PayloadSize(), header, name) ||
      header.compressionMethod != kZipMethodStored)
    return true;
  const uint32_t crc = Crc32(latest.Data(), latest.Size());
  if (latest.Size() != header.uncompressedSize || crc != header.crc32)
    return Refuse(why, ChangedWhileRead(latest.Path()));
  CEntryPlan deflated;
  deflated.name = stored.name;
  // The rule of PlanArchiveEntry: copies only where they beat the deflated
  // form; a stored entry without copies was found no smaller with them.
  if (PlanDeflatedArchive(stored.name, latest.Data(), latest.Size(), crc, deflated) &&
      !(HasCopies(stored) && EntryCost(stored) < EntryCost(deflated)))
    entry = std::move(deflated);
  return true;
}
