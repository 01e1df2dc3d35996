#include "builder/verify_user.h"

#include "platform/embedded_data.h"
#include "platform/user.h"

namespace {
std::string g_installPath;
bool g_completed = false;
}  // namespace

namespace verify_user {

void SetInstallPath(const std::string& path) {
  g_installPath = path;
  g_completed = false;
}

bool Completed() {
  return g_completed;
}

}  // namespace verify_user

namespace platform {

uint16_t GetSystemDefaultLanguage() {
  return 0x0409;
}

bool ReadMachineSetting(const char*, const char*, std::string& value) {
  value = g_installPath;
  return !value.empty();
}

std::string BrowseForFolder(WindowHandle, const char*) {
  return std::string();
}

bool AskYesNo(WindowHandle, const char*, const char*) {
  return false;
}

void PostResult(WindowHandle, uint32_t, uintptr_t wParam) {
  g_completed = wParam == 1;
}

// The release comes from the check (CPatchWorker::UseRelease).
bool FindPatchData(const uint8_t*&, uint32_t&) {
  return false;
}

}  // namespace platform
