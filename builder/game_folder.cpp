#include "builder/game_folder.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/path_text.h"
#include "base/refusal.h"
#include "builder/path_pattern.h"
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

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A file of `files` that is a folder of `folders`, letter case aside.
const std::string* FileThatIsAFolder(const std::vector<std::string>& files,
                                     const std::vector<std::string>& folders) {
  std::set<std::u32string> folded;
  for (const std::string& folder : folders) folded.insert(FoldedForWindows(folder));
  for (const std::string& file : files)
    if (folded.count(FoldedForWindows(file))) return &file;
  return nullptr;
}
}  // namespace

bool ListGameFolder(const std::string& folder, const CFolderRules& rules, CGameFolder& listing,
                    std::string* why) {
  CListingRules walk;
  walk.followLinks = rules.followLinks;
  listing.excludeMatched.assign(rules.exclude.size(), false);
  if (!rules.exclude.empty())
    walk.leaveOut = [&rules, &listing](const std::string& path) {
      // Every pattern is tried, so that each one that matches is known.
      bool out = false;
      for (size_t i = 0; i < rules.exclude.size(); ++i)
        if (MatchesPathPattern(rules.exclude[i], path)) out = listing.excludeMatched[i] = true;
      return out;
    };
  listing.files.clear();
  listing.folders.clear();
  const CFoundPath found = [&listing](const std::string& path, bool isFolder, std::string*) {
    (isFolder ? listing.folders : listing.files).push_back(path);
    return true;
  };
  if (!WalkFolder(folder, walk, found, why)) return false;
  // The walk brings the files sorted already.
  std::sort(listing.folders.begin(), listing.folders.end());
  return true;
}

bool CheckFilesAndFolders(const std::string& oldFolder, const CGameFolder& old,
                          const std::string& newFolder, const CGameFolder& latest,
                          std::string* why) {
  if (const std::string* file = FileThatIsAFolder(old.files, latest.folders))
    return Refuse(why, oldFolder + "/" + *file + " is a file and " + newFolder + "/" + *file +
                           " a folder: no player could apply the release, since the patcher "
                           "cannot put files into a folder where a file is installed");
  if (const std::string* file = FileThatIsAFolder(latest.files, old.folders))
    return Refuse(why, oldFolder + "/" + *file + " is a folder and " + newFolder + "/" + *file +
                           " a file: no player could apply the release, since the patcher "
                           "cannot install a file where a folder is");
  return true;
}

bool CheckReleaseNames(const std::string& folder, const std::vector<std::string>& names,
                       const CNameEncoder& encoder, std::vector<std::string>& releaseNames,
                       std::string* why) {
  releaseNames.clear();
  std::map<std::u32string, const std::string*> seen;
  // Only names that are not ASCII can meet in a code page's bytes.
  std::map<std::string, const std::string*> encodedSeen;
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
    if (!IsAscii(name)) {
      // An ASCII name sorts before a name it meets, and is its own encoding.
      const auto ascii = IsAscii(encoded) ? seen.find(FoldedForWindows(encoded)) : seen.end();
      auto same = encodedSeen.emplace(FoldedPath(encoded, encoder.CodePage()), &name);
      const std::string* other = ascii != seen.end() ? ascii->second
                                 : same.second       ? nullptr
                                                     : same.first->second;
      if (other)
        return Refuse(why, folder + "/" + *other + " and " + where + ": code page " +
                               std::to_string(encoder.CodePage()) +
                               " writes both names as the same bytes, and the patcher would "
                               "take them for one file");
    }
    releaseNames.push_back(encoded);
  }
  // Once every clash is found, naming both names of it.
  for (size_t i = 0; i < names.size(); ++i)
    if (!encoder.ReadsBack(releaseNames[i], names[i], &reason))
      return Refuse(why, folder + "/" + names[i] + ": cannot be patched on Windows: " + reason);
  return true;
}
