// The installation path setting. The key is opened for reading only and never
// created, so a standard user gets the stored path too.
#include "platform/user.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {
constexpr DWORD kValueBufferSize = 1024;

class CKey {
 public:
  ~CKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool Open(const char* path) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key_) == ERROR_SUCCESS;
  }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};
}  // namespace

uint16_t GetSystemDefaultLanguage() {
  return GetSystemDefaultLangID();
}

bool ReadMachineSetting(const char* key, const char* valueName, std::string& value) {
  CKey opened;
  if (!opened.Open(key)) return false;

  // A value that is not text, does not fit, or lacks its terminator is absent.
  char buffer[kValueBufferSize] = {};
  DWORD type = 0;
  DWORD size = sizeof(buffer);
  if (RegQueryValueExA(opened.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (size == 0 || size > sizeof(buffer) || buffer[size - 1] != '\0') return false;

  if (type == REG_EXPAND_SZ) {
    char expanded[kValueBufferSize];
    DWORD needed = ExpandEnvironmentStringsA(buffer, expanded, sizeof(expanded));
    if (needed == 0 || needed > sizeof(expanded)) return false;
    value = expanded;
  } else {
    value = buffer;
  }
  return true;
}

}  // namespace platform
