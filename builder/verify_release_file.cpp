#include "builder/verify_release_file.h"

#include "base/refusal.h"
#include "builder/release_input.h"
#include "builder/task_paths.h"
#include "builder/verify_release.h"

bool VerifyReleaseFile(const CBuildOptions& options, std::string* why) {
  const std::string& path = options.operands.back();
  const size_t oldCount = options.operands.size() - 2;
  const std::string& newFolder = options.operands[oldCount];
  CTaskPaths paths;
  AddGameFolders({options.operands.begin(), options.operands.end() - 1}, paths);
  const CFolderRules rules = FolderRulesOf(options);
  CReleaseInput release;
  CGameFolder latest;
  std::string reason;
  if (!CheckTaskPaths(paths, &reason) ||
      !OpenReleaseInput(path, options.codePage, release, &reason) ||
      !CanVerifyHere(release, options.codePage, &reason) ||
      !ListGameFolder(newFolder, rules, latest, &reason))
    return Refuse(why, path + ": " + reason);
  for (size_t k = 0; k < oldCount; ++k) {
    CGameFolder old;
    CVerifyCase check;
    check.oldFolder = options.operands[k];
    check.newFolder = newFolder;
    check.oldListing = &old;
    check.newListing = &latest;
    check.release = &release;
    check.codePage = options.codePage;
    check.scratchBeside = FolderOf(path);
    check.keep = options.keep;
    if (!ListGameFolder(check.oldFolder, rules, old, &reason) || !VerifyRelease(check, &reason))
      return Refuse(
          why, path + ": does not turn " + check.oldFolder + " into " + newFolder + ": " + reason);
  }
  return true;
}
