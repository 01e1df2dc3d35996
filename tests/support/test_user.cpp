#include "tests/support/test_user.h"

#include "platform/user.h"

namespace {
CTestUser g_user;
}

CTestUser& ResetTestUser() {
  return g_user = CTestUser();
}
CTestUser& TestUser() {
  return g_user;
}

namespace platform {

uint16_t GetSystemDefaultLanguage() {
  return g_user.language;
}

bool ReadMachineSetting(const char* key, const char* valueName, std::string& value) {
  g_user.settingKeys.push_back(std::string(key) + "|" + valueName);
  if (!g_user.hasSetting) return false;
  value = g_user.setting;
  return true;
}

std::string BrowseForFolder(WindowHandle, const char* title) {
  g_user.folderTitles.push_back(title);
  return g_user.chosenFolder;
}

bool AskYesNo(WindowHandle, const char*, const char* caption) {
  g_user.questionCaptions.push_back(caption);
  if (g_user.answers.empty()) return false;
  bool yes = g_user.answers.front();
  g_user.answers.pop_front();
  return yes;
}

void PostResult(WindowHandle, uint32_t, uintptr_t wParam) {
  g_user.results.push_back(wParam);
}

}  // namespace platform
