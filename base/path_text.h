#pragma once
// Narrow paths in a Windows ANSI code page. In the double-byte code pages
// (932, 936, 949 and 950) a lead byte starts a two-byte character whose
// second byte may be '\' (0x5C) or a letter: ソ in 932 is 83 5C. A path is
// split only at separators that are characters of their own, and only such
// letters are folded, as the runtime's multi-byte path functions do. Other
// code pages (1252, UTF-8, ...) have no lead bytes: every byte stands alone.

#include <cstdint>
#include <string>

// UTF-8, the code page of Linux paths and the builder's: no lead bytes here.
constexpr uint32_t kCodePageUtf8 = 65001;

inline bool IsLeadByte(uint32_t codePage, uint8_t byte) {
  switch (codePage) {
    case 932:  // Japanese (Shift JIS)
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // Simplified Chinese (GBK)
    case 949:  // Korean (Unified Hangul Code)
    case 950:  // Traditional Chinese (Big5)
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

inline bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// The position of the first separator character at or after `from` (which
// must be the start of a character), or npos.
inline size_t NextSeparator(const std::string& path, size_t from, uint32_t codePage) {
  for (size_t i = from; i < path.size(); ++i) {
    if (IsPathSeparator(path[i])) return i;
    if (IsLeadByte(codePage, static_cast<uint8_t>(path[i])) && i + 1 < path.size()) ++i;
  }
  return std::string::npos;
}

// The position of the last separator character, or npos.
inline size_t LastSeparator(const std::string& path, uint32_t codePage) {
  size_t last = std::string::npos;
  for (size_t at = NextSeparator(path, 0, codePage); at != std::string::npos;
       at = NextSeparator(path, at + 1, codePage))
    last = at;
  return last;
}

// The start of the path's last component.
inline size_t LastComponentStart(const std::string& path, uint32_t codePage) {
  size_t separator = LastSeparator(path, codePage);
  return separator == std::string::npos ? 0 : separator + 1;
}

// One spelling for the names a Windows file system takes for the same file:
// ASCII letters in lower case and '\' for either separator.
inline std::string FoldedPath(const std::string& path, uint32_t codePage) {
  std::string folded = path;
  for (size_t i = 0; i < folded.size(); ++i) {
    char& c = folded[i];
    if (IsLeadByte(codePage, static_cast<uint8_t>(c)) && i + 1 < folded.size()) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    } else if (c == '/') {
      c = '\\';
    }
  }
  return folded;
}
