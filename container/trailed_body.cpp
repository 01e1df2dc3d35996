#include "container/trailed_body.h"

#include <cstring>

#include "base/little_endian.h"
#include "base/refusal.h"
#include "digest/content_digest.h"

void AppendTrailer(std::vector<uint8_t>& out, const CDigest128& digest, uint32_t bodySize,
                   const char* magic) {
  out.insert(out.end(), digest.bytes, digest.bytes + sizeof digest.bytes);
  AppendU32(out, bodySize);
  out.insert(out.end(), magic, magic + 8);
}

std::vector<uint8_t> Trailed(std::vector<uint8_t> body, const char* magic) {
  const CDigest128 digest = CContentDigest::Of(body.data(), body.size());
  const uint32_t size = static_cast<uint32_t>(body.size());
  AppendTrailer(body, digest, size, magic);
  return body;
}

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
