#pragma once
// One patcher at a time in a game folder: a second one started on the same
// folder (a player double-clicks twice) is told so before it touches a file.
// The lock lives as long as the object (for the patcher, the process) and
// is keyed on the folder itself, not on how its path is spelled: on POSIX a
// lock on the open folder, on Windows a file in it (kFolderLockName) that
// no one else may open and that the system deletes when it is closed.

#include <cstdint>
#include <string>

namespace platform {

enum class CFolderLockResult {
  kLocked,
  kBusy,         // another process (or object) holds the folder
  kUnavailable,  // the lock cannot be had here (the folder cannot be opened)
};

// The Windows lock's file, while a patcher runs in the folder.
constexpr wchar_t kFolderLockName[] = L".qelpatch.lock";

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
