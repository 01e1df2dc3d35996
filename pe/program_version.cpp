#include "pe/program_version.h"

#include "pe/utf16_text.h"

bool IsShownName(const std::string& text, size_t longest) {
  std::u16string wide;
  if (!ToUtf16(text, wide) || wide.empty() || wide.size() > longest) return false;
  for (char16_t c : wide)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}
