// The builder's system calls on Windows: wide calls on long paths, names in
// UTF-8 throughout.
#include <malloc.h>

#include "base/path_text.h"
#include "base/refusal.h"
#include "platform/utf8_system.h"
#include "platform/win32/wide_path.h"

// After <windows.h>, which wide_path.h brings.
#include <shellapi.h>

namespace {
bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Walks one folder; `relative` is its path below the root ("" or ending with '/').
bool ListFolder(const std::string& root, const std::string& relative,
                std::vector<std::string>& names, std::string* why) {
  WIN32_FIND_DATAW found;
  const std::string folder =
      relative.empty() ? root : root + "/" + relative.substr(0, relative.size() - 1);
  HANDLE search = FindFirstFileExW((LongPath(folder) + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;  // no entries at all
    return Refuse(why, root + ": cannot read the folder: " + ErrorMessage(error));
  }
  bool ok = true;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::string path = relative + Utf8(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = ListFolder(root, path + "/", names, why);
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT &&
               GetFileAttributesW(LongPath(root + "/" + path).c_str()) == INVALID_FILE_ATTRIBUTES) {
      ok = Refuse(why, root + "/" + path + ": not a regular file (or a broken link)");
    } else {
      names.push_back(path);
    }
  } while (ok && FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (ok && error != ERROR_NO_MORE_FILES)
    return Refuse(why, root + ": cannot read the folder: " + ErrorMessage(error));
  return ok;
}
}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide[i]));
  if (wide) LocalFree(wide);
  return args;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string ToolFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::string utf8 = Utf8(path);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8.substr(0, utf8.find_last_of('/') + 1);
}

bool ListFilesBelow(const std::string& folder, std::vector<std::string>& names, std::string* why) {
  if (!IsFolder(GetFileAttributesW(LongPath(folder).c_str())))
    return Refuse(why, folder + ": no such folder");
  return ListFolder(folder, "", names, why);
}

bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data))
    return Refuse(why, "cannot read " + path + ": " + ErrorMessage(GetLastError()));
  size = uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
  return true;
}

uint32_t FoldLetterCase(uint32_t code) {
  if (code > 0xFFFF) return code;
  wchar_t letter[1] = {static_cast<wchar_t>(code)};
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, letter, 1, letter, 1, nullptr, nullptr, 0);
  return letter[0];
}

bool ConvertCodePage(uint32_t fromCodePage, uint32_t toCodePage, const std::string& text,
                     std::string& out) {
  out.clear();
  if (text.empty()) return true;
  const int length = MultiByteToWideChar(fromCodePage, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length == 0) return false;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(fromCodePage, MB_ERR_INVALID_CHARS, text.data(),
                      static_cast<int>(text.size()), &wide[0], length);
  // No best fit: a character the code page lacks must not become another one.
  BOOL lost = FALSE;
  const bool utf8 = toCodePage == kCodePageUtf8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* lostAt = utf8 ? nullptr : &lost;
  const int size =
      WideCharToMultiByte(toCodePage, flags, wide.data(), length, nullptr, 0, nullptr, lostAt);
  if (size == 0 || lost) return false;
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(toCodePage, flags, wide.data(), length, &out[0], size, nullptr, lostAt);
  return !lost;
}

void* AllocateLarge(size_t bytes, size_t alignment) {
  return _aligned_malloc(bytes, alignment);
}

void FreeLarge(void* memory) {
  _aligned_free(memory);
}
