#include "builder/release_builder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/zip_writer.h"
#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/entry_covers.h"
#include "builder/game_folder.h"
#include "builder/path_pattern.h"
#include "builder/release_entry.h"
#include "builder/release_names.h"
#include "container/container_file_reader.h"
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

std::string RecordOf(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

CByteCursor CursorOver(const std::string& record) {
  return CByteCursor(reinterpret_cast<const uint8_t*>(record.data()),
                     static_cast<uint32_t>(record.size()));
}

// An entry as the listed spool keeps it: what the manifest says of it, then
// the name of its file in the new folder.
std::string ListedRecord(const CManifestEntry& entry, const std::string& name) {
  std::vector<uint8_t> bytes;
  AppendManifestEntry(bytes, entry);
  return RecordOf(bytes) + name;
}

bool ReadListedRecord(const std::string& record, CManifestEntry& entry, std::string& name,
                      std::string* why) {
  CByteCursor cursor = CursorOver(record);
  if (!ReadManifestEntry(cursor, entry, why)) return false;
  if (cursor.Failed()) return Refuse(why, "a scratch file of the build is damaged");
  name = record.substr(cursor.Tell());
  return true;
}
}  // namespace

bool CReleaseBuilder::Prepare(const std::string& oldFolder, const std::string& newFolder,
                              const CNameEncoder& encoder, const CFolderRules& rules,
                              CProgressBar& progress, std::string* why) {
  codePage_ = encoder.CodePage();
  oldFolder_ = WithoutTrailingSlashes(oldFolder);
  newFolder_ = WithoutTrailingSlashes(newFolder);
  progress.Begin("listing", 0, 0);
  if (!SpoolGameFolder(oldFolder_, rules, beside_, old_, why)) return false;
  const uint64_t oldFiles = old_.files.Count();
  progress.Update(oldFiles, 0);
  if (!SpoolGameFolder(newFolder_, rules, beside_, new_, why) ||
      !CheckFilesAndFolders(oldFolder_, old_, newFolder_, new_, why) ||
      !CheckReleaseNames(newFolder_, new_.files, encoder, why))
    return false;
  std::set_difference(old_.folders.begin(), old_.folders.end(), new_.folders.begin(),
                      new_.folders.end(), std::back_inserter(removedFolders_));
  CPatternMatches wholeMatched(whole_);
  CPatternMatches deltaMatched(delta_);
  CPatternMatches keepMatched(keep_);
  CFolderPair both(old_, new_);
  std::string name;
  bool inOld = false, inNew = false;
  for (uint64_t i = 0; both.Next(name, inOld, inNew);) {
    if (!inNew) {
      keepMatched.Show(name);
      if (MatchesAnyPattern(keep_, name))
        kept_.push_back(name);
      else
        ++removable_;
      continue;
    }
    wholeMatched.Show(name);
    deltaMatched.Show(name);
    const std::string path = newFolder_ + "/" + name;
    std::string encoded;
    uint64_t size = 0;
    if (!encoder.Encode(name, encoded, why) || !SizeOfFile(path, size, why) ||
        !CheckSize(path, IsPackageName(encoded, kCodePageUtf8), size, why))
      return false;
    inputBytes_ += size;
    progress.Update(oldFiles + ++i, 0);
  }
  if (!both.Ended(why)) return false;
  progress.Finish();
  for (size_t i = 0; i < rules.exclude.size(); ++i)
    if (!old_.excludeMatched[i] && !new_.excludeMatched[i])
      patternWarnings_.push_back("--exclude '" + rules.exclude[i] + "' matches nothing in " +
                                 oldFolder_ + " or " + newFolder_);
  for (const std::string& pattern : wholeMatched.Unmatched())
    patternWarnings_.push_back("--whole '" + pattern + "' matches no file of " + newFolder_);
  for (const std::string& pattern : deltaMatched.Unmatched())
    patternWarnings_.push_back("--delta '" + pattern + "' matches no file of " + newFolder_);
  for (const std::string& pattern : keepMatched.Unmatched())
    patternWarnings_.push_back("--keep '" + pattern + "' matches no file of " + oldFolder_ +
                               " that " + newFolder_ + " lacks");
  return true;
}

bool CReleaseBuilder::Write(CContainerStream& stream, uint64_t sizeLimit, CProgressBar& progress,
                            std::string* why) {
  counts_ = CReleaseCounts();
  warnings_.clear();
  listed_.reset(new CRecordSpool);
  if (!listed_->Open(beside_, why) || !unchanged_.Open(beside_, why)) return false;
  progress.Begin("matching", new_.files.Count(), inputBytes_);
  const CNameEncoder encoder(codePage_);
  uint64_t done = 0;
  uint64_t size = stream.Size();
  bool over = false;
  CFolderPair both(old_, new_);
  std::string name;
  bool inOld = false, inNew = false;
  uint64_t i = 0;  // the new folder's files done
  while (both.Next(name, inOld, inNew)) {
    if (!inNew) continue;
    CMappedFile latest;
    CMappedFile old;
    std::string releaseName;
    if (!encoder.Encode(name, releaseName, why) || !latest.Open(newFolder_ + "/" + name, why) ||
        (inOld && !old.Open(oldFolder_ + "/" + name, why)))
      return false;
    const uint64_t base = done;
    done += latest.Size();
    if (inOld && SameBytes(old, latest)) {
      ++counts_.unchanged;
      if (!NoteUnchanged(name, latest.Size(), why)) return false;
    } else {
      CEntryPlan entry;
      const CScanProgress scanned = [&](uint64_t bytes) { progress.Update(i, base + bytes, name); };
      CFilePair pair{releaseName, inOld ? &old : nullptr, &latest, TravelsWhole(name)};
      if (!PlanEntry(pair, scanned, entry, why) ||
          !AddWithinLimit(entry, sizeLimit, stream, size, over, why))
        return false;
      progress.Planned(name, HasCopies(entry) ? "rebuilt from the installed version"
                             : inOld          ? "sent whole"
                                              : "new, sent whole");
      const CFileBytes oldBytes =
          inOld ? CFileBytes{old.Data(), old.Size()} : CFileBytes{nullptr, 0};
      const CManifestEntry listed = DescribeEntry(
          entry, KindOf(pair.name, static_cast<uint32_t>(entry.chunks.size()), kCodePageUtf8),
          oldBytes, CFileBytes{latest.Data(), latest.Size()});
      if (!listed_->Add(ListedRecord(listed, name))) return Refuse(why, listed_->Error());
    }
    progress.Update(++i, done, name);
    // What was read and written must be one version of each file.
    if (!latest.Unchanged(why) || (inOld && !old.Unchanged(why))) return false;
  }
  if (!both.Ended(why) || !listed_->EndWriting(why) || !unchanged_.EndWriting(why)) return false;
  if (!RefuseOverLimit(size, sizeLimit, why) || !DescribeRemoved(why)) return false;
  if (listed_->Count() == 0 && removed_.Count() == 0)
    warnings_.push_back("nothing to patch: " + newFolder_ + " holds no file that differs from " +
                        oldFolder_ + "'s; the release is empty");
  return true;
}

bool CReleaseBuilder::WriteDeflated(const std::string& stored, CContainerStream& stream,
                                    uint64_t sizeLimit, CProgressBar& progress, std::string* why) {
  uint64_t total = 0;
  uint64_t archives = 0;
  std::string record, name;
  CManifestEntry listed;
  {
    CRecordSpool::CReader entries(*listed_);
    while (entries.Next(record)) {
      if (!ReadListedRecord(record, listed, name, why)) return false;
      if (listed.kind != CEntryKind::kArchive) continue;
      total += listed.newSize;
      ++archives;
    }
    if (!entries.Ended(why)) return false;
  }
  progress.Begin("deflating", archives, total);
  std::unique_ptr<CRecordSpool> rewritten(new CRecordSpool);
  CContainerFileReader storedEntries;
  if (!rewritten->Open(beside_, why) || !storedEntries.Open(stored, codePage_, why)) return false;
  uint64_t done = 0;
  uint64_t deflated = 0;
  uint64_t size = stream.Size();
  bool over = false;
  CRecordSpool::CReader entries(*listed_);
  CPatchContainer alone;
  while (storedEntries.Left() != 0) {
    if (!storedEntries.Next(alone, why)) return false;
    CEntryPlan entry = PlanOfEntry(alone, alone.entries.front());
    if (!entries.Next(record))
      return entries.Ended(why) && Refuse(why, "the stored container has an entry never planned");
    if (!ReadListedRecord(record, listed, name, why)) return false;
    if (listed.kind == CEntryKind::kArchive) {
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
    if (!rewritten->Add(ListedRecord(listed, name))) return Refuse(why, rewritten->Error());
    if (!AddWithinLimit(entry, sizeLimit, stream, size, over, why)) return false;
  }
  if (!entries.Ended(why) || !rewritten->EndWriting(why)) return false;
  listed_ = std::move(rewritten);
  return RefuseOverLimit(size, sizeLimit, why);
}

bool CReleaseBuilder::SplitStreams(const std::string& stored, CStreamSplitter& splitter,
                                   CProgressBar& progress, std::string* why) {
  CContainerFileReader storedEntries;
  carried_.reset(new CRecordSpool);
  if (!carried_->Open(beside_, why) || !storedEntries.Open(stored, codePage_, why)) return false;
  progress.Begin("splitting", storedEntries.Left(), 0);
  if (!splitter.Begin(storedEntries.Left())) return Refuse(why, "write failed");
  CRecordSpool::CReader entries(*listed_);
  CPatchContainer alone;
  std::string record, name;
  CManifestEntry listed;
  for (uint32_t done = 0; storedEntries.Left() != 0; progress.Update(++done, 0, name)) {
    if (!storedEntries.Next(alone, why)) return false;
    if (!entries.Next(record))
      return entries.Ended(why) && Refuse(why, "the stored container has an entry never planned");
    if (!ReadListedRecord(record, listed, name, why)) return false;
    CMappedFile old;
    if (listed.replaces && !old.Open(oldFolder_ + "/" + name, why)) return false;
    // The old file must still be the one the entry was planned from.
    if (listed.replaces && old.Size() != listed.oldSize)
      return Refuse(why, ChangedWhileRead(old.Path()));
    const CFileBytes bytes = listed.replaces ? CFileBytes{old.Data(), old.Size()} : CFileBytes{};
    if (!splitter.Add(alone, alone.entries.front(), bytes, listed))
      return Refuse(why, "write failed");
    if (listed.replaces && !old.Unchanged(why)) return false;
    if (!carried_->Add(ListedRecord(listed, name))) return Refuse(why, carried_->Error());
  }
  progress.Finish();
  return entries.Ended(why) && carried_->EndWriting(why);
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
  if (pair.old && HasCopies(entry)) CutAlongCovers(entry, pair.old->Data(), pair.old->Size());
  ++(HasCopies(entry) ? counts_.rebuilt : counts_.whole);
  return true;
}

bool CReleaseBuilder::TravelsWhole(const std::string& name) const {
  return MatchesAnyPattern(whole_, name) ||
         (MatchesAnyPattern(kEditedByPlayers, name) && !MatchesAnyPattern(delta_, name));
}

// A file that would travel whole if it changed (a settings file, one sent
// whole) may be the player's own edit of it: it tells nothing of the
// version.
bool CReleaseBuilder::NoteUnchanged(const std::string& name, uint64_t size, std::string* why) {
  std::string encoded;
  if (TravelsWhole(name) || !CNameEncoder(codePage_).Encode(name, encoded, nullptr)) return true;
  std::vector<uint8_t> record;
  AppendUnchangedFile(record, encoded, size);
  return unchanged_.Add(RecordOf(record)) || Refuse(why, unchanged_.Error());
}

bool CReleaseBuilder::DescribeRemoved(std::string* why) {
  if (removedDescribed_ || removable_ == 0) return true;
  if (!removed_.Open(beside_, why)) return false;
  const CNameEncoder encoder(codePage_);
  CFolderPair both(old_, new_);
  std::string name;
  bool inOld = false, inNew = false;
  while (both.Next(name, inOld, inNew)) {
    if (inNew || MatchesAnyPattern(keep_, name)) continue;
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
    std::vector<uint8_t> record;
    AppendRemovedFile(record, file);
    if (!removed_.Add(RecordOf(record))) return Refuse(why, removed_.Error());
  }
  if (!both.Ended(why) || !removed_.EndWriting(why)) return false;
  removedDescribed_ = true;
  std::sort(kept_.begin(), kept_.end());
  for (const std::string& folder : removedFolders_) {
    std::string encoded;
    // A folder whose name cannot travel holds a file that stays.
    if (encoder.Encode(folder, encoded, nullptr)) removedFolderNames_.push_back(encoded);
  }
  return true;
}

CReleaseManifest CReleaseBuilder::ManifestHead(const CContainerDigests& digests) const {
  CReleaseManifest manifest;
  manifest.codePage = codePage_;
  manifest.recordsDigest = digests.RecordsDigest();
  manifest.payloadDigest = digests.PayloadDigest();
  manifest.fromVersion = fromVersion_;
  manifest.toVersion = toVersion_;
  return manifest;
}

bool CReleaseBuilder::WriteManifest(const CReleaseManifest& head, const CByteSink& sink,
                                    std::string* why) const {
  const CManifestCounts counts{
      static_cast<uint32_t>(listed_->Count()), static_cast<uint32_t>(removed_.Count()),
      static_cast<uint32_t>(removedFolderNames_.size()), static_cast<uint32_t>(unchanged_.Count())};
  CManifestWriter writer(head, counts, sink);
  std::string record, name;
  const bool streams = head.carrying == CCarrying::kStreams && carried_;
  CRecordSpool::CReader entries(streams ? *carried_ : *listed_);
  CManifestEntry entry;
  while (entries.Next(record)) {
    if (!ReadListedRecord(record, entry, name, why)) return false;
    writer.Entry(entry);
  }
  CRecordSpool::CReader removed(removed_);
  CRemovedFile file;
  while (removed.Next(record)) {
    CByteCursor cursor = CursorOver(record);
    ReadRemovedFile(cursor, file);
    writer.Removed(file);
  }
  for (const std::string& folder : removedFolderNames_) writer.RemovedFolder(folder);
  CRecordSpool::CReader unchanged(unchanged_);
  uint64_t size = 0;
  while (unchanged.Next(record)) {
    CByteCursor cursor = CursorOver(record);
    ReadUnchangedFile(cursor, name, size);
    writer.Unchanged(name, size);
  }
  if (!entries.Ended(why) || !removed.Ended(why) || !unchanged.Ended(why)) return false;
  return writer.Finish() || Refuse(why, "write failed");
}

bool CReleaseBuilder::ReadListings(CGameFolder& old, CGameFolder& latest, std::string* why) const {
  return ReadBackGameFolder(old_, old, why) && ReadBackGameFolder(new_, latest, why);
}
