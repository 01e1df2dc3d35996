#include "digest/digest_text.h"

std::string DigestToHex(const uint8_t digest[16]) {
  static const char kHex[] = "0123456789abcdef";
  std::string text(32, '0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  return text;
}
