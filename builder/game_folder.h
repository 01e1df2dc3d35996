#pragma once
// The files of a game folder as a release names them: relative paths with
// '/' between folders, sorted byte by byte, and the checks that make every
// name of the new folder one the patcher can install on Windows.

#include <string>
#include <vector>

#include "container/name_code_page.h"

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

// False, with `why` naming both, for a path that is a file in one folder and
// a folder in the other (letter case aside, as on Windows): no player's
// patcher could install it.
bool CheckFilesAndFolders(const std::string& oldFolder, const CGameFolder& old,
                          const std::string& newFolder, const CGameFolder& latest,
                          std::string* why);

// Checks every name of the new folder and gives the release's bytes for each
// (`releaseNames`, in the same order): a name Windows can hold in every part,
// one the players' code page holds and reads back unchanged, shorter than 1024
// bytes, not a working name of the patcher, and no two names of one file on
// Windows (letter case aside, or the same bytes in the code page). False,
// with `why` naming the file (both files for a clash).
bool CheckReleaseNames(const std::string& folder, const std::vector<std::string>& names,
                       const CNameEncoder& encoder, std::vector<std::string>& releaseNames,
                       std::string* why);
