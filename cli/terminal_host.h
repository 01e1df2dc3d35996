#pragma once
// The console patcher's host: the terminal stands in for the window. The
// installation path is --game's folder, else QELPATCH_INSTALL_PATH (which
// stands in for the registry value, on Windows too), else the folder typed
// at the "Select Directory" prompt; the question is asked on the terminal;
// diagnostic lines go to standard output; the result is kept for the front
// end's thread, which waits for it.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "engine/patch_host.h"

class CTerminalHost : public CPatchHost {
 public:
  // The longest stored path taken, as the registry value's buffer holds
  // 1023 bytes and its end.
  static constexpr size_t kLongestStoredPath = 1023;

  // `gameFolder`: the folder --game named, or empty; `terminal`: whether
  // standard error holds a progress line to clear before a prompt.
  CTerminalHost(std::string gameFolder, bool terminal)
      : gameFolder_(std::move(gameFolder)), terminal_(terminal) {}

  bool NamedInstallPath(CInstallPathLocation&) override { return false; }
  uint16_t SystemDefaultLanguage() override;
  bool ReadInstallPath(const CInstallPathLocation& location, std::string& path) override;
  std::string ChooseFolder(const char* title) override;
  bool AskYesNo(const char* text, const char* caption) override;
  void Diagnostic(const std::string& line) override;
  void PostResult(const CPatchOutcome& outcome) override;

  // True while the worker waits for an answer, so the progress line keeps
  // quiet.
  bool PromptOpen() const { return promptOpen_; }
  // Waits up to `milliseconds` for the result; true with it once posted.
  bool WaitFor(int milliseconds, CPatchOutcome& outcome);

 private:
  // Reads one line from standard input; false at its end.
  bool ReadAnswer(std::string& line);

  const std::string gameFolder_;
  const bool terminal_;
  std::atomic<bool> promptOpen_{false};
  std::mutex mutex_;
  std::condition_variable posted_;
  bool hasResult_ = false;
  CPatchOutcome outcome_;
};
