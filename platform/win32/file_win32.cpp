// Files through the Win32 API: no sharing restriction, 64-bit positions, and a
// replace that is one MoveFileEx step. Paths arrive narrow, in the ANSI code
// page, and are turned into wide "\\?\" paths, so that a game folder deep
// enough to pass MAX_PATH (260) with the working names is still reached.
#include <vector>

#include "platform/file_layer.h"
#include "platform/win32/windows_api.h"

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

bool FailWithLastError() {
  return FailWith(ErrorOf(GetLastError()));
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

// The "\\?\" form of a path: absolute, '\' separated and normalised first,
// since the system takes such a path as it stands. Device paths ("\\.\")
// and paths already in that form are left alone.
std::wstring LongPath(const std::string& path) {
  std::wstring wide = Widen(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (wide.compare(0, 4, L"\\\\?\\") == 0 || wide.empty()) return wide;
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::vector<wchar_t> full(length);
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (length == 0 || length >= full.size()) return wide;
  std::wstring absolute(full.data(), length);
  if (absolute.compare(0, 4, L"\\\\.\\") == 0 || absolute.compare(0, 4, L"\\\\?\\") == 0)
    return absolute;
  if (absolute.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + absolute.substr(2);
  return L"\\\\?\\" + absolute;
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

CFile::~CFile() {
  Close();
}

bool CFile::OpenRead(const std::string& path) {
  Close();
  if (InjectedFault(FileOp::Open, path) != Fault::None) return false;
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError();
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return true;
}

bool CFile::Create(const std::string& path) {
  Close();
  if (InjectedFault(FileOp::Create, path) != Fault::None) return false;
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError();
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return true;
}

int64_t CFile::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (!IsOpen() || InjectedFault(FileOp::Read, path_) != Fault::None) return -1;
  if (position > static_cast<uint64_t>(INT64_MAX)) return 0;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN)) {
    FailWithLastError();
    return -1;
  }
  return Read(buffer, size);
}

int64_t CFile::Read(void* buffer, uint32_t size) {
  if (!IsOpen()) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t got = 0;
  while (got < size) {
    DWORD n = 0;
    if (!ReadFile(Handle(handle_), out + got, size - got, &n, nullptr)) {
      FailWithLastError();
      return -1;
    }
    if (n == 0) break;
    got += n;
  }
  return got;
}

bool CFile::Write(const void* buffer, uint32_t size) {
  if (!IsOpen()) return false;
  Fault fault = InjectedFault(FileOp::Write, path_);
  if (fault == Fault::ShortWrite)
    size /= 2;
  else if (fault != Fault::None)
    return false;
  auto* in = static_cast<const unsigned char*>(buffer);
  uint32_t put = 0;
  while (put < size) {
    DWORD n = 0;
    if (!WriteFile(Handle(handle_), in + put, size - put, &n, nullptr)) return FailWithLastError();
    if (n == 0) return FailWith(FileError::kDiskFull);
    put += n;
  }
  return fault == Fault::None;
}

bool CFile::Flush() {
  if (!IsOpen() || InjectedFault(FileOp::Flush, path_) != Fault::None) return false;
  return FlushFileBuffers(Handle(handle_)) != 0 || FailWithLastError();
}

int64_t CFile::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(Handle(handle_), &size)) return -1;
  return size.QuadPart;
}

bool CFile::Close() {
  if (!IsOpen()) return true;
  bool injected = InjectedFault(FileOp::Close, path_) != Fault::None;
  bool ok = CloseHandle(Handle(handle_)) != 0 || FailWithLastError();
  handle_ = kClosed;
  return ok && !injected;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// NTFS journals the new folder's entry itself; there is no folder to sync.
bool CreateFolder(const std::string& path) {
  if (InjectedFault(FileOp::CreateFolder, path) != Fault::None) return false;
  const std::wstring wide = LongPath(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  DWORD error = GetLastError();
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  return FailWith(ErrorOf(error));
}

bool DeleteFile(const std::string& path) {
  if (InjectedFault(FileOp::Delete, path) != Fault::None) return false;
  if (DeleteFileW(LongPath(path).c_str())) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || FailWith(ErrorOf(error));
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (InjectedFault(FileOp::Replace, to) != Fault::None) return false;
  const std::wstring target = LongPath(to);
  CReadOnlyCleared readOnly(target);
  // Write-through: the move has reached the disk when the call returns.
  bool moved = MoveFileExW(LongPath(from).c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  DWORD error = GetLastError();
  readOnly.Restore(moved);
  return moved || FailWith(ErrorOf(error));
}

}  // namespace platform
