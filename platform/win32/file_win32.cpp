// The file layer's system calls on Windows: no sharing restriction, 64-bit
// positions, and a replace that is one MoveFileEx step. Paths arrive in
// UTF-8 and are turned into wide "\\?\" paths, so that a
// game folder deep enough to pass MAX_PATH (260) with the working names is
// still reached. What a power cut leaves at each step of a commit, and what
// the commit relies on here: power_loss.md.
#include <atomic>

#include "platform/file_os.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Handle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

FileError ErrorOf(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FileError::kInUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileError::kAccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileError::kDiskFull;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileError::kNotFound;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileError::kPathTooLong;
    default:
      return FileError::kOther;
  }
}

bool FailWithCode(DWORD error) {
  return FailWith(ErrorOf(error), ErrorMessage(error));
}

bool FailWithLastError() {
  return FailWithCode(GetLastError());
}

std::wstring SystemPath(const std::string& path) {
  return LongPath(Widen(path, CP_UTF8));
}

// MoveFileEx refuses to replace a read-only file; the attribute comes back on
// the new file, or on the old one when the move fails.
class CReadOnlyCleared {
 public:
  explicit CReadOnlyCleared(const std::wstring& path) : path_(path) {
    attributes_ = GetFileAttributesW(path.c_str());
    cleared_ = attributes_ != INVALID_FILE_ATTRIBUTES && (attributes_ & FILE_ATTRIBUTE_READONLY) &&
               SetFileAttributesW(path.c_str(), attributes_ & ~FILE_ATTRIBUTE_READONLY);
  }
  void Restore(bool replaced) {
    if (!cleared_) return;
    if (!replaced) {
      SetFileAttributesW(path_.c_str(), attributes_);
      return;
    }
    DWORD now = GetFileAttributesW(path_.c_str());
    if (now != INVALID_FILE_ATTRIBUTES)
      SetFileAttributesW(path_.c_str(), now | FILE_ATTRIBUTE_READONLY);
  }

 private:
  const std::wstring& path_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  bool cleared_ = false;
};
}  // namespace

static_assert(sizeof(HANDLE) <= sizeof(intptr_t), "a handle must fit the file's slot");

namespace os {

bool OpenRead(const std::string& path, intptr_t& handle) {
  HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError();
  handle = reinterpret_cast<intptr_t>(file);
  return true;
}

bool Create(const std::string& path, intptr_t& handle) {
  HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError();
  handle = reinterpret_cast<intptr_t>(file);
  return true;
}

// The handle is synchronous, so the offset in the OVERLAPPED makes this a
// read at that position; it moves the file pointer, which no read relies on.
int64_t ReadSomeAt(intptr_t handle, uint64_t position, void* buffer, uint32_t size) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD n = 0;
  if (ReadFile(Handle(handle), buffer, size, &n, &at)) return n;
  // With an offset given, a read at or past the end fails with this error.
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  FailWithLastError();
  return -1;
}

bool CreateNew(const std::string& path, intptr_t& handle, bool& exists) {
  HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  exists = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError();
  handle = reinterpret_cast<intptr_t>(file);
  return true;
}

int64_t WriteSomeAt(intptr_t handle, uint64_t position, const void* buffer, uint32_t size) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD n = 0;
  if (WriteFile(Handle(handle), buffer, size, &n, &at)) return n;
  FailWithLastError();
  return -1;
}

// The system writes behind on its own.
void WriteBehind(intptr_t, uint64_t, uint64_t) {}

bool Flush(intptr_t handle) {
  return FlushFileBuffers(Handle(handle)) != 0 || FailWithLastError();
}

int64_t Size(intptr_t handle) {
  LARGE_INTEGER size;
  return GetFileSizeEx(Handle(handle), &size) ? size.QuadPart : -1;
}

bool Close(intptr_t handle) {
  return CloseHandle(Handle(handle)) != 0 || FailWithLastError();
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SizeOf(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return true;
}

bool MakeFolder(const std::string& path) {
  const std::wstring wide = SystemPath(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  DWORD error = GetLastError();
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  return FailWithCode(error);
}

bool Remove(const std::string& path) {
  if (DeleteFileW(SystemPath(path).c_str())) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || FailWithCode(error);
}

bool RemoveFolder(const std::string& path) {
  if (RemoveDirectoryW(SystemPath(path).c_str())) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || FailWithCode(error);
}

bool Move(const std::string& from, const std::string& to) {
  const std::wstring target = SystemPath(to);
  CReadOnlyCleared readOnly(target);
  // Write-through: the move has reached the disk when the call returns.
  bool moved = MoveFileExW(SystemPath(from).c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  DWORD error = GetLastError();
  readOnly.Restore(moved);
  return moved || FailWithCode(error);
}

// NTFS journals a new or renamed entry itself; there is no folder to sync.
bool FoldersNeedSync() {
  return false;
}

// Never asked for: no folder is synced here.
std::string FolderOf(const std::string& path) {
  return path;
}

bool SyncFolder(const std::string&) {
  return true;
}

std::string ErrorText(FileError error) {
  switch (error) {
    case FileError::kNone:
      return std::string();
    case FileError::kInUse:
      return ErrorMessage(ERROR_SHARING_VIOLATION);
    case FileError::kAccessDenied:
      return ErrorMessage(ERROR_ACCESS_DENIED);
    case FileError::kDiskFull:
      return ErrorMessage(ERROR_DISK_FULL);
    case FileError::kNotFound:
      return ErrorMessage(ERROR_PATH_NOT_FOUND);
    case FileError::kPathTooLong:
      return ErrorMessage(ERROR_FILENAME_EXCED_RANGE);
    case FileError::kOther:
      break;
  }
  return ErrorMessage(ERROR_WRITE_FAULT);
}

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  const unsigned tag =
      (GetCurrentProcessId() * 2654435761u) ^ GetTickCount() ^ (++counter * 40503u);
  std::string suffix(6, 'a');
  for (int i = 0; i < 6; ++i)
    suffix[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[(tag >> (5 * i)) % 36];
  return suffix;
}

}  // namespace os
}  // namespace platform
