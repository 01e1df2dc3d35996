#include "builder/show_release.h"

#include "archive/zip_records.h"
#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/release_input.h"
#include "builder/release_limits.h"
#include "container/entry_kind.h"
#include "container/release_chain.h"
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
std::string ArchiveKind(const uint8_t* payload, const CChunkRecord& first, bool copies) {
  CZipLocalHeader header;
  std::string name;
  if (payload == nullptr || !ParseLocalHeaderIn(payload, first.size, header, name))
    return "not a zip archive";
  if (header.compressionMethod == kZipMethodDeflated) return "archive, deflated";
  if (header.compressionMethod == kZipMethodStored)
    return copies ? "archive, stored+copies" : "archive, stored";
  return "archive, method " + std::to_string(header.compressionMethod);
}

// The entry's payload area; carried as streams, unpacked (the part before
// the first copy, which the review reads, travels as it is).
const uint8_t* PayloadArea(const CInputStep& step, size_t index) {
  if (!step.container.tablesOnly) return step.container.entries[index].payload;
  bool outOfMemory = false;
  CCarrierPayload& payload = *step.release.payload;
  return payload.Take(step.container, index, outOfMemory, nullptr) ? payload.Held() : nullptr;
}

CEntryReview ReviewEntry(const CInputStep& step, size_t index, const CNameEncoder& names) {
  const CPatchContainer& container = step.container;
  const CContainerEntry& entry = container.entries[index];
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
                    ? ArchiveKind(PayloadArea(step, index), first, HasCopyChunks(container, entry))
                : kind == CEntryKind::kDelta ? "delta"
                                             : "whole package";
  review.covered =
      container.tablesOnly && step.release.payload->FormOf(index) == CPayloadForm::kCovers;
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
                  uint64_t sizeLimit, std::vector<CInputStep>* steps, std::string* why) {
  if (size > sizeLimit) return Refuse(why, OverReleaseLimit(path, size, sizeLimit));
  const std::string refused = path + ": the patcher would refuse this release: ";
  std::vector<CReleaseStep> parts;
  std::string reason;
  if (!ReadReleaseChain(data, size, parts, &reason)) return Refuse(why, refused + reason);
  for (const CReleaseStep& part : parts) {
    CLoadedRelease release;
    CLoadRefusal refusal;
    // The names stay as the release writes them: the review decodes them.
    if (!LoadRelease(part.data, part.size, CLoadRules{codePage, 0}, release, refusal, &reason) ||
        !release.CheckPayload(&reason))
      return Refuse(why, refused + reason);
    if (parts.size() > 1 && !release.view.hasManifest)
      return Refuse(why, refused + "a step of the chain has no manifest");
    // Each step is unpacked in its turn, with the whole release mapped.
    if (!LoadsInTheProgram(size, release.view.manifest, HeldSizesOf(release.container), sizeLimit,
                           &reason))
      return Refuse(why, path + ": " + reason);
    // A payload unpacked one entry at a time, checked to its end, is unpacked
    // again from its start for the review.
    if (steps && release.container.tablesOnly &&
        !LoadRelease(part.data, part.size, CLoadRules{codePage, 0}, release, refusal, &reason))
      return Refuse(why, refused + reason);
    if (steps)
      steps->push_back(
          CInputStep{part.size, std::move(release.container), std::move(release.view)});
  }
  return true;
}

namespace {
// The fields of one release (or one step of a chain) in the review.
void ReviewStep(const CInputStep& step, uint32_t codePage, CReleaseReview& review) {
  const CReleaseManifest& manifest = step.release.manifest;
  review.hasManifest = step.release.hasManifest;
  review.codePage = review.hasManifest ? manifest.codePage : codePage;
  review.compressed = manifest.carrying != CCarrying::kStored;
  review.streams = manifest.carrying == CCarrying::kStreams;
  review.containerSize =
      review.compressed ? uint64_t{manifest.containerSize} : step.release.containerSize;
  review.releaseSize = step.size;
  const CNameEncoder names(review.codePage);
  for (size_t i = 0; i < step.container.entries.size(); ++i) {
    CEntryReview entry = ReviewEntry(step, i, names);
    if (review.hasManifest) {
      const CManifestEntry& listed = manifest.entries[i];
      entry.listed = true;
      entry.replaces = listed.replaces;
      entry.oldSize = listed.oldSize;
      entry.newSize = listed.newSize;
      entry.digest = listed.newDigest.Hex();
      if (listed.copies) entry.copiedDigest = listed.copiedDigest.Hex();
      entry.differs = listed.differs;
    }
    review.entries.push_back(std::move(entry));
  }
  review.fromVersion = manifest.fromVersion;
  review.toVersion = manifest.toVersion;
  for (const CRemovedFile& file : manifest.removed)
    review.removed.push_back({names.Decode(file.name), file.size});
  for (const std::string& folder : manifest.removedFolders)
    review.removedFolders.push_back(names.Decode(folder));
}
}  // namespace

bool ReviewRelease(const std::string& path, const CNameEncoder& encoder,
                   const std::string& stubPath, CReleaseReview& review, std::string* why) {
  CReleaseInput input;
  if (!OpenReleaseInput(path, encoder.CodePage(), input, why)) return false;
  review = CReleaseReview();
  if (input.steps.size() == 1) {
    ReviewStep(input.steps[0], encoder.CodePage(), review);
  } else {
    review.steps.resize(input.steps.size());
    uint64_t bytes = input.size;
    for (size_t k = 0; k < input.steps.size(); ++k) {
      ReviewStep(input.steps[k], encoder.CodePage(), review.steps[k]);
      // Every version a step starts from takes it and every step after it.
      review.served.push_back(CServedVersion{review.steps[k].fromVersion,
                                             static_cast<uint32_t>(input.steps.size() - k), bytes});
      bytes -= input.steps[k].size;
    }
    review.toVersion = review.steps.back().toVersion;
  }
  review.path = path;
  review.program = input.program;
  review.fileSize = input.file.Size();
  review.releaseSize = input.size;
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
  return true;
}
