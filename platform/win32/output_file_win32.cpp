// The output file's calls on Windows: a new file beside the target, then
// FlushFileBuffers and a write-through MoveFileEx over it, which NTFS makes
// durable with no sync of the folder (power_loss.md).
#include "base/refusal.h"
#include "platform/output_file_os.h"
#include "platform/win32/wide_path.h"

namespace output_os {
namespace {
HANDLE Of(Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

bool RefuseWithLastError(std::string* why, DWORD error = GetLastError()) {
  return Refuse(why, ErrorMessage(error));
}

constexpr DWORD kLargestWrite = 1u << 30;
}  // namespace

bool CreateBeside(const std::string& path, std::string& temporary, Handle& file, std::string* why) {
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
    HANDLE created = CreateFileW(LongPath(Widen(name, CP_UTF8)).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
      temporary = name;
      file = reinterpret_cast<Handle>(created);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return RefuseWithLastError(why);
  }
  return RefuseWithLastError(why, ERROR_FILE_EXISTS);
}

bool WriteAll(Handle file, const uint8_t* data, size_t size, std::string* why) {
  while (size != 0) {
    DWORD written = 0;
    const DWORD piece = size < kLargestWrite ? static_cast<DWORD>(size) : kLargestWrite;
    if (!WriteFile(Of(file), data, piece, &written, nullptr) || written == 0)
      return RefuseWithLastError(
          why, written == 0 && GetLastError() == 0 ? ERROR_WRITE_FAULT : GetLastError());
    data += written;
    size -= written;
  }
  return true;
}

// Writes at a position and puts the file's position back, as pwrite leaves it.
bool WriteAt(Handle file, uint64_t position, const uint8_t* data, size_t size, std::string* why) {
  LARGE_INTEGER here = {}, target = {}, zero = {};
  target.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(Of(file), zero, &here, FILE_CURRENT) ||
      !SetFilePointerEx(Of(file), target, nullptr, FILE_BEGIN))
    return RefuseWithLastError(why);
  const bool written = WriteAll(file, data, size, why);
  if (!SetFilePointerEx(Of(file), here, nullptr, FILE_BEGIN) && written)
    return RefuseWithLastError(why);
  return written;
}

bool SyncAndClose(Handle file, std::string* why) {
  const bool synced = FlushFileBuffers(Of(file)) != 0 || RefuseWithLastError(why);
  // The first failure is the one told.
  if (!CloseHandle(Of(file)) && synced) return RefuseWithLastError(why);
  return synced;
}

void Close(Handle file) {
  CloseHandle(Of(file));
}

// Write-through: the move has reached the disk when the call returns.
bool RenameOver(const std::string& from, const std::string& to, std::string* why) {
  return MoveFileExW(LongPath(Widen(from, CP_UTF8)).c_str(), LongPath(Widen(to, CP_UTF8)).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
         RefuseWithLastError(why);
}

void Remove(const std::string& path) {
  DeleteFileW(LongPath(Widen(path, CP_UTF8)).c_str());
}

}  // namespace output_os
