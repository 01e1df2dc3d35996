#include "tools/release_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tools/game_folder.h"

namespace {
uint64_t FileSize(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

// Messages name files as folder + "/" + name.
std::string WithoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool SameBytes(const CMappedFile& a, const CMappedFile& b) {
  return a.Size() == b.Size() && std::memcmp(a.Data(), b.Data(), a.Size()) == 0;
}
}  // namespace

bool CReleaseBuilder::Plan(const std::string& oldFolderGiven, const std::string& newFolderGiven,
                           CProgressBar& progress, std::string* why) {
  const std::string oldFolder = WithoutTrailingSlashes(oldFolderGiven);
  const std::string newFolder = WithoutTrailingSlashes(newFolderGiven);
  std::vector<std::string> oldNames;
  std::vector<std::string> newNames;
  if (!ListGameFolder(oldFolder, oldNames, why) || !ListGameFolder(newFolder, newNames, why))
    return false;
  std::set_difference(oldNames.begin(), oldNames.end(), newNames.begin(), newNames.end(),
                      std::back_inserter(removed_));

  uint64_t total = 0;
  for (const std::string& name : newNames) total += FileSize(newFolder + "/" + name);
  progress.SetTotal(total);
  uint64_t done = 0;
  for (const std::string& name : newNames) {
    const bool inOld = std::binary_search(oldNames.begin(), oldNames.end(), name);
    if (!PlanFile(oldFolder, newFolder, name, inOld, progress, done, why)) return false;
  }
  uint64_t size = 0;
  std::string reason;
  if (writer_.Size(size, &reason)) return true;
  if (why) *why = "the release cannot be written: " + reason;
  return false;
}

bool CReleaseBuilder::PlanFile(const std::string& oldFolder, const std::string& newFolder,
                               const std::string& name, bool inOld, CProgressBar& progress,
                               uint64_t& done, std::string* why) {
  auto latest = std::make_unique<CMappedFile>();
  if (!latest->Open(newFolder + "/" + name, why)) return false;
  CMappedFile old;
  if (inOld) {
    if (!old.Open(oldFolder + "/" + name, why)) return false;
    if (SameBytes(old, *latest)) {
      ++counts_.unchanged;
      done += latest->Size();
      progress.Update(done, name);
      return true;
    }
  }
  const uint64_t base = done;
  const CScanProgress scanned = [&](uint64_t bytes) { progress.Update(base + bytes, name); };
  CFilePair pair{name, inOld ? &old : nullptr, latest.get()};
  CEntryPlan entry;
  if (IsPackageName(name)) {
    CEntryKind kind;
    std::string warning;
    if (!PlanPackageEntry(pair, scanned, entry, kind, why, &warning)) return false;
    if (!warning.empty()) warnings_.push_back(warning);
    ++(kind == CEntryKind::kDelta ? counts_.deltas : counts_.wholePackages);
  } else {
    if (!PlanArchiveEntry(pair, scanned, entry, why)) return false;
    ++counts_.archives;
  }
  done = base + latest->Size();
  progress.Update(done, name);
  writer_.AddEntry(std::move(entry));
  latestFiles_.push_back(std::move(latest));
  return true;
}
