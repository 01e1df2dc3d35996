#include "builder/task_paths.h"

#include "base/refusal.h"
#include "platform/folder_listing.h"

namespace {
struct CKeyed {
  const CNamedPath* named;
  std::string key;
};

// The keys of the paths that exist; a missing input is told when it is read.
std::vector<CKeyed> ExistingKeys(const std::vector<CNamedPath>& paths) {
  std::vector<CKeyed> keyed;
  for (const CNamedPath& named : paths) {
    std::string key;
    if (KindOfPath(named.path) != PathKind::kMissing && PathKey(named.path, key, nullptr))
      keyed.push_back(CKeyed{&named, key});
  }
  return keyed;
}

bool CheckFolders(const std::vector<CKeyed>& folders, std::string* why) {
  for (size_t i = 0; i < folders.size(); ++i)
    for (size_t j = 0; j < folders.size(); ++j) {
      const CKeyed& a = folders[i];
      const CKeyed& b = folders[j];
      if (i < j && a.key == b.key)
        return Refuse(why, a.named->path + ": given as " + a.named->role + " and as " +
                               b.named->role +
                               "; give the game as players have it and the "
                               "new version, each in a folder of its own");
      if (i != j && a.key != b.key && KeyIsWithin(a.key, b.key))
        return Refuse(why, a.named->path + ": " + a.named->role + " lies inside " + b.named->role +
                               " " + b.named->path + ", whose files would then include it");
    }
  return true;
}

bool CheckOutput(const CNamedPath& output, const std::string& key,
                 const std::vector<CKeyed>& folders, const std::vector<CKeyed>& inputs,
                 std::string* why) {
  const PathKind kind = KindOfPath(output.path);
  if (kind != PathKind::kMissing && kind != PathKind::kFile)
    return Refuse(why, output.path + ": not a regular file (a folder or a device); " + output.role +
                           " must be a file");
  // The output replaces the path it is given: a link, not what it leads to.
  if (IsSymbolicLink(output.path))
    return Refuse(why, output.path + ": a symbolic link, which " + output.role +
                           " would replace; give the path of the file itself");
  for (const CKeyed& folder : folders)
    if (KeyIsWithin(key, folder.key))
      return Refuse(why, output.path + ": " + output.role + " would lie inside " +
                             folder.named->role + " " + folder.named->path +
                             ", and be taken for a file of the game; write it outside both "
                             "game folders");
  for (const CKeyed& input : inputs)
    if (key == input.key)
      return Refuse(why, output.path + ": " + output.role + " would replace " + input.named->role +
                             ", which this task reads");
  return true;
}
}  // namespace

bool CheckTaskPaths(const CTaskPaths& paths, std::string* why) {
  const std::vector<CKeyed> folders = ExistingKeys(paths.folders);
  const std::vector<CKeyed> inputs = ExistingKeys(paths.inputs);
  if (!CheckFolders(folders, why)) return false;
  std::vector<std::string> keys;
  for (const CNamedPath& output : paths.outputs) {
    std::string key;
    std::string reason;
    if (!PathKey(output.path, key, &reason)) return Refuse(why, "cannot create " + reason);
    if (!CheckOutput(output, key, folders, inputs, why)) return false;
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key)
        return Refuse(why, output.path + ": given as " + paths.outputs[i].role + " and as " +
                               output.role + "; each output needs a file of its own");
    keys.push_back(key);
  }
  for (const CNamedPath& output : paths.outputs)
    if (!paths.force && KindOfPath(output.path) == PathKind::kFile)
      return Refuse(why, output.path + ": exists; give --force (-f) to replace it");
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void AddGameFolders(const std::vector<std::string>& folders, CTaskPaths& paths) {
  const size_t oldCount = folders.size() - 1;
  for (size_t k = 0; k < oldCount; ++k)
    paths.folders.push_back(
        {folders[k], oldCount == 1 ? "the old game folder" : "an old game folder"});
  paths.folders.push_back({folders.back(), "the new game folder"});
}
