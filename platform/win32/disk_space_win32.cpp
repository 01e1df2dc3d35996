#include "platform/file_os.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace os {

bool FreeSpace(const std::string& folder, uint64_t& bytes) {
  ULARGE_INTEGER available;
  // What this user may take: quotas count, as they do for the writes.
  if (!GetDiskFreeSpaceExW(LongPath(Widen(folder, CP_UTF8)).c_str(), &available, nullptr, nullptr))
    return false;
  bytes = available.QuadPart;
  return true;
}

}  // namespace os
}  // namespace platform
