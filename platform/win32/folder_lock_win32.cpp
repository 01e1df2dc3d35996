#include <cwctype>
#include <string>

#include "platform/folder_lock.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {
// FNV-1a over the path's UTF-16 units: a mutex name cannot hold the path
// itself (no '\', at most MAX_PATH), and two folders sharing 64 bits is
// nothing a player meets.
uint64_t HashOf(const std::wstring& text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (wchar_t c : text) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}
}  // namespace

CFolderLock::~CFolderLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

CFolderLockResult CFolderLock::Lock(const std::string& folder) {
  // One folder, however it is spelled: the full path, letter case and a
  // trailing separator aside.
  std::wstring path = LongPath(Widen(folder, CP_UTF8));
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  for (wchar_t& c : path) c = static_cast<wchar_t>(std::towupper(c));
  wchar_t name[64];
  swprintf(name, 64, L"Local\\QelPatch-%016llx", static_cast<unsigned long long>(HashOf(path)));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return CFolderLockResult::kUnavailable;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return CFolderLockResult::kBusy;
  }
  handle_ = reinterpret_cast<intptr_t>(mutex);
  return CFolderLockResult::kLocked;
}

}  // namespace platform
