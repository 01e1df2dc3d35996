// Files through the Win32 API: no sharing restriction, 64-bit positions, and a
// replace that is one MoveFileEx step. Every operation first asks the fault
// seam, so tests can make any one of them fail.
#include "platform/file_faults.h"
#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A target that another program holds open (a virus scanner, the game's own
// launcher) usually lets go within a moment.
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceRetryMs = 100;

HANDLE Handle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

bool TargetInUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}
}  // namespace

static_assert(sizeof(HANDLE) <= sizeof(intptr_t), "a handle must fit the file's slot");

CFile::~CFile() {
  Close();
}

bool CFile::OpenRead(const std::string& path) {
  Close();
  if (CheckFileFault(FileOp::Open, path) != Fault::None) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return true;
}

bool CFile::Create(const std::string& path) {
  Close();
  if (CheckFileFault(FileOp::Create, path) != Fault::None) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return true;
}

int64_t CFile::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (!IsOpen() || CheckFileFault(FileOp::Read, path_) != Fault::None) return -1;
  if (position > static_cast<uint64_t>(INT64_MAX)) return 0;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN)) return -1;
  return Read(buffer, size);
}

int64_t CFile::Read(void* buffer, uint32_t size) {
  if (!IsOpen()) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t got = 0;
  while (got < size) {
    DWORD n = 0;
    if (!ReadFile(Handle(handle_), out + got, size - got, &n, nullptr)) return -1;
    if (n == 0) break;
    got += n;
  }
  return got;
}

bool CFile::Write(const void* buffer, uint32_t size) {
  if (!IsOpen()) return false;
  Fault fault = CheckFileFault(FileOp::Write, path_);
  if (fault == Fault::Error) return false;
  if (fault == Fault::ShortWrite) size /= 2;
  auto* in = static_cast<const unsigned char*>(buffer);
  uint32_t put = 0;
  while (put < size) {
    DWORD n = 0;
    if (!WriteFile(Handle(handle_), in + put, size - put, &n, nullptr) || n == 0) return false;
    put += n;
  }
  return fault == Fault::None;
}

bool CFile::Flush() {
  if (!IsOpen() || CheckFileFault(FileOp::Flush, path_) != Fault::None) return false;
  return FlushFileBuffers(Handle(handle_)) != 0;
}

int64_t CFile::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(Handle(handle_), &size)) return -1;
  return size.QuadPart;
}

bool CFile::Close() {
  if (!IsOpen()) return true;
  bool injected = CheckFileFault(FileOp::Close, path_) != Fault::None;
  bool ok = CloseHandle(Handle(handle_)) != 0;
  handle_ = kClosed;
  return ok && !injected;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolder(const std::string& path) {
  if (CheckFileFault(FileOp::CreateFolder, path) != Fault::None) return false;
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const std::string& path) {
  if (CheckFileFault(FileOp::Delete, path) != Fault::None) return false;
  if (DeleteFileA(path.c_str())) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (CheckFileFault(FileOp::Replace, to) != Fault::None) return false;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    if (attempt == kReplaceAttempts || !TargetInUse(GetLastError())) return false;
    Sleep(kReplaceRetryMs);
  }
}

}  // namespace platform
