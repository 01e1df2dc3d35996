#include <sys/statvfs.h>

#include "platform/file_os.h"

namespace platform {
namespace os {

bool FreeSpace(const std::string& folder, uint64_t& bytes) {
  struct statvfs info;
  if (statvfs(folder.c_str(), &info) != 0) return false;
  // What an ordinary user may still take; root's reserve is not counted.
  bytes = uint64_t{info.f_bavail} * info.f_frsize;
  return true;
}

}  // namespace os
}  // namespace platform
