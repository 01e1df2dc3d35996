// The folder listing's system calls on Windows: FindFirstFileEx on long
// paths, names in UTF-8.
#include "base/refusal.h"
#include "platform/folder_listing_os.h"
#include "platform/win32/wide_path.h"

namespace listing_os {
namespace {
// A link (a reparse point) that is not a folder counts as a file when its
// target is there.
EntryKind KindOf(const WIN32_FIND_DATAW& found, const std::string& folder) {
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      GetFileAttributesW(LongPath(Widen(folder, CP_UTF8) + L"\\" + found.cFileName).c_str()) ==
          INVALID_FILE_ATTRIBUTES)
    return EntryKind::kOther;
  return EntryKind::kFile;
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
    entries.push_back(CFolderEntry{Utf8(name), KindOf(found, folder)});
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

}  // namespace listing_os
