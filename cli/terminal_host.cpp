#include "cli/terminal_host.h"

#include <cctype>
#include <chrono>

#include "platform/command_line.h"
#include "platform/terminal.h"

uint16_t CTerminalHost::SystemDefaultLanguage() {
  // It only chooses where the path is stored, which the environment stands
  // in for: English (US).
  return 0x0409;
}

bool CTerminalHost::ReadInstallPath(const CInstallPathLocation&, std::string& path) {
  if (!gameFolder_.empty()) {
    path = gameFolder_;
    return true;
  }
  path = EnvironmentVariable("QELPATCH_INSTALL_PATH");
  return !path.empty() && path.size() <= kLongestStoredPath;
}

bool CTerminalHost::ReadAnswer(std::string& line) {
  promptOpen_ = true;
  if (terminal_) WriteTerminal(TerminalStream::kError, "\r\033[K");
  bool ok = ReadTerminalLine(line);
  promptOpen_ = false;
  return ok;
}

std::string CTerminalHost::ChooseFolder(const char* title) {
  WriteTerminal(TerminalStream::kOutput, std::string(title) + "\n");
  std::string line;
  if (!ReadAnswer(line)) return std::string();
  return line;
}

bool CTerminalHost::AskYesNo(const char* text, const char* caption) {
  WriteTerminal(TerminalStream::kOutput, std::string(caption) + "\n" + text + "\n");
  std::string line;
  if (!ReadAnswer(line)) return false;
  for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return line == "y" || line == "yes";
}

void CTerminalHost::Diagnostic(const std::string& line) {
  WriteTerminal(TerminalStream::kOutput, line + "\n");
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
