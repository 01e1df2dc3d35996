// The installation path setting. The key is opened for reading only and never
// created, so a standard user gets the stored path too.
#include "platform/user.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {
constexpr DWORD kValueBufferSize = 1024;

class CKey {
 public:
  ~CKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool Open(SettingsRoot root, const char* path) {
    return RegOpenKeyExW(root == SettingsRoot::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                         Widen(path, CP_UTF8).c_str(), 0, KEY_QUERY_VALUE, &key_) == ERROR_SUCCESS;
  }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};
}  // namespace

uint16_t GetSystemDefaultLanguage() {
  return GetSystemDefaultLangID();
}

bool ReadSetting(SettingsRoot root, const char* key, const char* valueName, std::string& value) {
  CKey opened;
  if (!opened.Open(root, key)) return false;

  // A value that is not text, does not fit, or lacks its terminator is
  // absent. Read in its wide form, so that a folder named outside the ANSI
  // code page keeps every character.
  wchar_t buffer[kValueBufferSize] = {};
  DWORD type = 0;
  DWORD size = sizeof(buffer);
  if (RegQueryValueExW(opened.Get(), Widen(valueName, CP_UTF8).c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  const DWORD units = size / sizeof(wchar_t);
  if (units == 0 || size > sizeof(buffer) || buffer[units - 1] != L'\0') return false;

  if (type == REG_EXPAND_SZ) {
    wchar_t expanded[kValueBufferSize];
    DWORD needed = ExpandEnvironmentStringsW(buffer, expanded, kValueBufferSize);
    if (needed == 0 || needed > kValueBufferSize) return false;
    value = Utf8(expanded);
  } else {
    value = Utf8(buffer);
  }
  return true;
}

}  // namespace platform
