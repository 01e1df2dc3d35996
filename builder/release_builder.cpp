#include "builder/release_builder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/game_folder.h"
#include "builder/path_pattern.h"
#include "builder/release_entry.h"
#include "platform/folder_listing.h"
#include "platform/mapped_file.h"

namespace {
// Messages name files as folder + "/" + name.
std::string WithoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool SameBytes(const CMappedFile& a, const CMappedFile& b) {
  return a.Size() == b.Size() && std::memcmp(a.Data(), b.Data(), a.Size()) == 0;
}

// What a size alone says against carrying a file.
bool CheckSize(const std::string& path, bool package, uint64_t size, std::string* why) {
  if (package && size > UINT32_MAX)
    return Refuse(why, path +
                           ": not a valid package: 4 GiB or more, over the release format's "
                           "limit");
  if (!package && size > kZipArchiveLimit)
    return Refuse(why, path + ": 2 GiB or more, too large for a zip archive the patcher reads");
  return true;
}

std::string WithCommas(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}
}  // namespace

bool CReleaseBuilder::Prepare(const std::string& oldFolder, const std::string& newFolder,
                              const CNameEncoder& encoder, const CFolderRules& rules,
                              CProgressBar& progress, std::string* why) {
  codePage_ = encoder.CodePage();
  oldFolder_ = WithoutTrailingSlashes(oldFolder);
  newFolder_ = WithoutTrailingSlashes(newFolder);
  progress.Begin("listing", 0, 0);
  if (!ListGameFolder(oldFolder_, rules, old_, why)) return false;
  progress.Update(old_.files.size(), 0);
  if (!ListGameFolder(newFolder_, rules, new_, why) ||
      !CheckFilesAndFolders(oldFolder_, old_, newFolder_, new_, why) ||
      !CheckReleaseNames(newFolder_, new_.files, encoder, releaseNames_, why))
    return false;
  std::vector<std::string> lacking;
  std::set_difference(old_.files.begin(), old_.files.end(), new_.files.begin(), new_.files.end(),
                      std::back_inserter(lacking));
  for (const std::string& name : lacking)
    (MatchesAnyPattern(keep_, name) ? kept_ : removed_).push_back(name);
  std::set_difference(old_.folders.begin(), old_.folders.end(), new_.folders.begin(),
                      new_.folders.end(), std::back_inserter(removedFolders_));
  for (size_t i = 0; i < new_.files.size(); ++i) {
    const std::string path = newFolder_ + "/" + new_.files[i];
    uint64_t size = 0;
    if (!SizeOfFile(path, size, why)) return false;
    if (!CheckSize(path, IsPackageName(releaseNames_[i], kCodePageUtf8), size, why)) return false;
    inputBytes_ += size;
    progress.Update(old_.files.size() + i + 1, 0);
  }
  progress.Finish();
  for (size_t i = 0; i < rules.exclude.size(); ++i)
    if (!old_.excludeMatched[i] && !new_.excludeMatched[i])
      patternWarnings_.push_back("--exclude '" + rules.exclude[i] + "' matches nothing in " +
                                 oldFolder_ + " or " + newFolder_);
  for (const std::string& pattern : UnmatchedPatterns(whole_, new_.files))
    patternWarnings_.push_back("--whole '" + pattern + "' matches no file of " + newFolder_);
  for (const std::string& pattern : UnmatchedPatterns(keep_, lacking))
    patternWarnings_.push_back("--keep '" + pattern + "' matches no file of " + oldFolder_ +
                               " that " + newFolder_ + " lacks");
  return true;
}

bool CReleaseBuilder::Write(CContainerStream& stream, uint64_t sizeLimit, CProgressBar& progress,
                            std::string* why) {
  counts_ = CReleaseCounts();
  listed_.clear();
  unchanged_.clear();
  entryFiles_.clear();
  warnings_.clear();
  progress.Begin("matching", new_.files.size(), inputBytes_);
  uint64_t done = 0;
  uint64_t size = stream.Size();
  bool over = false;
  for (size_t i = 0; i < new_.files.size(); ++i) {
    const std::string& name = new_.files[i];
    const bool inOld = std::binary_search(old_.files.begin(), old_.files.end(), name);
    CMappedFile latest;
    CMappedFile old;
    if (!latest.Open(newFolder_ + "/" + name, why) ||
        (inOld && !old.Open(oldFolder_ + "/" + name, why)))
      return false;
    const uint64_t base = done;
    done += latest.Size();
    if (inOld && SameBytes(old, latest)) {
      ++counts_.unchanged;
      NoteUnchanged(name, latest.Size());
    } else {
      CEntryPlan entry;
      const CScanProgress scanned = [&](uint64_t bytes) { progress.Update(i, base + bytes, name); };
      CFilePair pair{releaseNames_[i], inOld ? &old : nullptr, &latest,
                     MatchesAnyPattern(whole_, name)};
      if (!PlanEntry(pair, scanned, entry, why) ||
          !AddWithinLimit(entry, sizeLimit, stream, size, over, why))
        return false;
      progress.Planned(name, HasCopies(entry) ? "rebuilt from the installed version"
                             : inOld          ? "sent whole"
                                              : "new, sent whole");
      entryFiles_.push_back(i);
      const CFileBytes oldBytes =
          inOld ? CFileBytes{old.Data(), old.Size()} : CFileBytes{nullptr, 0};
      listed_.push_back(DescribeEntry(
          entry, KindOf(pair.name, static_cast<uint32_t>(entry.chunks.size()), kCodePageUtf8),
          oldBytes, CFileBytes{latest.Data(), latest.Size()}));
    }
    progress.Update(i + 1, done, name);
    // What was read and written must be one version of each file.
    if (!latest.Unchanged(why) || (inOld && !old.Unchanged(why))) return false;
  }
  if (!RefuseOverLimit(size, sizeLimit, why) || !DescribeRemoved(why)) return false;
  if (listed_.empty() && removed_.empty())
    warnings_.push_back("nothing to patch: " + newFolder_ + " holds no file that differs from " +
                        oldFolder_ + "'s; the release is empty");
  return true;
}

bool CReleaseBuilder::WriteDeflated(const CPatchContainer& stored, CContainerStream& stream,
                                    uint64_t sizeLimit, CProgressBar& progress, std::string* why) {
  uint64_t total = 0;
  uint64_t archives = 0;
  for (const CManifestEntry& listed : listed_)
    if (listed.kind == CEntryKind::kArchive) {
      total += listed.newSize;
      ++archives;
    }
  progress.Begin("deflating", archives, total);
  uint64_t done = 0;
  uint64_t deflated = 0;
  uint64_t size = stream.Size();
  bool over = false;
  for (size_t i = 0; i < stored.entries.size(); ++i) {
    CEntryPlan entry = PlanOfEntry(stored, stored.entries[i]);
    CManifestEntry& listed = listed_[i];
    if (listed.kind == CEntryKind::kArchive) {
      const std::string& name = new_.files[entryFiles_[i]];
      CMappedFile latest;
      CEntryPlan planned = std::move(entry);
      if (!latest.Open(newFolder_ + "/" + name, why) ||
          !DeflateStoredArchive(planned, latest, entry, why) || !latest.Unchanged(why))
        return false;
      if (listed.copies && !HasCopies(entry)) {
        // Deflated whole, it no longer copies.
        --counts_.rebuilt;
        ++counts_.whole;
      }
      listed.copies = HasCopies(entry);
      if (!listed.copies) listed.copiedDigest = CDigest128();
      done += latest.Size();
      progress.Update(++deflated, done, name);
    }
    if (!AddWithinLimit(entry, sizeLimit, stream, size, over, why)) return false;
  }
  return RefuseOverLimit(size, sizeLimit, why);
}

bool CReleaseBuilder::AddWithinLimit(const CEntryPlan& entry, uint64_t sizeLimit,
                                     CContainerStream& stream, uint64_t& size, bool& over,
                                     std::string* why) {
  uint64_t entrySize = 0;
  if (!CContainerStream::EntrySize(entry, entrySize, why)) return false;
  size += entrySize;
  // Past the limit, the rest is only measured, so the message can say how
  // large the release would be.
  over = over || size > sizeLimit;
  return over || stream.Add(entry, why);
}

bool CReleaseBuilder::RefuseOverLimit(uint64_t size, uint64_t sizeLimit, std::string* why) {
  overLimit_ = size > sizeLimit;
  if (!overLimit_) return true;
  return Refuse(why, "the release would be " + WithCommas(size) + " bytes, over the limit of " +
                         WithCommas(sizeLimit) +
                         " bytes that the 32-bit QelPatch.exe can load; split the change into "
                         "releases applied one after the other");
}

bool CReleaseBuilder::PlanEntry(const CFilePair& pair, const CScanProgress& scanned,
                                CEntryPlan& entry, std::string* why) {
  CEntryKind kind;
  std::string warning;
  if (IsPackageName(pair.name, kCodePageUtf8)
          ? !PlanPackageEntry(pair, scanned, entry, kind, why, &warning)
          : !PlanArchiveEntry(pair, deflate_, scanned, entry, why))
    return false;
  if (!warning.empty()) warnings_.push_back(warning);
  ++(HasCopies(entry) ? counts_.rebuilt : counts_.whole);
  return true;
}

// A file that would travel whole if it changed (a small one, one sent whole)
// may be the player's own edit of it: it tells nothing of the version.
void CReleaseBuilder::NoteUnchanged(const std::string& name, uint64_t size) {
  std::string encoded;
  if (size < kWholeBelow || MatchesAnyPattern(whole_, name) ||
      !CNameEncoder(codePage_).Encode(name, encoded, nullptr))
    return;
  unchanged_.emplace_back(encoded, size);
}

bool CReleaseBuilder::DescribeRemoved(std::string* why) {
  if (!removedFiles_.empty() || removed_.empty()) return true;
  const CNameEncoder encoder(codePage_);
  std::vector<std::string> removable;
  for (const std::string& name : removed_) {
    CRemovedFile file;
    std::string reason;
    if (!encoder.Encode(name, file.name, &reason)) {
      warnings_.push_back(oldFolder_ + "/" + name + ": stays installed: " + reason);
      kept_.push_back(name);
      continue;
    }
    CMappedFile old;
    if (!old.Open(oldFolder_ + "/" + name, why)) return false;
    file.size = old.Size();
    file.digest = CContentDigest::Of(old.Data(), old.Size());
    if (!old.Unchanged(why)) return false;
    removedFiles_.push_back(file);
    removable.push_back(name);
  }
  removed_ = removable;
  std::sort(kept_.begin(), kept_.end());
  for (const std::string& folder : removedFolders_) {
    std::string encoded;
    // A folder whose name cannot travel holds a file that stays.
    if (encoder.Encode(folder, encoded, nullptr)) removedFolderNames_.push_back(encoded);
  }
  return true;
}

CReleaseManifest CReleaseBuilder::Manifest(const CContainerDigests& digests) const {
  CReleaseManifest manifest;
  manifest.codePage = codePage_;
  manifest.recordsDigest = digests.RecordsDigest();
  manifest.payloadDigest = digests.PayloadDigest();
  manifest.entries = listed_;
  manifest.removed = removedFiles_;
  manifest.removedFolders = removedFolderNames_;
  manifest.unchanged = unchanged_;
  manifest.fromVersion = fromVersion_;
  manifest.toVersion = toVersion_;
  return manifest;
}
