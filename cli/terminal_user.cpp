// The dialogs of platform/user.h on the terminal: the folder chooser and the
// question print their text and read a line from standard input; the result
// is posted into the mailbox that stands in for the window.
#include "cli/terminal_user.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "cli/result_mailbox.h"
#include "platform/user.h"

namespace {
std::atomic<bool> g_promptOpen{false};

// Reads one line from standard input; false at end of input.
bool ReadAnswer(std::string& line) {
  g_promptOpen = true;
  if (isatty(STDERR_FILENO)) std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  bool ok = static_cast<bool>(std::getline(std::cin, line));
  g_promptOpen = false;
  return ok;
}
}  // namespace

bool PromptOpen() {
  return g_promptOpen;
}

namespace platform {

std::string BrowseForFolder(WindowHandle, const char* title) {
  std::printf("%s\n", title);
  std::fflush(stdout);
  std::string line;
  if (!ReadAnswer(line)) return std::string();
  return line;
}

bool AskYesNo(WindowHandle, const char* text, const char* caption) {
  std::printf("%s\n%s\n", caption, text);
  std::fflush(stdout);
  std::string line;
  if (!ReadAnswer(line)) return false;
  for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return line == "y" || line == "yes";
}

void PostResult(WindowHandle window, uint32_t, uintptr_t wParam) {
  static_cast<CResultMailbox*>(window)->Post(wParam);
}

}  // namespace platform
