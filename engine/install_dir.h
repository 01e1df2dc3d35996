#pragma once
// The installation folder: one text per worker thread, ending with a
// separator, written once by the worker before any data work, so that runs
// on several threads of one process each have their own. Every local path is
// InstallDir followed by a relative name.

#include <cstdint>
#include <string>

extern thread_local std::string InstallDir;

// The part of the registry a value lies in.
enum class CSettingsRoot { kLocalMachine, kCurrentUser };

// Where the installation path is stored: a text value, read in the
// registry's 32-bit view.
struct CInstallPathLocation {
  CSettingsRoot root = CSettingsRoot::kLocalMachine;
  std::string key;
  std::string valueName;
};
// QelPatch's own two locations, chosen by the system's default language
// identifier; a studio's program names its own instead.
CInstallPathLocation InstallPathLocationFor(uint16_t languageId);

// The folder part of a stored path: the text up to and including its last
// separator ('\' or '/') that is a character of its own in the code page, or
// the drive alone ("D:") when no separator follows it; empty for a bare file
// name.
std::string FolderPartOfPath(const std::string& storedPath, uint32_t codePage);
// The game folder a stored path names, ending with a separator: the path
// itself when it names an existing folder, else its folder part (the path
// of a file inside the folder).
std::string GameFolderOf(const std::string& storedPath, uint32_t codePage);

// Creates the folders of a name's path below the installation folder, so that
// a release can bring new files in new folders. True when they all exist.
bool CreateEntryFolders(const std::string& installDir, const std::string& entryName,
                        uint32_t codePage);
