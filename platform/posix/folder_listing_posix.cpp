// The folder listing's system calls on POSIX: readdir, lstat where the
// entry's type is unknown, stat through links, realpath.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/refusal.h"
#include "platform/folder_listing_os.h"

namespace listing_os {
namespace {
EntryKind KindOf(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return EntryKind::kOther;
  if (S_ISDIR(info.st_mode)) return EntryKind::kFolder;
  return S_ISREG(info.st_mode) ? EntryKind::kFile : EntryKind::kOther;
}

CFolderEntry EntryOf(const dirent& entry, const std::string& folder) {
  const std::string path = folder + "/" + entry.d_name;
  unsigned char type = entry.d_type;
  if (type == DT_UNKNOWN) {
    struct stat info;
    type = lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) ? DT_LNK : DT_UNKNOWN;
  }
  switch (type) {
    case DT_REG:
      return CFolderEntry{entry.d_name, EntryKind::kFile, false};
    case DT_DIR:
      return CFolderEntry{entry.d_name, EntryKind::kFolder, false};
    case DT_LNK:
      return CFolderEntry{entry.d_name, KindOf(path), true};
    case DT_UNKNOWN:
      return CFolderEntry{entry.d_name, KindOf(path), false};
    default:
      return CFolderEntry{entry.d_name, EntryKind::kOther, false};
  }
}

class CFolder {
 public:
  explicit CFolder(const std::string& path) : folder_(opendir(path.c_str())) {}
  ~CFolder() {
    if (folder_) closedir(folder_);
  }
  DIR* Get() const { return folder_; }

 private:
  DIR* folder_;
};

bool Resolved(const std::string& path, std::string& resolved) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return false;
  resolved = buffer;
  return true;
}
}  // namespace

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ReadFolder(const std::string& folder, std::vector<CFolderEntry>& entries, std::string* why) {
  CFolder open(folder);
  if (!open.Get()) return Refuse(why, std::strerror(errno));
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(open.Get());
    if (!entry) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back(EntryOf(*entry, folder));
  }
  return errno == 0 || Refuse(why, std::strerror(errno));
}

bool FileSize(const std::string& path, uint64_t& size, std::string* why) {
  std::error_code error;
  size = std::filesystem::file_size(path, error);
  return !error || Refuse(why, error.message());
}

PathKind KindOfPath(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kOther;
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  return S_ISREG(info.st_mode) ? PathKind::kFile : PathKind::kOther;
}

bool IsSymbolicLink(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool PathKey(const std::string& path, std::string& key, std::string* why) {
  if (Resolved(path, key)) return true;
  if (errno != ENOENT) return Refuse(why, std::strerror(errno));
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : trimmed.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  if (!Resolved(folder, key)) return Refuse(why, std::strerror(errno));
  if (key.back() != '/') key += '/';
  key += name;
  return true;
}

}  // namespace listing_os
