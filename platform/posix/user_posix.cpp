// The terminal stands in for the window: the installation path setting comes
// from QELPATCH_INSTALL_PATH, the folder dialog and the question read a line
// from standard input.
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/platform.h"
#include "platform/posix/front_end.h"

namespace platform {
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

uint16_t GetSystemDefaultLanguage() {
  // The POSIX stand-in has no system language setting; English (US).
  return 0x0409;
}

bool ReadMachineSetting(const char*, const char*, std::string& value) {
  const char* path = std::getenv("QELPATCH_INSTALL_PATH");
  if (path == nullptr || *path == '\0') return false;
  value = path;
  return value.size() < 1024;
}

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

void PostResult(WindowHandle window, uint32_t message, uintptr_t wParam) {
  static_cast<CResultMailbox*>(window)->Post(message, wParam);
}

void CResultMailbox::Post(uint32_t, uintptr_t wParam) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (hasResult_) return;
  hasResult_ = true;
  wParam_ = wParam;
  posted_.notify_all();
}

bool CResultMailbox::WaitFor(int milliseconds, uintptr_t& wParam) {
  std::unique_lock<std::mutex> hold(mutex_);
  posted_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return hasResult_; });
  wParam = wParam_;
  return hasResult_;
}

}  // namespace platform
