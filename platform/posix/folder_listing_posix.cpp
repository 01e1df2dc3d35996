// The folder listing's system calls on POSIX: readdir, and stat where the
// entry's type is a link or unknown.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
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

EntryKind KindOf(const dirent& entry, const std::string& folder) {
  switch (entry.d_type) {
    case DT_REG:
      return EntryKind::kFile;
    case DT_DIR:
      return EntryKind::kFolder;
    case DT_LNK:
    case DT_UNKNOWN:
      return KindOf(folder + "/" + entry.d_name);
    default:
      return EntryKind::kOther;
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
    entries.push_back(CFolderEntry{name, KindOf(*entry, folder)});
  }
  return errno == 0 || Refuse(why, std::strerror(errno));
}

bool FileSize(const std::string& path, uint64_t& size, std::string* why) {
  std::error_code error;
  size = std::filesystem::file_size(path, error);
  return !error || Refuse(why, error.message());
}

}  // namespace listing_os
