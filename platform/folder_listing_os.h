#pragma once
// The system calls under the builder's folder listing, one implementation
// each in posix/ and win32/. Paths are UTF-8; `why` gets the system's reason
// alone, which folder_listing.cpp puts after the path. Only platform/
// includes this.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/folder_listing.h"

namespace listing_os {

enum class EntryKind {
  kFile,
  kFolder,
  kOther,  // a special file (a pipe, a device) or a link that leads nowhere
};

struct CFolderEntry {
  std::string name;
  EntryKind kind;  // of what a link leads to
  bool link;
};

// Whether the path names a folder (links followed).
bool IsFolder(const std::string& path);
// The entries of one folder, without "." and "..".
bool ReadFolder(const std::string& folder, std::vector<CFolderEntry>& entries, std::string* why);
bool FileSize(const std::string& path, uint64_t& size, std::string* why);
PathKind KindOfPath(const std::string& path);
bool IsSymbolicLink(const std::string& path);
bool PathKey(const std::string& path, std::string& key, std::string* why);

}  // namespace listing_os
