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
