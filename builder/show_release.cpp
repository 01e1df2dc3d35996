#include "builder/show_release.h"

#include "archive/zip_records.h"
#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/release_input.h"
#include "builder/release_limits.h"
#include "container/entry_kind.h"
#include "container/release_loader.h"
#include "pe/exe_stamp.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/program_texts.h"
#include "platform/mapped_file.h"
#include "resources/resource_ids.h"

namespace {
// What a non-package entry holds, read from the local header at the start of
// its first payload chunk.
std::string ArchiveKind(const uint8_t* data, const CChunkRecord& first, bool copies) {
  CZipLocalHeader header;
  std::string name;
  if (!ParseLocalHeaderIn(data + first.offset, first.size, header, name))
    return "not a zip archive";
  if (header.compressionMethod == kZipMethodDeflated) return "archive, deflated";
  if (header.compressionMethod == kZipMethodStored)
    return copies ? "archive, stored+copies" : "archive, stored";
  return "archive, method " + std::to_string(header.compressionMethod);
}

CEntryReview ReviewEntry(const CPatchContainer& container, const CContainerEntry& entry,
                         const CNameEncoder& names) {
  CEntryReview review;
  CChunkWalk walk(container, entry);
  CChunkRecord first = {};
  CChunkRecord chunk;
  while (walk.Next(chunk)) {
    if (walk.Left() + 1 == entry.chunkCount) first = chunk;
    if (!chunk.IsPayload()) review.copied += chunk.size;
  }
  const CEntryKind kind = KindOf(entry, kCodePageUtf8);
  review.name = names.Decode(entry.name);
  review.kind = kind == CEntryKind::kArchive
                    ? ArchiveKind(container.data, first, HasCopyChunks(container, entry))
                : kind == CEntryKind::kDelta ? "delta"
                                             : "whole package";
  review.chunks = entry.chunkCount;
  review.payload = entry.payloadSize;
  review.package = kind != CEntryKind::kArchive;
  review.digestBefore = entry.digestBefore;
  review.digestAfter = entry.digestAfter;
  return review;
}

// The settings of the program `exe`, QelPatch's own when it has none; false,
// with `why`, for damaged ones.
bool ReadSettingsOf(const uint8_t* exe, uint64_t size, CProgramSettings& settings,
                    std::string* why) {
  CPeImage image;
  CPeResource resource;
  std::string reason;
  if (size > UINT32_MAX || !image.Parse(exe, static_cast<uint32_t>(size), &reason) ||
      !image.FindResource(kResourceData, IDR_PROGRAM_SETTINGS, CPeImage::kAnyLanguage, resource,
                          &reason))
    return reason.empty() || Refuse(why, reason);
  return ReadProgramSettings(exe + resource.fileOffset, resource.size, settings, why);
}

// The size of the program the stub makes of a release of `size` bytes.
bool MeasureProgram(const std::string& stubPath, uint64_t size, uint64_t& programSize,
                    std::string* why) {
  CMappedFile stub;
  CExeStamper stamper;
  std::string reason;
  if (!stub.Open(stubPath, why)) return false;
  if (stub.Size() > UINT32_MAX ||
      !stamper.Open(stub.Data(), static_cast<uint32_t>(stub.Size()), &reason))
    return Refuse(why, stubPath + ": " + (reason.empty() ? "too large" : reason));
  programSize = stamper.ProgramSize(size);
  return true;
}
}  // namespace

bool CheckRelease(const std::string& path, const uint8_t* data, uint64_t size, uint32_t codePage,
                  uint64_t sizeLimit, CPatchContainer* container, std::string* why,
                  CReleaseView* view) {
  if (size > sizeLimit) return Refuse(why, OverReleaseLimit(path, size, sizeLimit));
  CLoadedRelease release;
  CLoadRefusal refusal;
  std::string reason;
  // The names stay as the release writes them: the review decodes them.
  if (!LoadRelease(data, size, CLoadRules{codePage, 0}, release, refusal, &reason))
    return Refuse(why, path + ": the patcher would refuse this release: " + reason);
  if (!LoadsInTheProgram(size, release.view.manifest, sizeLimit, &reason))
    return Refuse(why, path + ": " + reason);
  if (container) *container = std::move(release.container);
  if (view) *view = std::move(release.view);
  return true;
}

bool ReviewRelease(const std::string& path, const CNameEncoder& encoder,
                   const std::string& stubPath, CReleaseReview& review, std::string* why) {
  CReleaseInput input;
  if (!OpenReleaseInput(path, encoder.CodePage(), input, why)) return false;
  const CReleaseManifest& manifest = input.release.manifest;
  review = CReleaseReview();
  review.path = path;
  review.program = input.program;
  review.fileSize = input.file.Size();
  review.releaseSize = input.size;
  review.hasManifest = input.release.hasManifest;
  review.codePage = review.hasManifest ? manifest.codePage : encoder.CodePage();
  review.compressed = manifest.carrying != CCarrying::kStored;
  review.containerSize = input.release.containerSize;
  if (input.program) {
    review.programSizeKnown = true;
    review.programSize = review.fileSize;
    CProgramTexts texts;
    review.productKnown =
        review.fileSize <= UINT32_MAX &&
        ReadProgramTexts(input.file.Data(), static_cast<uint32_t>(review.fileSize), texts, nullptr);
    review.productName = texts.productName;
    review.productVersion = texts.productVersion;
    std::string reason;
    review.settingsKnown = true;
    if (!ReadSettingsOf(input.file.Data(), review.fileSize, review.settings, &reason))
      return Refuse(why, path + ": " + reason);
  } else {
    review.programSizeKnown =
        MeasureProgram(stubPath, review.releaseSize, review.programSize, &review.programNote);
  }
  const CNameEncoder names(review.codePage);
  for (size_t i = 0; i < input.container.entries.size(); ++i) {
    CEntryReview entry = ReviewEntry(input.container, input.container.entries[i], names);
    if (review.hasManifest) {
      const CManifestEntry& listed = manifest.entries[i];
      entry.listed = true;
      entry.replaces = listed.replaces;
      entry.oldSize = listed.oldSize;
      entry.newSize = listed.newSize;
      entry.digest = listed.newDigest.Hex();
      if (listed.copies) entry.copiedDigest = listed.copiedDigest.Hex();
    }
    review.entries.push_back(std::move(entry));
  }
  review.fromVersion = manifest.fromVersion;
  review.toVersion = manifest.toVersion;
  for (const CRemovedFile& file : manifest.removed)
    review.removed.push_back({names.Decode(file.name), file.size});
  for (const std::string& folder : manifest.removedFolders)
    review.removedFolders.push_back(names.Decode(folder));
  return true;
}
