// The command line, the environment and the program's folder on Windows:
// read as UTF-16 and handed on as UTF-8.
#include "platform/command_line.h"
#include "platform/win32/wide_path.h"

// After <windows.h>, which wide_path.h brings.
#include <shellapi.h>

#include <cstdio>

std::vector<std::string> CommandLineArguments(int, char**) {
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide[i]));
  if (wide) LocalFree(wide);
  return args;
}

std::string FolderWithSeparator(const std::string& folder) {
  const char last = folder.back();
  if (last == '\\' || last == '/' || (folder.size() == 2 && last == ':')) return folder;
  return folder + "\\";
}

std::string EnvironmentVariable(const char* name) {
  const std::wstring wideName = Widen(name, CP_UTF8);
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(wideName.c_str(), &value[0], static_cast<DWORD>(value.size()));
    // Unset, or set and empty.
    if (length == 0) return std::string();
    if (length < value.size()) {
      value.resize(length);
      return Utf8(value);
    }
    // Too small: the length asked for counts the terminating zero.
    value.resize(length);
  }
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void ExitNow(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  // ExitProcess would first stop the other threads wherever they stand and
  // then run the libraries' detach and the runtime's exit handlers, which
  // wait for any lock a stopped thread held (seen under Wine as a console
  // patcher that never ended after its result).
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  ExitProcess(static_cast<UINT>(code));
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
