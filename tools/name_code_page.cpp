#include "tools/name_code_page.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "base/path_text.h"
#include "base/refusal.h"

namespace {
// Converts all of `text`; false when a character has no place in `to`.
bool Convert(const char* from, const char* to, const std::string& text, std::string& out) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buffer(text.size() * 4 + 4);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* outAt = buffer.data();
  size_t outLeft = buffer.size();
  const bool whole =
      iconv(converter, &in, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(converter);
  out.assign(buffer.data(), outAt);
  return whole;
}

std::string IconvName(uint32_t codePage) {
  return "CP" + std::to_string(codePage);
}

bool IsAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > 0x7F) return false;
  return true;
}
}  // namespace

bool CNameEncoder::IsSupported(uint32_t codePage) {
  return codePage == 0 || codePage == 932 || codePage == 936 || codePage == 949 ||
         codePage == 950 || (codePage >= 1250 && codePage <= 1258);
}

bool CNameEncoder::Encode(const std::string& utf8, std::string& encoded, std::string* why) const {
  if (IsAscii(utf8)) {
    encoded = utf8;
    return true;
  }
  if (codePage_ == 0)
    return Refuse(why,
                  "the name is not ASCII: players' Windows reads names in its own code page, "
                  "so give the one of the players with --name-code-page (932, 936, 949, 950, "
                  "1250-1258) or rename the file");
  if (!Convert("UTF-8", IconvName(codePage_).c_str(), utf8, encoded))
    return Refuse(why, "code page " + std::to_string(codePage_) + " cannot hold the name");
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (!IsLeadByte(codePage_, static_cast<uint8_t>(encoded[i]))) continue;
    if (i + 1 < encoded.size() && encoded[i + 1] == '\\')
      return Refuse(why, "in code page " + std::to_string(codePage_) +
                             " a character of the name ends in the byte of '\\', which many "
                             "Windows programs take for a folder separator");
    ++i;
  }
  return true;
}

std::string CNameEncoder::Decode(const std::string& encoded) const {
  std::string utf8;
  if (codePage_ == 0 || IsAscii(encoded) ||
      !Convert(IconvName(codePage_).c_str(), "UTF-8", encoded, utf8))
    return encoded;
  return utf8;
}
