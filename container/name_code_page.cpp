#include "container/name_code_page.h"

#include "base/path_text.h"
#include "base/refusal.h"
#include "platform/text_conversion.h"

namespace {
bool IsAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > 0x7F) return false;
  return true;
}

// The combining tone marks of code page 1258: grave, acute, tilde, hook
// above and dot below.
bool IsToneMark(uint32_t codePage, uint8_t byte) {
  return codePage == 1258 &&
         (byte == 0xCC || byte == 0xEC || byte == 0xDE || byte == 0xD2 || byte == 0xF2);
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
  if (!ConvertCodePage(kCodePageUtf8, codePage_, utf8, encoded))
    return Refuse(why, "code page " + std::to_string(codePage_) + " cannot hold the name");
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (IsToneMark(codePage_, static_cast<uint8_t>(encoded[i])))
      return Refuse(why,
                    "code page 1258 writes a tone mark of the name as a character of its "
                    "own, which Windows and Linux join to the letter before it differently");
    if (encoded[i] == '\\')
      return Refuse(why, "in code page " + std::to_string(codePage_) +
                             " a character of the name is written as the byte of '\\', which "
                             "splits the name into folders");
    if (!IsLeadByte(codePage_, static_cast<uint8_t>(encoded[i]))) continue;
    if (i + 1 < encoded.size() && encoded[i + 1] == '\\')
      return Refuse(why, "in code page " + std::to_string(codePage_) +
                             " a character of the name ends in the byte of '\\', which many "
                             "Windows programs take for a folder separator");
    ++i;
  }
  return true;
}

bool CNameEncoder::ReadsBack(const std::string& encoded, const std::string& utf8,
                             std::string* why) const {
  if (codePage_ == 0 || IsAscii(utf8)) return true;
  std::string decoded;
  for (size_t i = 0; i < encoded.size();) {
    const size_t length =
        IsLeadByte(codePage_, static_cast<uint8_t>(encoded[i])) && i + 1 < encoded.size() ? 2 : 1;
    std::string character;
    if (!ConvertCodePage(codePage_, kCodePageUtf8, encoded.substr(i, length), character))
      return Refuse(why, "code page " + std::to_string(codePage_) +
                             " writes the name as bytes it does not read back");
    decoded += character;
    i += length;
  }
  if (decoded != utf8)
    return Refuse(why, "code page " + std::to_string(codePage_) +
                           " writes the name as bytes that read back as \"" + decoded + "\"");
  return true;
}

std::string CNameEncoder::Decode(const std::string& encoded) const {
  std::string utf8;
  if (codePage_ == 0 || IsAscii(encoded) ||
      !ConvertCodePage(codePage_, kCodePageUtf8, encoded, utf8))
    return encoded;
  return utf8;
}
