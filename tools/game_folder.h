#pragma once
// The files of a game folder as a release names them: relative paths with
// '/' between folders, sorted byte by byte.

#include <string>
#include <vector>

// Lists every regular file below `folder` (symbolic links are followed).
// False, with `why`, for a missing or unreadable folder, a special file, or a
// name the patcher could not use: one holding '\' or ':' (a separator and a
// drive on Windows) or of 1024 bytes or more.
bool ListGameFolder(const std::string& folder, std::vector<std::string>& names, std::string* why);
