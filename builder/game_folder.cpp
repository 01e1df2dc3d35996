#include "builder/game_folder.h"

#include <algorithm>
#include <set>

#include "base/refusal.h"
#include "builder/path_pattern.h"
#include "builder/release_names.h"
#include "platform/folder_listing.h"

namespace {
// The walk under `rules`, noting in `excludeMatched` each pattern that left
// a path out.
CListingRules WalkRules(const CFolderRules& rules, std::vector<bool>& excludeMatched) {
  CListingRules walk;
  walk.followLinks = rules.followLinks;
  excludeMatched.assign(rules.exclude.size(), false);
  if (!rules.exclude.empty())
    walk.leaveOut = [&rules, &excludeMatched](const std::string& path) {
      // Every pattern is tried, so that each one that matches is known.
      bool out = false;
      for (size_t i = 0; i < rules.exclude.size(); ++i)
        if (MatchesPathPattern(rules.exclude[i], path)) out = excludeMatched[i] = true;
      return out;
    };
  return walk;
}

// In `file`, a file of `files` that is a folder of `folders`, letter case
// aside; empty when none is. False, with `why`, when the spool cannot be
// read.
bool FindFileThatIsAFolder(const CRecordSpool& files, const std::vector<std::string>& folders,
                           std::string& file, std::string* why) {
  std::set<std::u32string> folded;
  for (const std::string& folder : folders) folded.insert(FoldedForWindows(folder));
  CRecordSpool::CReader names(files);
  while (names.Next(file))
    if (folded.count(FoldedForWindows(file))) return true;
  file.clear();
  return names.Ended(why);
}
}  // namespace

bool ListGameFolder(const std::string& folder, const CFolderRules& rules, CGameFolder& listing,
                    std::string* why) {
  listing.files.clear();
  listing.folders.clear();
  const CFoundPath found = [&listing](const std::string& path, bool isFolder, std::string*) {
    (isFolder ? listing.folders : listing.files).push_back(path);
    return true;
  };
  if (!WalkFolder(folder, WalkRules(rules, listing.excludeMatched), found, why)) return false;
  // The walk brings the files sorted already.
  std::sort(listing.folders.begin(), listing.folders.end());
  return true;
}

bool SpoolGameFolder(const std::string& folder, const CFolderRules& rules,
                     const std::string& beside, CSpooledFolder& listing, std::string* why) {
  listing.folders.clear();
  if (!listing.files.Open(beside, why)) return false;
  const CFoundPath found = [&listing](const std::string& path, bool isFolder, std::string* error) {
    if (isFolder) {
      listing.folders.push_back(path);
      return true;
    }
    return listing.files.Add(path) || Refuse(error, listing.files.Error());
  };
  if (!WalkFolder(folder, WalkRules(rules, listing.excludeMatched), found, why) ||
      !listing.files.EndWriting(why))
    return false;
  std::sort(listing.folders.begin(), listing.folders.end());
  return true;
}

CFolderPair::CFolderPair(const CSpooledFolder& old, const CSpooledFolder& latest)
    : old_(old.files), latest_(latest.files) {
  oldRead_ = old_.Next(oldPath_);
  newRead_ = latest_.Next(newPath_);
}

bool CFolderPair::Next(std::string& path, bool& inOld, bool& inNew) {
  if (!oldRead_ && !newRead_) return false;
  inOld = oldRead_ && (!newRead_ || oldPath_ <= newPath_);
  inNew = newRead_ && (!oldRead_ || newPath_ <= oldPath_);
  path = inNew ? newPath_ : oldPath_;
  if (inOld) oldRead_ = old_.Next(oldPath_);
  if (inNew) newRead_ = latest_.Next(newPath_);
  return true;
}

bool ReadBackGameFolder(const CSpooledFolder& spooled, CGameFolder& listing, std::string* why) {
  listing.files.clear();
  CRecordSpool::CReader files(spooled.files);
  for (std::string file; files.Next(file);) listing.files.push_back(file);
  listing.folders = spooled.folders;
  listing.excludeMatched = spooled.excludeMatched;
  return files.Ended(why);
}

bool CheckFilesAndFolders(const std::string& oldFolder, const CSpooledFolder& old,
                          const std::string& newFolder, const CSpooledFolder& latest,
                          std::string* why) {
  std::string file;
  if (!FindFileThatIsAFolder(old.files, latest.folders, file, why)) return false;
  if (!file.empty())
    return Refuse(why, oldFolder + "/" + file + " is a file and " + newFolder + "/" + file +
                           " a folder: no player could apply the release, since the patcher "
                           "cannot put files into a folder where a file is installed");
  if (!FindFileThatIsAFolder(latest.files, old.folders, file, why)) return false;
  if (!file.empty())
    return Refuse(why, oldFolder + "/" + file + " is a folder and " + newFolder + "/" + file +
                           " a file: no player could apply the release, since the patcher "
                           "cannot install a file where a folder is");
  return true;
}
