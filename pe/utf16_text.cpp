#include "pe/utf16_text.h"

#include <cstdint>

bool ToUtf16(const std::string& utf8, std::u16string& wide) {
  wide.clear();
  for (size_t at = 0; at < utf8.size();) {
    const unsigned char first = static_cast<unsigned char>(utf8[at++]);
    const int extra = first < 0x80    ? 0
                      : first >= 0xF0 ? 3
                      : first >= 0xE0 ? 2
                      : first >= 0xC0 ? 1
                                      : -1;
    if (extra < 0 || first > 0xF4) return false;
    uint32_t code = extra == 0 ? first : first & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
      if (at == utf8.size() || (static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80) return false;
      code = code << 6 | (static_cast<unsigned char>(utf8[at++]) & 0x3F);
    }
    // The shortest form only, and no surrogates or code past Unicode's end.
    static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return false;
    if (code < 0x10000) {
      wide.push_back(static_cast<char16_t>(code));
    } else {
      code -= 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
  }
  return true;
}

std::string ToUtf8(const std::u16string& wide) {
  std::string utf8;
  for (size_t at = 0; at < wide.size(); ++at) {
    uint32_t code = wide[at];
    if (code >= 0xD800 && code < 0xDC00 && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 &&
        wide[at + 1] < 0xE000)
      code = 0x10000 + ((code - 0xD800) << 10) + (wide[++at] - 0xDC00);
    else if (code >= 0xD800 && code < 0xE000)
      code = 0xFFFD;
    if (code < 0x80) {
      utf8.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | code >> 6));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      utf8.push_back(static_cast<char>(0xE0 | code >> 12));
      utf8.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xF0 | code >> 18));
      utf8.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return utf8;
}
