// The terminal on Windows: a console is written and read as UTF-16 (the wide
// calls), a redirected stream as bytes, through the C runtime's text mode.
#include <cstdio>
#include <iostream>

#include "platform/terminal.h"
#include "platform/win32/wide_path.h"

namespace {
constexpr wchar_t kEndOfInput = L'\x1A';  // Ctrl+Z, as the console reads it

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}
}  // namespace

void WriteTerminal(TerminalStream stream, const std::string& text) {
  const bool output = stream == TerminalStream::kOutput;
  std::FILE* file = output ? stdout : stderr;
  const HANDLE handle = GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (!IsConsole(handle)) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    return;
  }
  const std::wstring wide = Widen(text, CP_UTF8);
  DWORD written = 0;
  WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

bool ReadTerminalLine(std::string& line) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!IsConsole(input)) return static_cast<bool>(std::getline(std::cin, line));
  // The console hands over the line once Enter is pressed, with its "\r\n",
  // in as many reads as it takes.
  std::wstring wide;
  wchar_t buffer[256];
  while (wide.empty() || wide.back() != L'\n') {
    DWORD read = 0;
    if (!ReadConsoleW(input, buffer, sizeof buffer / sizeof buffer[0], &read, nullptr) || read == 0)
      return false;
    wide.append(buffer, read);
  }
  if (wide[0] == kEndOfInput) return false;
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
  line = Utf8(wide);
  return true;
}

bool RedrawsLinesInPlace() {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(error, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
