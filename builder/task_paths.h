#pragma once
// The paths a task of the builder names, checked before anything is read or
// written: the game folders are two folders apart, and every output is a
// regular file (or none yet), not a link, outside both, apart from every
// other output and input, and replaced only when --force says so.

#include <string>
#include <vector>

struct CNamedPath {
  std::string path;
  std::string role;  // "the stub", "the old game folder", ...
};

struct CTaskPaths {
  std::vector<CNamedPath> folders;
  std::vector<CNamedPath> inputs;
  std::vector<CNamedPath> outputs;
  bool force = false;
};

// The game folders of a build or a check: every one but the last an old
// version ("the old game folder" when there is one), the last the new one.
void AddGameFolders(const std::vector<std::string>& folders, CTaskPaths& paths);

// False, with `why` naming the path, when a rule above is broken.
bool CheckTaskPaths(const CTaskPaths& paths, std::string* why);

// The folder of a path, where the scratch folder of a check goes.
std::string FolderOf(const std::string& path);
