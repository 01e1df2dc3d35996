// Code pages through iconv, letter case through the C.UTF-8 locale.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cctype>
#include <vector>

#include "base/path_text.h"
#include "platform/text_conversion.h"

uint32_t FoldLetterCase(uint32_t code) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (!utf8)
    return code < 0x80 ? static_cast<uint32_t>(std::tolower(static_cast<int>(code))) : code;
  return static_cast<uint32_t>(towlower_l(static_cast<wint_t>(code), utf8));
}

bool ConvertCodePage(uint32_t fromCodePage, uint32_t toCodePage, const std::string& text,
                     std::string& out) {
  const auto name = [](uint32_t codePage) {
    return codePage == kCodePageUtf8 ? std::string("UTF-8") : "CP" + std::to_string(codePage);
  };
  iconv_t converter = iconv_open(name(toCodePage).c_str(), name(fromCodePage).c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buffer(text.size() * 4 + 4);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* outAt = buffer.data();
  size_t outLeft = buffer.size();
  // The closing call writes what a stateful code page still holds: 1258
  // keeps the last letter back, waiting for a tone mark that may follow.
  const bool whole =
      iconv(converter, &in, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
      iconv(converter, nullptr, nullptr, &outAt, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  out.assign(buffer.data(), outAt);
  return whole;
}
