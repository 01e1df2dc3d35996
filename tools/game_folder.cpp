#include "tools/game_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/path_text.h"
#include "engine/patch_container.h"

namespace fs = std::filesystem;

namespace {
bool Refuse(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

bool CheckName(const std::string& folder, const std::string& name, std::string* why) {
  const std::string where = folder + "/" + name;
  if (name.find_first_of("\\:") != std::string::npos)
    return Refuse(why, where + ": a name with '\\' or ':' cannot be patched on Windows");
  if (name.size() >= kNameFieldSize)
    return Refuse(why, where + ": names of 1024 bytes or more do not fit a release");
  if (!IsSafeRelativeName(name, kCodePageUtf8)) return Refuse(why, where + ": unusable file name");
  return true;
}
}  // namespace

bool ListGameFolder(const std::string& folder, std::vector<std::string>& names, std::string* why) {
  names.clear();
  std::error_code error;
  if (!fs::is_directory(folder, error)) return Refuse(why, folder + ": no such folder");
  const fs::path root(folder);
  fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, error);
  if (error) return Refuse(why, folder + ": cannot read the folder: " + error.message());
  for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
    if (error) return Refuse(why, folder + ": cannot read the folder: " + error.message());
    const fs::path& path = it->path();
    if (it->is_directory(error)) continue;
    const std::string name = path.lexically_relative(root).generic_string();
    if (!it->is_regular_file(error))
      return Refuse(why, path.string() + ": not a regular file (or a broken link)");
    if (!CheckName(folder, name, why)) return false;
    names.push_back(name);
  }
  if (error) return Refuse(why, folder + ": cannot read the folder: " + error.message());
  std::sort(names.begin(), names.end());
  return true;
}
