#include "container/windows_names.h"

#include <cctype>

#include "base/path_text.h"
#include "base/refusal.h"

namespace {
std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A device name stands for the device whatever follows its first dot.
// Windows takes the superscript digits ¹ ² ³ for port numbers too; they are
// seen here in UTF-8.
bool IsDeviceName(const std::string& part, uint32_t codePage) {
  const std::string base = Upper(part.substr(0, part.find('.')));
  // Trailing spaces before the dot do not make it another name.
  const std::string trimmed = base.substr(0, base.find_last_not_of(' ') + 1);
  if (trimmed == "CON" || trimmed == "PRN" || trimmed == "AUX" || trimmed == "NUL") return true;
  const bool port = trimmed.compare(0, 3, "COM") == 0 || trimmed.compare(0, 3, "LPT") == 0;
  const std::string number = trimmed.size() > 3 ? trimmed.substr(3) : std::string();
  if (port && codePage == kCodePageUtf8 &&
      (number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3"))
    return true;
  return port && number.size() == 1 && number[0] >= '1' && number[0] <= '9';
}

// `codePage` tells which bytes are the second of a double-byte character,
// which may be any byte, '\\' and '|' included.
bool CheckPart(const std::string& part, uint32_t codePage, std::string* why) {
  for (size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    const unsigned char byte = static_cast<unsigned char>(c);
    if (IsLeadByte(codePage, byte) && i + 1 < part.size()) {
      ++i;
      continue;
    }
    if (byte < 0x20) return Refuse(why, "it holds a control character");
    if (std::string("<>:\"|?*\\").find(c) != std::string::npos)
      return Refuse(why, std::string("it holds the character ") + c +
                             ", which Windows does not allow in a name");
  }
  if (IsDeviceName(part, codePage))
    return Refuse(why, "\"" + part + "\" is a device name on Windows, not a file");
  if (!part.empty() && (part.back() == '.' || part.back() == ' '))
    return Refuse(why, "\"" + part + "\" ends in a " + (part.back() == '.' ? "dot" : "space") +
                           ", which Windows drops");
  return true;
}
}  // namespace

bool CheckWindowsName(const std::string& name, std::string* why) {
  size_t start = 0;
  for (;;) {
    const size_t end = name.find('/', start);
    if (!CheckPart(name.substr(start, end == std::string::npos ? end : end - start), kCodePageUtf8,
                   why))
      return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool CheckWindowsPathName(const std::string& name, uint32_t codePage, std::string* why) {
  size_t start = 0;
  for (;;) {
    const size_t end = NextSeparator(name, start, codePage);
    if (!CheckPart(name.substr(start, end == std::string::npos ? end : end - start), codePage, why))
      return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}
