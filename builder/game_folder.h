#pragma once
// The files of a game folder as a release names them: relative paths with
// '/' between folders, sorted byte by byte, listed in memory or, for the
// build, on the disk.

#include <string>
#include <vector>

#include "builder/record_spool.h"

// What the builder takes from a game folder, each list sorted.
struct CGameFolder {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  // Per pattern of the rules' exclude, whether it left a path out.
  std::vector<bool> excludeMatched;
};

struct CFolderRules {
  // Links that stay inside their folder are taken as what they lead to;
  // otherwise every link is refused.
  bool followLinks = false;
  // Paths left out, files and folders alike (path_pattern.h).
  std::vector<std::string> exclude;
};

// Lists every regular file and folder below `folder`. False, with `why`, for
// a missing or unreadable folder, a special file or a link the rules refuse.
bool ListGameFolder(const std::string& folder, const CFolderRules& rules, CGameFolder& listing,
                    std::string* why);

// A game folder listed as ListGameFolder lists it, its files kept on the disk
// (sorted), for a game of any number of files: only its folders stay in
// memory.
struct CSpooledFolder {
  CRecordSpool files;
  std::vector<std::string> folders;
  std::vector<bool> excludeMatched;
};

// Lists `folder` into `listing`, its spool beside the output `beside`.
// False, with `why`, as ListGameFolder.
bool SpoolGameFolder(const std::string& folder, const CFolderRules& rules,
                     const std::string& beside, CSpooledFolder& listing, std::string* why);
// Both spooled listings walked at once, in their order: each path of either,
// and in which of them it is.
class CFolderPair {
 public:
  CFolderPair(const CSpooledFolder& old, const CSpooledFolder& latest);

  // The next path; false after the last one or on a failure.
  bool Next(std::string& path, bool& inOld, bool& inNew);
  // False, with `why`, when the walk stopped on a failure.
  bool Ended(std::string* why) const { return old_.Ended(why) && latest_.Ended(why); }

 private:
  CRecordSpool::CReader old_;
  CRecordSpool::CReader latest_;
  std::string oldPath_, newPath_;
  bool oldRead_, newRead_;  // whether a path waits in oldPath_, newPath_
};

// The spooled listing read back into memory. False, with `why`.
bool ReadBackGameFolder(const CSpooledFolder& spooled, CGameFolder& listing, std::string* why);

// False, with `why` naming both, for a path that is a file in one folder and
// a folder in the other (letter case aside, as on Windows): no player's
// patcher could install it.
bool CheckFilesAndFolders(const std::string& oldFolder, const CSpooledFolder& old,
                          const std::string& newFolder, const CSpooledFolder& latest,
                          std::string* why);
