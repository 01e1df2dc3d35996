#pragma once
// One patcher at a time in a game folder: a second one started on the same
// folder (a player double-clicks twice) is told so before it touches a file.
// The lock lives as long as the object (for the patcher, the process) and
// leaves nothing on the disk: on POSIX a lock on the folder itself, on
// Windows a named mutex derived from the folder's full path.

#include <cstdint>
#include <string>

namespace platform {

enum class CFolderLockResult {
  kLocked,
  kBusy,         // another process (or object) holds the folder
  kUnavailable,  // the lock cannot be had here (the folder cannot be opened)
};

class CFolderLock {
 public:
  CFolderLock() = default;
  ~CFolderLock();
  CFolderLock(const CFolderLock&) = delete;
  CFolderLock& operator=(const CFolderLock&) = delete;

  CFolderLockResult Lock(const std::string& folder);

 private:
  intptr_t handle_ = -1;
};

}  // namespace platform
