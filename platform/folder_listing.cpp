// The walk below a game folder and its messages, the same on both systems;
// the system calls are in posix/ and win32/ (folder_listing_os.h).
#include "platform/folder_listing.h"

#include <algorithm>

#include "base/refusal.h"
#include "platform/file_faults.h"
#include "platform/folder_listing_os.h"

namespace {
// `root` as given, with `relative` after it ("" or a path below it).
std::string Below(const std::string& root, const std::string& relative) {
  if (relative.empty()) return root;
  return !root.empty() && root.back() == '/' ? root + relative : root + "/" + relative;
}

// The relative paths from the root down to `relative`: "", then each folder.
std::vector<std::string> FoldersOnTheWay(const std::string& relative) {
  std::vector<std::string> folders{""};
  if (relative.empty()) return folders;
  for (size_t slash = relative.find('/'); slash != std::string::npos;
       slash = relative.find('/', slash + 1))
    folders.push_back(relative.substr(0, slash));
  folders.push_back(relative);
  return folders;
}

// Whether `a` comes before `b` among one folder's entries, so that the paths
// below the folder come sorted byte by byte: a folder's name compares as if
// it ended in '/', as every path below it does. Two entries never share a
// name, and no name holds a '/'.
bool ComesBefore(const listing_os::CFolderEntry& a, const listing_os::CFolderEntry& b) {
  const size_t common = std::min(a.name.size(), b.name.size());
  const int order = a.name.compare(0, common, b.name, 0, common);
  if (order != 0 || a.name.size() == b.name.size()) return order < 0;
  // One name begins the other: the shorter one's end (nothing for a file,
  // '/' for a folder) meets the longer one's next byte.
  const bool shorterFirst = a.name.size() < b.name.size();
  const listing_os::CFolderEntry& shorter = shorterFirst ? a : b;
  const unsigned char next = static_cast<unsigned char>((shorterFirst ? b : a).name[common]);
  const bool before = shorter.kind != listing_os::EntryKind::kFolder || '/' < next;
  return before == shorterFirst;
}

class CWalk {
 public:
  CWalk(const std::string& root, const CListingRules& rules, const CFoundPath& found)
      : root_(root), rules_(rules), found_(found) {}

  bool Start(std::string* why) { return PathKey(root_, rootKey_, why) && ListFolder("", why); }

 private:
  // Walks the folder `relative` below the root ("" for the root itself).
  bool ListFolder(const std::string& relative, std::string* why) {
    std::vector<listing_os::CFolderEntry> entries;
    std::string reason =
        platform::InjectedFailure(platform::FileOp::ListFolder, Below(root_, relative));
    if (!reason.empty() || !listing_os::ReadFolder(Below(root_, relative), entries, &reason))
      return Refuse(why, Below(root_, relative) + ": cannot read the folder: " + reason);
    std::sort(entries.begin(), entries.end(), ComesBefore);
    for (const listing_os::CFolderEntry& entry : entries) {
      const std::string path = relative.empty() ? entry.name : relative + "/" + entry.name;
      if (rules_.leaveOut && rules_.leaveOut(path)) continue;
      if (entry.link && !CheckLink(relative, path, entry.kind, why)) return false;
      switch (entry.kind) {
        case listing_os::EntryKind::kFolder:
          if (!found_(path, true, why) || !ListFolder(path, why)) return false;
          break;
        case listing_os::EntryKind::kFile:
          if (!found_(path, false, why)) return false;
          break;
        case listing_os::EntryKind::kOther:
          return Refuse(why, Below(root_, path) + ": not a regular file");
      }
    }
    return true;
  }

  // A link is taken only when links are followed and it leads to a file or
  // folder inside the root, and not to a folder on its own way down.
  bool CheckLink(const std::string& relative, const std::string& path, listing_os::EntryKind kind,
                 std::string* why) const {
    const std::string where = Below(root_, path);
    if (!rules_.followLinks)
      return Refuse(why, where +
                             ": a symbolic link; the release would carry what it leads to on this "
                             "machine: put the file itself there, leave it out with --exclude, or "
                             "take links that stay inside the folder with --follow-links");
    std::string target;
    if (kind == listing_os::EntryKind::kOther || !listing_os::PathKey(where, target, nullptr))
      return Refuse(why, where + ": a symbolic link that leads nowhere");
    if (!KeyIsWithin(target, rootKey_))
      return Refuse(why, where + ": a symbolic link leading outside " + root_ +
                             ", which the release never carries");
    if (kind != listing_os::EntryKind::kFolder) return true;
    for (const std::string& folder : FoldersOnTheWay(relative)) {
      std::string key;
      if (listing_os::PathKey(Below(root_, folder), key, nullptr) && key == target)
        return Refuse(why, where + ": a link loop: it leads back to " + Below(root_, folder));
    }
    return true;
  }

  const std::string& root_;
  const CListingRules& rules_;
  const CFoundPath& found_;
  std::string rootKey_;
};
}  // namespace

bool WalkFolder(const std::string& folder, const CListingRules& rules, const CFoundPath& found,
                std::string* why) {
  if (!listing_os::IsFolder(folder)) return Refuse(why, folder + ": no such folder");
  return CWalk(folder, rules, found).Start(why);
}

bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why) {
  std::string reason;
  return listing_os::FileSize(path, size, &reason) ||
         Refuse(why, "cannot read " + path + ": " + reason);
}

PathKind KindOfPath(const std::string& path) {
  return listing_os::KindOfPath(path);
}

bool IsSymbolicLink(const std::string& path) {
  return listing_os::IsSymbolicLink(path);
}

bool PathKey(const std::string& path, std::string& key, std::string* why) {
  std::string reason;
  return listing_os::PathKey(path, key, &reason) || Refuse(why, path + ": " + reason);
}

bool KeyIsWithin(const std::string& inner, const std::string& outer) {
  if (inner.compare(0, outer.size(), outer) != 0) return false;
  // The root of a file system ends in '/' already.
  return inner.size() == outer.size() || outer.back() == '/' || inner[outer.size()] == '/';
}
