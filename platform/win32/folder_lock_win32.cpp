// The folder's lock on Windows: a file in the folder itself, open with no
// sharing, so a second patcher that reaches the folder by any spelling (a
// second drive letter, a link, an 8.3 name, a share) meets the same file and
// is refused. The system deletes the file when its handle closes, however
// the process ends; one left by a power cut is taken over by the next run.
#include <string>

#include "platform/folder_lock.h"
#include "platform/win32/wide_path.h"

namespace platform {

CFolderLock::~CFolderLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

CFolderLockResult CFolderLock::Lock(const std::string& folder) {
  std::wstring path = LongPath(Widen(folder, CP_UTF8));
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  path += L"\\";
  path += kFolderLockName;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_SHARING_VIOLATION ? CFolderLockResult::kBusy
                                                     : CFolderLockResult::kUnavailable;
  handle_ = reinterpret_cast<intptr_t>(file);
  return CFolderLockResult::kLocked;
}

}  // namespace platform
