// The walk below a game folder and its messages, the same on both systems;
// the system calls are in posix/ and win32/ (folder_listing_os.h).
#include "platform/folder_listing.h"

#include "base/refusal.h"
#include "platform/folder_listing_os.h"

namespace {
// `root` as given, with `relative` after it ("" or a path below it).
std::string Below(const std::string& root, const std::string& relative) {
  if (relative.empty()) return root;
  return !root.empty() && root.back() == '/' ? root + relative : root + "/" + relative;
}

// Walks the folder `relative` below the root ("" for the root itself).
bool ListFolder(const std::string& root, const std::string& relative,
                std::vector<std::string>& names, std::string* why) {
  std::vector<listing_os::CFolderEntry> entries;
  std::string reason;
  if (!listing_os::ReadFolder(Below(root, relative), entries, &reason))
    return Refuse(why, root + ": cannot read the folder: " + reason);
  for (const listing_os::CFolderEntry& entry : entries) {
    const std::string path = relative.empty() ? entry.name : relative + "/" + entry.name;
    switch (entry.kind) {
      case listing_os::EntryKind::kFolder:
        if (!ListFolder(root, path, names, why)) return false;
        break;
      case listing_os::EntryKind::kFile:
        names.push_back(path);
        break;
      case listing_os::EntryKind::kOther:
        return Refuse(why, Below(root, path) + ": not a regular file (or a broken link)");
    }
  }
  return true;
}
}  // namespace

bool ListFilesBelow(const std::string& folder, std::vector<std::string>& names, std::string* why) {
  if (!listing_os::IsFolder(folder)) return Refuse(why, folder + ": no such folder");
  return ListFolder(folder, "", names, why);
}

bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why) {
  std::string reason;
  return listing_os::FileSize(path, size, &reason) ||
         Refuse(why, "cannot read " + path + ": " + reason);
}
