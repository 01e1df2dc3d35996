#include "tests/support/test_host.h"

#include <cstdio>

namespace {
CTestHost g_host;
}

CTestHost& ResetTestHost() {
  return g_host = CTestHost();
}
CTestHost& TestHost() {
  return g_host;
}

bool CTestHost::NamedInstallPath(CInstallPathLocation& named) {
  named = location;
  return hasLocation;
}

uint16_t CTestHost::SystemDefaultLanguage() {
  return language;
}

bool CTestHost::ReadInstallPath(const CInstallPathLocation& read, std::string& path) {
  settingKeys.push_back(read.key + "|" + read.valueName);
  if (!hasSetting) return false;
  path = setting;
  return true;
}

std::string CTestHost::ChooseFolder(const char* title) {
  folderTitles.push_back(title);
  return chosenFolder;
}

bool CTestHost::AskYesNo(const char*, const char* caption) {
  questionCaptions.push_back(caption);
  if (answers.empty()) return false;
  bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void CTestHost::Diagnostic(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void CTestHost::PostResult(const CPatchOutcome& posted) {
  results.push_back(posted.completed ? 1 : 0);
  outcome = posted;
}
