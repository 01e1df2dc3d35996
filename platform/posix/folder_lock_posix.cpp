#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folder_lock.h"

namespace platform {

CFolderLock::~CFolderLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

CFolderLockResult CFolderLock::Lock(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return CFolderLockResult::kUnavailable;
  // A lock of the open folder: another open of it, in any process, cannot
  // take it while this one holds it, and it ends with the descriptor.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? CFolderLockResult::kBusy : CFolderLockResult::kUnavailable;
  }
  handle_ = fd;
  return CFolderLockResult::kLocked;
}

}  // namespace platform
