// The installation path setting on Linux: the environment variable
// QELPATCH_INSTALL_PATH stands in for the registry value.
#include <cstdlib>

#include "platform/user.h"

namespace platform {

uint16_t GetSystemDefaultLanguage() {
  // No system language setting; English (US).
  return 0x0409;
}

bool ReadMachineSetting(const char*, const char*, std::string& value) {
  const char* path = std::getenv("QELPATCH_INSTALL_PATH");
  if (path == nullptr || *path == '\0') return false;
  value = path;
  return value.size() < 1024;
}

}  // namespace platform
