#pragma once
// File names as the patcher reads them: narrow bytes in the player's ANSI
// code page. The game folders hold UTF-8 names. By default only ASCII names
// are taken, the same bytes in every code page; with a code page given, the
// names are encoded for players of that code page, and a name it cannot hold,
// or whose encoding holds a '\' (0x5C) anywhere, is refused: as a character of
// its own it splits the name into folders (¥ in 932), as a second byte many
// programs take it for one (ソ in 932). So is a name that needs a combining
// tone mark in code page 1258: whether it joins the letter before it differs
// between systems, so the name would not be one file everywhere.

#include <cstdint>
#include <string>

class CNameEncoder {
 public:
  // 0: ASCII names only. Otherwise one of 932, 936, 949, 950, 1250-1258.
  static bool IsSupported(uint32_t codePage);

  explicit CNameEncoder(uint32_t codePage) : codePage_(codePage) {}
  uint32_t CodePage() const { return codePage_; }

  // The release's bytes for a UTF-8 name; false, with `why`, when the name
  // cannot travel.
  bool Encode(const std::string& utf8, std::string& encoded, std::string* why) const;
  // Whether a name's encoding reads back as the name itself, one character
  // at a time as Windows reads it (no tone mark joins the letter before it);
  // false, with `why` saying what it reads as, for a character the code page
  // takes for another (‾ for ~ in 932, a precomposed Vietnamese letter).
  bool ReadsBack(const std::string& encoded, const std::string& utf8, std::string* why) const;
  // Back to UTF-8, for showing names; the bytes themselves when that fails.
  std::string Decode(const std::string& encoded) const;

 private:
  uint32_t codePage_;
};
