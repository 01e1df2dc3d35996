// The folder listing's system calls on Windows: FindFirstFileEx on long
// paths, names in UTF-8; a path's key from GetFinalPathNameByHandle.
#include "base/refusal.h"
#include "platform/folder_listing_os.h"
#include "platform/win32/wide_path.h"

namespace listing_os {
namespace {
// What a reparse point (a symbolic link, a junction) leads to, or what an
// ordinary entry is.
EntryKind KindOf(const WIN32_FIND_DATAW& found, const std::string& folder) {
  if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::kFolder
                                                             : EntryKind::kFile;
  switch (KindOfPath(folder + "/" + Utf8(found.cFileName))) {
    case PathKind::kFile:
      return EntryKind::kFile;
    case PathKind::kFolder:
      return EntryKind::kFolder;
    default:
      return EntryKind::kOther;
  }
}

class CHandle {
 public:
  explicit CHandle(HANDLE handle) : handle_(handle) {}
  ~CHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE OpenForQuery(const std::wstring& path) {
  return CreateFileW(LongPath(path).c_str(), 0,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Letter case aside, as the file system compares names; '/' between folders.
std::string Comparable(std::wstring path) {
  if (!path.empty()) CharLowerBuffW(&path[0], static_cast<DWORD>(path.size()));
  std::string utf8 = Utf8(path);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

// The final path of an existing file or folder, without the "\\?\" prefix.
bool FinalPath(const std::wstring& path, std::wstring& final, DWORD& error) {
  CHandle file(OpenForQuery(path));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(file.Get(), &buffer[0], static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) {
      error = GetLastError();
      return false;
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length);
  }
  if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    final = L"\\\\" + buffer.substr(8);
  else if (buffer.compare(0, 4, L"\\\\?\\") == 0)
    final = buffer.substr(4);
  else
    final = buffer;
  return true;
}
}  // namespace

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(Widen(path, CP_UTF8)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadFolder(const std::string& folder, std::vector<CFolderEntry>& entries, std::string* why) {
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileExW((LongPath(Widen(folder, CP_UTF8)) + L"\\*").c_str(), FindExInfoBasic, &found,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // Not found: no entries at all.
    return error == ERROR_FILE_NOT_FOUND || Refuse(why, ErrorMessage(error));
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(CFolderEntry{Utf8(name), KindOf(found, folder),
                                   (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  return error == ERROR_NO_MORE_FILES || Refuse(why, ErrorMessage(error));
}

bool FileSize(const std::string& path, uint64_t& size, std::string* why) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPath(Widen(path, CP_UTF8)).c_str(), GetFileExInfoStandard, &data))
    return Refuse(why, ErrorMessage(GetLastError()));
  size = uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
  return true;
}

PathKind KindOfPath(const std::string& path) {
  CHandle file(OpenForQuery(Widen(path, CP_UTF8)));
  if (file.Get() == INVALID_HANDLE_VALUE)
    return IsMissing(GetLastError()) ? PathKind::kMissing : PathKind::kOther;
  // A device (NUL, CON, COM1) opens as well.
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) return PathKind::kOther;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.Get(), &info)) return PathKind::kOther;
  return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kFolder : PathKind::kFile;
}

bool IsSymbolicLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(Widen(path, CP_UTF8)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool PathKey(const std::string& path, std::string& key, std::string* why) {
  // Absolute, with "." and ".." gone, before its parts are looked up.
  std::wstring full = LongPath(Widen(path, CP_UTF8));
  std::wstring final;
  DWORD error = 0;
  if (FinalPath(full, final, error)) {
    key = Comparable(final);
    return true;
  }
  if (!IsMissing(error)) return Refuse(why, ErrorMessage(error));
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  const size_t slash = full.rfind(L'\\');
  if (slash == std::wstring::npos || !FinalPath(full.substr(0, slash + 1), final, error))
    return Refuse(why, ErrorMessage(error));
  if (final.back() != L'\\') final += L'\\';
  key = Comparable(final + full.substr(slash + 1));
  return true;
}

}  // namespace listing_os
