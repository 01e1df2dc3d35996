#include "engine/install_dir.h"

#include <vector>

#include "base/path_text.h"
#include "platform/files.h"

thread_local std::string InstallDir;

CInstallPathLocation InstallPathLocationFor(uint16_t languageId) {
  // Only the exact identifier 0x0804 selects the first location; other Chinese
  // identifiers such as 0x0404 do not.
  if (languageId == 0x0804)
    return {CSettingsRoot::kLocalMachine, "SOFTWARE\\morv\\quelvane", "Loader"};
  return {CSettingsRoot::kLocalMachine, "SOFTWARE\\KESTA\\Quelvane", "Destination"};
}

std::string FolderPartOfPath(const std::string& storedPath, uint32_t codePage) {
  size_t separator = LastSeparator(storedPath, codePage);
  if (separator != std::string::npos) return storedPath.substr(0, separator + 1);
  if (storedPath.size() >= 2 && storedPath[1] == ':') return storedPath.substr(0, 2);
  return std::string();
}

std::string GameFolderOf(const std::string& storedPath, uint32_t codePage) {
  const size_t separator = LastSeparator(storedPath, codePage);
  if (separator + 1 == storedPath.size() || !platform::FolderExists(storedPath))
    return FolderPartOfPath(storedPath, codePage);
  return storedPath + (storedPath[0] == '/' ? "/" : "\\");
}

bool CreateEntryFolders(const std::string& installDir, const std::string& entryName,
                        uint32_t codePage) {
  std::vector<size_t> ends;
  for (size_t separator = NextSeparator(entryName, 0, codePage); separator != std::string::npos;
       separator = NextSeparator(entryName, separator + 1, codePage))
    ends.push_back(separator);
  // Up from the deepest folder to one that exists or can be made (most
  // often the deepest itself: the folders above it then exist too), then
  // down again making the rest.
  size_t made = ends.size();
  for (; made > 0; --made) {
    if (platform::CreateFolder(installDir + entryName.substr(0, ends[made - 1]))) break;
    if (made == 1 || platform::LastFileError() != platform::FileError::kNotFound) return false;
  }
  for (; made < ends.size(); ++made)
    if (!platform::CreateFolder(installDir + entryName.substr(0, ends[made]))) return false;
  return true;
}
