#include "builder/verify_release.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/path_pattern.h"
#include "builder/verify_host.h"
#include "container/name_code_page.h"
#include "engine/patch_worker.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/mapped_file.h"
#include "platform/pending_outputs.h"

namespace fs = std::filesystem;

namespace {
uint32_t NamesCodePage(const CInputStep& step, uint32_t codePage) {
  const CReleaseView& view = step.release;
  return view.hasManifest ? view.manifest.codePage : codePage;
}

// What the steps of a release name, in UTF-8, each list sorted and once.
struct CReleaseNames {
  std::vector<std::string> made;     // files some step makes
  std::vector<std::string> removed;  // files some step removes
  std::vector<std::string> folders;  // folders some step removes
  std::vector<std::string> told;     // files some step tells the old version by
};

void SortOnce(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
}

CReleaseNames NamesOf(const CReleaseInput& release, uint32_t codePage) {
  CReleaseNames all;
  for (const CInputStep& step : release.steps) {
    const CNameEncoder names(NamesCodePage(step, codePage));
    for (const CContainerEntry& entry : step.container.entries)
      all.made.push_back(names.Decode(entry.name));
    const CReleaseManifest& manifest = step.release.manifest;
    for (const CRemovedFile& file : manifest.removed)
      all.removed.push_back(names.Decode(file.name));
    for (const std::string& folder : manifest.removedFolders)
      all.folders.push_back(names.Decode(folder));
    for (const auto& told : manifest.unchanged) all.told.push_back(names.Decode(told.first));
  }
  for (std::vector<std::string>* list : {&all.made, &all.removed, &all.folders, &all.told})
    SortOnce(*list);
  return all;
}

bool Has(const std::vector<std::string>& sorted, const std::string& name) {
  return std::binary_search(sorted.begin(), sorted.end(), name);
}

// A folder of its own beside the outputs, removed with all in it, also by
// an interrupt.
class CScratchFolder {
 public:
  ~CScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(fs::u8path(path_), ignored);
    RemovePendingOutput(pending_);
  }

  bool Make(const std::string& beside, std::string* why) {
    std::random_device random;
    std::string failed;
    pending_ = AddPendingOutput(
        [&](std::string& made) {
          for (int attempt = 0; attempt < 100; ++attempt) {
            made = beside + "/.qelpatch-verify-" + std::to_string(random() % 1000000);
            std::error_code error;
            if (fs::create_directory(fs::u8path(made), error)) {
              path_ = made;
              return true;
            }
            if (error) {
              failed = "cannot create " + made + ": " + error.message();
              return false;
            }
          }
          failed = "cannot create a scratch folder in " + beside;
          return false;
        },
        true);
    if (pending_ < 0) return Refuse(why, failed);
    return true;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int pending_ = -1;
};

// "" when the files hold the same bytes, otherwise how they differ.
bool Differ(const std::string& made, const std::string& wanted, std::string& how,
            std::string* why) {
  CMappedFile a, b;
  if (!a.Open(made, why) || !b.Open(wanted, why)) return false;
  const uint64_t common = std::min(a.Size(), b.Size());
  const uint8_t* at = std::mismatch(a.Data(), a.Data() + common, b.Data()).first;
  if (at != a.Data() + common)
    how = "they first differ at byte " + std::to_string(at - a.Data());
  else if (a.Size() != b.Size())
    how = std::to_string(a.Size()) + " bytes instead of " + std::to_string(b.Size());
  else
    how.clear();
  return true;
}

// The files of the new folder that no entry makes must be the old ones.
bool CheckUntouched(const CVerifyCase& check, const CGameFolder& old, const CGameFolder& latest,
                    const std::vector<std::string>& made, std::string* why) {
  for (const std::string& name : latest.files) {
    if (std::binary_search(made.begin(), made.end(), name)) continue;
    const std::string wanted = check.newFolder + "/" + name;
    if (!std::binary_search(old.files.begin(), old.files.end(), name))
      return Refuse(why, wanted + ": not in " + check.oldFolder +
                             ", and the release does not "
                             "bring it");
    std::string how;
    if (!Differ(check.oldFolder + "/" + name, wanted, how, why)) return false;
    if (!how.empty())
      return Refuse(why, wanted + ": the release leaves " + check.oldFolder + "/" + name +
                             " as it is, which differs (" + how + ")");
  }
  return true;
}

// The old folder's files the new one lacks: each must be one the release
// removes or one the studio keeps, never both. `removed` is sorted.
bool CheckLacking(const CVerifyCase& check, const CGameFolder& old, const CGameFolder& latest,
                  const std::vector<std::string>& removed, std::string* why) {
  std::vector<std::string> lacking;
  std::set_difference(old.files.begin(), old.files.end(), latest.files.begin(), latest.files.end(),
                      std::back_inserter(lacking));
  for (const std::string& name : lacking) {
    const std::string path = check.oldFolder + "/" + name;
    const bool gone = std::binary_search(removed.begin(), removed.end(), name);
    const bool kept = MatchesAnyPattern(check.keep, name);
    if (gone && kept)
      return Refuse(why, path + ": the release removes this file, which --keep keeps");
    if (!gone && !kept)
      return Refuse(why,
                    path + ": not in " + check.newFolder + ", and the release leaves it installed");
  }
  return true;
}

// Copies the old files the steps replace or remove into the scratch folder,
// and makes the old folder's folders they remove. The other files the steps
// tell the old version by are stood in for by files of their sizes (sparse
// where the system can): the patcher reads only their sizes.
bool CopyReplaced(const CVerifyCase& check, const CGameFolder& old, const CReleaseNames& names,
                  const std::string& scratch, std::string* why) {
  for (const std::string& name : names.told) {
    uint64_t size = 0;
    if (Has(names.made, name) || Has(names.removed, name) || !Has(old.files, name) ||
        !platform::FileSizeOf(check.oldFolder + "/" + name, size))
      continue;
    const fs::path to = fs::u8path(scratch + "/" + name);
    std::error_code error;
    fs::create_directories(to.parent_path(), error);
    if (!error) std::ofstream(to, std::ios::binary).close();
    if (!error) fs::resize_file(to, size, error);
    if (error) return Refuse(why, "cannot create " + scratch + "/" + name + ": " + error.message());
  }
  for (const std::string& folder : names.folders) {
    if (!Has(old.folders, folder)) continue;
    std::error_code error;
    fs::create_directories(fs::u8path(scratch + "/" + folder), error);
    if (error)
      return Refuse(why, "cannot create " + scratch + "/" + folder + ": " + error.message());
  }
  for (const std::vector<std::string>* read : {&names.made, &names.removed})
    for (const std::string& name : *read) {
      if (!Has(old.files, name) || (read == &names.removed && Has(names.made, name))) continue;
      const fs::path to = fs::u8path(scratch + "/" + name);
      std::error_code error;
      fs::create_directories(to.parent_path(), error);
      if (!error) fs::copy_file(fs::u8path(check.oldFolder + "/" + name), to, error);
      if (error)
        return Refuse(why, "cannot copy " + check.oldFolder + "/" + name + ": " + error.message());
    }
  return true;
}

// The engine's run, as the patcher makes it, on the scratch folder.
bool ApplyWithEngine(const CVerifyCase& check, const std::string& scratch, std::string* why) {
  CVerifyHost host(scratch + "/");
  CPatchWorker worker(host, CReleaseBytes{check.release->data, check.release->size});
  CPatchWorker::ThreadMain(&worker);
  const CPatchOutcome& outcome = host.Outcome();
  if (outcome.completed) return true;
  return Refuse(why, "the patcher does not apply the release to " + check.oldFolder + ": " +
                         outcome.reason + (outcome.detail.empty() ? "" : " " + outcome.detail));
}
}  // namespace

bool CanVerifyHere(const CReleaseInput& release, uint32_t codePage, std::string* why) {
  const uint32_t system = platform::AnsiCodePage();
  for (const CInputStep& step : release.steps) {
    const uint32_t names = NamesCodePage(step, codePage);
    if (names != 0 && names != system && system != kCodePageUtf8)
      return Refuse(why, "this system (code page " + std::to_string(system) +
                             ") cannot apply a release whose names are for code page " +
                             std::to_string(names) + "; verify it on Linux");
  }
  return true;
}

bool VerifyRelease(const CVerifyCase& check, std::string* why) {
  if (!CanVerifyHere(*check.release, check.codePage, why)) return false;
  const CGameFolder& old = *check.oldListing;
  const CGameFolder& latest = *check.newListing;
  const CReleaseNames names = NamesOf(*check.release, check.codePage);
  if (!CheckUntouched(check, old, latest, names.made, why) ||
      !CheckLacking(check, old, latest, names.removed, why))
    return false;

  CScratchFolder scratch;
  if (!scratch.Make(check.scratchBeside, why) ||
      !CopyReplaced(check, old, names, scratch.Path(), why) ||
      !ApplyWithEngine(check, scratch.Path(), why))
    return false;
  // What the new version lacks is gone, unless the studio keeps an old file.
  for (const std::vector<std::string>* named : {&names.made, &names.removed})
    for (const std::string& name : *named)
      if (!Has(latest.files, name) &&
          !(Has(old.files, name) && MatchesAnyPattern(check.keep, name)) &&
          KindOfPath(scratch.Path() + "/" + name) != PathKind::kMissing)
        return Refuse(why, check.oldFolder + "/" + name + ": the patcher does not remove it");
  for (const std::string& folder : names.folders)
    if (!Has(latest.folders, folder) &&
        KindOfPath(scratch.Path() + "/" + folder) != PathKind::kMissing)
      return Refuse(why,
                    check.oldFolder + "/" + folder + ": the patcher does not remove the folder");
  uint64_t compared = 0;
  for (const std::string& name : names.made) {
    if (!Has(latest.files, name)) continue;
    std::string how;
    const std::string wanted = check.newFolder + "/" + name;
    if (!Differ(scratch.Path() + "/" + name, wanted, how, why)) return false;
    if (!how.empty())
      return Refuse(why, wanted + ": the release makes other bytes than this file (" + how + ")");
    if (check.progress) check.progress(++compared);
  }
  return true;
}
