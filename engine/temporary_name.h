#pragma once
#include <string>

// The temporary file of an entry lies beside its file: ".temp_" goes in front
// of the name's last component (sub/.temp_map.pkg).
std::string TemporaryName(const std::string& entryName);

// Creates the folders of a name's path below the installation folder, so that
// a release can bring new files in new folders. True when they all exist.
bool CreateEntryFolders(const std::string& installDir, const std::string& entryName);
