// Code pages and letter case by the system's own tables, as Windows itself
// converts and compares file names.
#include "base/path_text.h"
#include "platform/text_conversion.h"
#include "platform/win32/windows_api.h"

uint32_t FoldLetterCase(uint32_t code) {
  if (code > 0xFFFF) return code;
  wchar_t letter[1] = {static_cast<wchar_t>(code)};
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, letter, 1, letter, 1, nullptr, nullptr, 0);
  return letter[0];
}

bool ConvertCodePage(uint32_t fromCodePage, uint32_t toCodePage, const std::string& text,
                     std::string& out) {
  out.clear();
  if (text.empty()) return true;
  const int length = MultiByteToWideChar(fromCodePage, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length == 0) return false;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(fromCodePage, MB_ERR_INVALID_CHARS, text.data(),
                      static_cast<int>(text.size()), &wide[0], length);
  // No best fit: a character the code page lacks must not become another one.
  BOOL lost = FALSE;
  const bool utf8 = toCodePage == kCodePageUtf8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* lostAt = utf8 ? nullptr : &lost;
  const int size =
      WideCharToMultiByte(toCodePage, flags, wide.data(), length, nullptr, 0, nullptr, lostAt);
  if (size == 0 || lost) return false;
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(toCodePage, flags, wide.data(), length, &out[0], size, nullptr, lostAt);
  return !lost;
}
