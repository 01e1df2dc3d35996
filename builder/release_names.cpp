#include "builder/release_names.h"

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "base/path_text.h"
#include "base/refusal.h"
#include "container/patch_container.h"
#include "container/windows_names.h"
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

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The rules one name keeps on its own: its bytes in the release in
// `encoded`, or the refusal in `refusal`.
bool CheckAlone(const std::string& where, const std::string& name, const CNameEncoder& encoder,
                std::string& encoded, std::string& refusal) {
  std::string reason;
  if (!CheckWindowsName(name, &reason) || !encoder.Encode(name, encoded, &reason))
    refusal = where + ": cannot be patched on Windows: " + reason;
  else if (encoded.size() >= kNameFieldSize)
    refusal = where + ": names of 1024 bytes or more do not fit a release";
  else if (!IsSafeRelativeName(encoded, encoder.CodePage()))
    refusal = where + ": a name starting with .temp_ is the patcher's own";
  return refusal.empty();
}

// The spellings in which two names may be one file: a name's, folded for
// Windows; and of a name that is not ASCII, its encoding's as the patcher
// folds it and, when that encoding is ASCII, folded for Windows. Only 32 bits
// of their hashes are kept, so a game of any number of files keeps 4 bytes a
// name (more for names that are not ASCII); the names whose hashes meet are
// few (about a hundred pairs in a million names), and are then compared
// whole.
class CSpellingHashes {
 public:
  explicit CSpellingHashes(uint32_t codePage) : codePage_(codePage) {}

  void Reserve(uint64_t names) { folded_.reserve(static_cast<size_t>(names)); }
  void Add(const std::string& name, const std::string& encoded) {
    folded_.push_back(Folded(name));
    if (IsAscii(name)) return;
    encoded_.push_back(Encoded(encoded));
    if (IsAscii(encoded)) asAscii_.push_back(Folded(encoded));
  }
  // Once every name is added: whether any two hashes meet.
  bool Settle() {
    for (std::vector<uint32_t>* hashes : {&folded_, &encoded_, &asAscii_})
      std::sort(hashes->begin(), hashes->end());
    meetFolded_ = Repeated(folded_);
    for (uint32_t hash : asAscii_)
      if (std::binary_search(folded_.begin(), folded_.end(), hash)) meetFolded_.push_back(hash);
    std::sort(meetFolded_.begin(), meetFolded_.end());
    meetEncoded_ = Repeated(encoded_);
    folded_ = encoded_ = asAscii_ = std::vector<uint32_t>();
    return !meetFolded_.empty() || !meetEncoded_.empty();
  }
  // Whether one of the name's spellings meets another's.
  bool Meets(const std::string& name, const std::string& encoded) const {
    if (Among(meetFolded_, Folded(name))) return true;
    if (IsAscii(name)) return false;
    return Among(meetEncoded_, Encoded(encoded)) ||
           (IsAscii(encoded) && Among(meetFolded_, Folded(encoded)));
  }

 private:
  static uint32_t Folded(const std::string& name) {
    return static_cast<uint32_t>(std::hash<std::u32string>()(FoldedForWindows(name)));
  }
  uint32_t Encoded(const std::string& encoded) const {
    return static_cast<uint32_t>(std::hash<std::string>()(FoldedPath(encoded, codePage_)));
  }
  static std::vector<uint32_t> Repeated(const std::vector<uint32_t>& sorted) {
    std::vector<uint32_t> repeated;
    for (size_t i = 1; i < sorted.size(); ++i)
      if (sorted[i] == sorted[i - 1] && (repeated.empty() || repeated.back() != sorted[i]))
        repeated.push_back(sorted[i]);
    return repeated;
  }
  static bool Among(const std::vector<uint32_t>& sorted, uint32_t hash) {
    return std::binary_search(sorted.begin(), sorted.end(), hash);
  }

  uint32_t codePage_;
  std::vector<uint32_t> folded_, encoded_, asAscii_;
  std::vector<uint32_t> meetFolded_, meetEncoded_;
};

// The rules two names keep, for names taken in their order: each is compared
// with those taken before it.
class CClashes {
 public:
  CClashes(const std::string& folder, uint32_t codePage) : folder_(folder), codePage_(codePage) {}

  // False, with `why` naming both, when the name clashes with one before it.
  bool Take(const std::string& name, const std::string& encoded, std::string* why) {
    const std::string where = folder_ + "/" + name;
    auto clash = seen_.emplace(FoldedForWindows(name), name);
    if (!clash.second)
      return Refuse(why, folder_ + "/" + clash.first->second + " and " + where +
                             ": the names differ only in letter case, and Windows takes them "
                             "for one file");
    if (IsAscii(name)) return true;
    // An ASCII name sorts before a name it meets, and is its own encoding.
    const auto ascii = IsAscii(encoded) ? seen_.find(FoldedForWindows(encoded)) : seen_.end();
    auto same = encodedSeen_.emplace(FoldedPath(encoded, codePage_), name);
    const std::string* other = ascii != seen_.end() ? &ascii->second
                               : same.second        ? nullptr
                                                    : &same.first->second;
    if (other)
      return Refuse(why, folder_ + "/" + *other + " and " + where + ": code page " +
                             std::to_string(codePage_) +
                             " writes both names as the same bytes, and the patcher would "
                             "take them for one file");
    return true;
  }

 private:
  const std::string& folder_;
  uint32_t codePage_;
  std::map<std::u32string, std::string> seen_;
  // Only names that are not ASCII can meet in a code page's bytes.
  std::map<std::string, std::string> encodedSeen_;
};
}  // namespace

std::u32string FoldedForWindows(const std::string& name) {
  std::u32string folded;
  for (size_t at = 0; at < name.size();) folded.push_back(FoldLetterCase(NextCodePoint(name, at)));
  return folded;
}

bool CheckReleaseNames(const std::string& folder, const CRecordSpool& names,
                       const CNameEncoder& encoder, std::string* why) {
  // Each name on its own, up to the first that breaks a rule, and the hashes
  // of the spellings of those before it.
  CSpellingHashes hashes(encoder.CodePage());
  hashes.Reserve(names.Count());
  std::string alone;     // the refusal of the first name that breaks a rule of its own
  std::string readBack;  // of the first one that does not read back
  uint64_t before = 0;   // the names before the first that breaks a rule
  std::string name, encoded;
  CRecordSpool::CReader first(names);
  while (alone.empty() && first.Next(name)) {
    if (!CheckAlone(folder + "/" + name, name, encoder, encoded, alone)) break;
    ++before;
    hashes.Add(name, encoded);
    std::string reason;
    if (readBack.empty() && !encoder.ReadsBack(encoded, name, &reason))
      readBack = folder + "/" + name + ": cannot be patched on Windows: " + reason;
  }
  if (!first.Ended(why)) return false;
  // A clash among those is refused before it; only the names whose hashes
  // meet can clash.
  if (hashes.Settle()) {
    CClashes clashes(folder, encoder.CodePage());
    CRecordSpool::CReader again(names);
    for (uint64_t i = 0; i < before && again.Next(name); ++i)
      if (encoder.Encode(name, encoded, nullptr) && hashes.Meets(name, encoded) &&
          !clashes.Take(name, encoded, why))
        return false;
    if (!again.Ended(why)) return false;
  }
  if (!alone.empty()) return Refuse(why, alone);
  // Once every clash is found, naming both names of it.
  return readBack.empty() || Refuse(why, readBack);
}
