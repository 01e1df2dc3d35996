#include "builder/registry_value.h"

#include <cctype>

#include "base/refusal.h"
#include "pe/utf16_text.h"

namespace {
// Far past any real key's path; the program's settings count each part's
// bytes in 16 bits.
constexpr size_t kLongestPath = 1024;

struct CRootName {
  const char* name;
  CSettingsRoot root;
};
const CRootName kRoots[] = {{"HKLM\\", CSettingsRoot::kLocalMachine},
                            {"HKEY_LOCAL_MACHINE\\", CSettingsRoot::kLocalMachine},
                            {"HKCU\\", CSettingsRoot::kCurrentUser},
                            {"HKEY_CURRENT_USER\\", CSettingsRoot::kCurrentUser}};

// Whether `text` begins with `prefix`, letter case aside, as the registry
// compares names.
bool BeginsWith(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}
}  // namespace

bool ParseRegistryValue(const std::string& text, CInstallPathLocation& location, std::string* why) {
  const CRootName* root = nullptr;
  for (const CRootName& candidate : kRoots)
    if (BeginsWith(text, candidate.name)) root = &candidate;
  if (!root)
    return Refuse(why, text +
                           ": not a path below HKLM\\ or HKCU\\ (HKEY_LOCAL_MACHINE\\, "
                           "HKEY_CURRENT_USER\\)");
  const std::string path = text.substr(std::char_traits<char>::length(root->name));
  std::u16string wide;
  if (!ToUtf16(text, wide)) return Refuse(why, text + ": not UTF-8");
  const size_t last = path.rfind('\\');
  bool parts = last != std::string::npos && last + 1 < path.size() && path[0] != '\\' &&
               path.find("\\\\") == std::string::npos;
  for (char c : path) parts = parts && (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  if (!parts)
    return Refuse(why, text + ": not a key and a value's name, e.g. " + root->name +
                           "SOFTWARE\\Studio\\Game\\InstallPath");
  if (path.size() > kLongestPath)
    return Refuse(why, text + ": longer than " + std::to_string(kLongestPath) + " bytes");
  location.root = root->root;
  location.key = path.substr(0, last);
  location.valueName = path.substr(last + 1);
  return true;
}

std::string RegistryValueText(const CInstallPathLocation& location) {
  return (location.root == CSettingsRoot::kCurrentUser ? "HKCU\\" : "HKLM\\") + location.key +
         "\\" + location.valueName;
}
