// The output file's calls on Windows: a new file beside the target, then
// FlushFileBuffers and a write-through MoveFileEx over it.
#include <string>

#include "platform/utf8_system.h"
#include "platform/win32/wide_path.h"

namespace output_os {
namespace {
HANDLE Of(Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

constexpr DWORD kLargestWrite = 1u << 30;
}  // namespace

bool CreateBeside(const std::string& path, std::string& temporary, Handle& file, int& error) {
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned tag = (GetCurrentProcessId() * 2654435761u) ^ GetTickCount() ^ ++counter;
    char suffix[16];
    for (int i = 0; i < 6; ++i)
      suffix[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[(tag >> (5 * i)) % 36];
    suffix[6] = '\0';
    const std::string name = folder + "." + base + "." + suffix;
    HANDLE created = CreateFileW(LongPath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
      temporary = name;
      file = reinterpret_cast<Handle>(created);
      return true;
    }
    error = static_cast<int>(GetLastError());
    if (error != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

bool WriteAll(Handle file, const uint8_t* data, size_t size, int& error) {
  while (size != 0) {
    DWORD written = 0;
    const DWORD piece = size < kLargestWrite ? static_cast<DWORD>(size) : kLargestWrite;
    if (!WriteFile(Of(file), data, piece, &written, nullptr) || written == 0) {
      error = static_cast<int>(written == 0 && GetLastError() == 0 ? ERROR_WRITE_FAULT
                                                                   : GetLastError());
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Writes at a position and puts the file's position back, as pwrite leaves it.
bool WriteAt(Handle file, uint64_t position, const uint8_t* data, size_t size, int& error) {
  LARGE_INTEGER here = {}, target = {}, zero = {};
  target.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(Of(file), zero, &here, FILE_CURRENT) ||
      !SetFilePointerEx(Of(file), target, nullptr, FILE_BEGIN)) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  const bool written = WriteAll(file, data, size, error);
  if (!SetFilePointerEx(Of(file), here, nullptr, FILE_BEGIN) && written) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  return written;
}

bool SyncAndClose(Handle file, int& error) {
  bool ok = FlushFileBuffers(Of(file)) != 0;
  if (!ok) error = static_cast<int>(GetLastError());
  if (!CloseHandle(Of(file)) && ok) {
    error = static_cast<int>(GetLastError());
    ok = false;
  }
  return ok;
}

void Close(Handle file) {
  CloseHandle(Of(file));
}

bool RenameOver(const std::string& from, const std::string& to, int& error) {
  if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  error = static_cast<int>(GetLastError());
  return false;
}

void Remove(const std::string& path) {
  DeleteFileW(LongPath(path).c_str());
}

std::string ErrorText(int error) {
  return ErrorMessage(error != 0 ? static_cast<DWORD>(error) : ERROR_WRITE_FAULT);
}

}  // namespace output_os
