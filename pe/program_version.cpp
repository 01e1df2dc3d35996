#include "pe/program_version.h"

#include "pe/utf16_text.h"

bool IsProductName(const std::string& text) {
  std::u16string wide;
  if (!ToUtf16(text, wide) || wide.empty() || wide.size() > kProductNameLength) return false;
  for (char16_t c : wide)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}
