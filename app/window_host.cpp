#include "app/window_host.h"

#include <cstdio>

#include "platform/user.h"

bool CWindowHost::NamedInstallPath(CInstallPathLocation& location) {
  location = settings_.installPath;
  return settings_.namesInstallPath;
}

uint16_t CWindowHost::SystemDefaultLanguage() {
  return platform::GetSystemDefaultLanguage();
}

bool CWindowHost::ReadInstallPath(const CInstallPathLocation& location, std::string& path) {
  const platform::SettingsRoot root = location.root == CSettingsRoot::kCurrentUser
                                          ? platform::SettingsRoot::kUser
                                          : platform::SettingsRoot::kMachine;
  return platform::ReadSetting(root, location.key.c_str(), location.valueName.c_str(), path);
}

std::string CWindowHost::ChooseFolder(const char* title) {
  return platform::BrowseForFolder(window, title);
}

bool CWindowHost::AskYesNo(const char* text, const char* caption) {
  return platform::AskYesNo(window, text, caption);
}

void CWindowHost::Diagnostic(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void CWindowHost::PostResult(const CPatchOutcome& outcome) {
  // The window reads the reason from the status line it already shows.
  platform::PostWindowMessage(window, WM_PATCH_RESULT, outcome.completed ? 1 : 0);
}
