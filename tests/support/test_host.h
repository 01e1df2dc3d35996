#pragma once
// Stands in for the human and the window in the test suites: the installation
// path setting, the folder chooser and the answers to the question are
// scripted here, and what the run asked and posted is recorded. Diagnostic
// lines go to standard output, as the Linux patcher's do.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/patch_host.h"
#include "engine/patch_worker.h"

struct CTestHost : CPatchHost {
  uint16_t language = 0x0409;
  bool hasLocation = false;
  CInstallPathLocation location;  // the program's own, when it has one
  bool hasSetting = false;
  std::string setting;       // the stored installation path
  std::string chosenFolder;  // what the folder chooser gives; empty: cancel
  std::deque<bool> answers;  // Yes/No, in order; none left: No

  std::vector<std::string> settingKeys;   // key + "|" + value name asked for
  std::vector<std::string> folderTitles;  // titles of the folder choosers shown
  std::vector<std::string> questionCaptions;
  std::vector<uintptr_t> results;  // 1 completed, 0 failed, per posted result
  CPatchOutcome outcome;           // the last one posted

  bool NamedInstallPath(CInstallPathLocation& named) override;
  uint16_t SystemDefaultLanguage() override;
  bool ReadInstallPath(const CInstallPathLocation& read, std::string& path) override;
  std::string ChooseFolder(const char* title) override;
  bool AskYesNo(const char* text, const char* caption) override;
  void Diagnostic(const std::string& line) override;
  void PostResult(const CPatchOutcome& posted) override;
};

// A test's release bytes as the worker takes them.
inline CReleaseBytes BytesOf(const std::vector<uint8_t>& release) {
  return CReleaseBytes{release.data(), release.size()};
}

// The suites' shared host, reset to its defaults and returned.
CTestHost& ResetTestHost();
CTestHost& TestHost();
