#include "builder/game_folder.h"

#include <algorithm>
#include <map>

#include "base/refusal.h"
#include "container/patch_container.h"
#include "container/windows_names.h"
#include "platform/folder_listing.h"
#include "platform/text_conversion.h"

namespace {
// Decodes one UTF-8 character at `at`; a byte that starts none stands alone.
uint32_t NextCodePoint(const std::string& text, size_t& at) {
  const unsigned char first = static_cast<unsigned char>(text[at++]);
  const int extra = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
  uint32_t code = extra == 0 ? first : first & (0x3F >> extra);
  for (int i = 0; i < extra && at < text.size(); ++i)
    code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
  return code;
}

// The spelling Windows compares names in: letter case aside, in every script.
std::u32string FoldedForWindows(const std::string& name) {
  std::u32string folded;
  for (size_t at = 0; at < name.size();) folded.push_back(FoldLetterCase(NextCodePoint(name, at)));
  return folded;
}
}  // namespace

bool ListGameFolder(const std::string& folder, std::vector<std::string>& names, std::string* why) {
  names.clear();
  if (!ListFilesBelow(folder, names, why)) return false;
  std::sort(names.begin(), names.end());
  return true;
}

bool CheckReleaseNames(const std::string& folder, const std::vector<std::string>& names,
                       const CNameEncoder& encoder, std::vector<std::string>& releaseNames,
                       std::string* why) {
  releaseNames.clear();
  std::map<std::u32string, const std::string*> seen;
  std::string reason;
  for (const std::string& name : names) {
    const std::string where = folder + "/" + name;
    std::string encoded;
    if (!CheckWindowsName(name, &reason) || !encoder.Encode(name, encoded, &reason))
      return Refuse(why, where + ": cannot be patched on Windows: " + reason);
    if (encoded.size() >= kNameFieldSize)
      return Refuse(why, where + ": names of 1024 bytes or more do not fit a release");
    if (!IsSafeRelativeName(encoded, encoder.CodePage()))
      return Refuse(why, where + ": a name starting with .temp_ is the patcher's own");
    auto clash = seen.emplace(FoldedForWindows(name), &name);
    if (!clash.second)
      return Refuse(why, folder + "/" + *clash.first->second + " and " + where +
                             ": the names differ only in letter case, and Windows takes them "
                             "for one file");
    releaseNames.push_back(encoded);
  }
  return true;
}
