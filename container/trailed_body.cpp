#include "container/trailed_body.h"

#include <cstring>

#include "base/little_endian.h"
#include "base/refusal.h"
#include "digest/content_digest.h"

bool EndsInTrailer(const uint8_t* data, uint64_t size, const char* magic) {
  return size >= kTrailerSize && std::memcmp(data + size - 8, magic, 8) == 0;
}

bool TrailedBody(const uint8_t* data, uint64_t size, const std::string& what, const uint8_t*& body,
                 uint32_t& bodySize, std::string* why) {
  const uint8_t* end = data + size - kTrailerSize;
  bodySize = GetU32(end + 16);
  if (bodySize > size - kTrailerSize)
    return Refuse(why, what + "'s size reaches past the start of the file");
  body = end - bodySize;
  CDigest128 recorded;
  std::memcpy(recorded.bytes, end, sizeof recorded.bytes);
  if (CContentDigest::Of(body, bodySize) != recorded)
    return Refuse(why, what + "'s digest does not match");
  return true;
}
