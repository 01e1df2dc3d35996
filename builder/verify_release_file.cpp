#include "builder/verify_release_file.h"

#include "base/refusal.h"
#include "builder/release_input.h"
#include "builder/task_paths.h"
#include "builder/verify_release.h"

bool VerifyReleaseFile(const CBuildOptions& options, std::string* why) {
  const std::string& path = options.operands[2];
  CTaskPaths paths;
  paths.folders = {{options.operands[0], "the old game folder"},
                   {options.operands[1], "the new game folder"}};
  const CFolderRules rules = FolderRulesOf(options);
  CReleaseInput release;
  CGameFolder old, latest;
  CVerifyCase check;
  check.oldFolder = options.operands[0];
  check.newFolder = options.operands[1];
  check.oldListing = &old;
  check.newListing = &latest;
  check.release = &release;
  check.codePage = options.codePage;
  check.scratchBeside = FolderOf(path);
  check.keep = options.keep;
  std::string reason;
  if (!CheckTaskPaths(paths, &reason) ||
      !OpenReleaseInput(path, options.codePage, release, &reason) ||
      !CanVerifyHere(release, options.codePage, &reason) ||
      !ListGameFolder(check.oldFolder, rules, old, &reason) ||
      !ListGameFolder(check.newFolder, rules, latest, &reason) || !VerifyRelease(check, &reason))
    return Refuse(why, path + ": does not turn " + check.oldFolder + " into " + check.newFolder +
                           ": " + reason);
  return true;
}
