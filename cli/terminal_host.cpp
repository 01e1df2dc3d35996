#include "cli/terminal_host.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/command_line.h"

uint16_t CTerminalHost::SystemDefaultLanguage() {
  // No system language setting; English (US).
  return 0x0409;
}

bool CTerminalHost::ReadInstallPath(const CInstallPathLocation&, std::string& path) {
  if (!gameFolder_.empty()) {
    path = gameFolder_;
    return true;
  }
  const char* stored = std::getenv("QELPATCH_INSTALL_PATH");
  if (stored == nullptr || *stored == '\0') return false;
  path = stored;
  return path.size() <= kLongestStoredPath;
}

bool CTerminalHost::ReadAnswer(std::string& line) {
  promptOpen_ = true;
  if (StandardErrorIsTerminal()) std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  bool ok = static_cast<bool>(std::getline(std::cin, line));
  promptOpen_ = false;
  return ok;
}

std::string CTerminalHost::ChooseFolder(const char* title) {
  std::printf("%s\n", title);
  std::fflush(stdout);
  std::string line;
  if (!ReadAnswer(line)) return std::string();
  return line;
}

bool CTerminalHost::AskYesNo(const char* text, const char* caption) {
  std::printf("%s\n%s\n", caption, text);
  std::fflush(stdout);
  std::string line;
  if (!ReadAnswer(line)) return false;
  for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return line == "y" || line == "yes";
}

void CTerminalHost::Diagnostic(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void CTerminalHost::PostResult(const CPatchOutcome& outcome) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (hasResult_) return;
  hasResult_ = true;
  outcome_ = outcome;
  posted_.notify_all();
}

bool CTerminalHost::WaitFor(int milliseconds, CPatchOutcome& outcome) {
  std::unique_lock<std::mutex> hold(mutex_);
  posted_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return hasResult_; });
  outcome = outcome_;
  return hasResult_;
}
