#pragma once
// The files of a game folder as a release names them: relative paths with
// '/' between folders, sorted byte by byte, and the checks that make every
// name of the new folder one the patcher can install on Windows.

#include <string>
#include <vector>

#include "container/name_code_page.h"

// Lists every regular file below `folder` (symbolic links are followed).
// False, with `why`, for a missing or unreadable folder or a special file.
bool ListGameFolder(const std::string& folder, std::vector<std::string>& names, std::string* why);

// Checks every name of the new folder and gives the release's bytes for each
// (`releaseNames`, in the same order): a name Windows can hold in every part,
// one the players' code page holds, shorter than 1024 bytes, not a working
// name of the patcher, and no two names of one file on Windows (letter case
// aside). False, with `why` naming the file (both files for a clash).
bool CheckReleaseNames(const std::string& folder, const std::vector<std::string>& names,
                       const CNameEncoder& encoder, std::vector<std::string>& releaseNames,
                       std::string* why);
