#include "container/release_chain.h"

#include "base/byte_cursor.h"
#include "base/little_endian.h"
#include "base/refusal.h"
#include "container/trailed_body.h"

bool ReadReleaseChain(const uint8_t* data, uint64_t size, std::vector<CReleaseStep>& steps,
                      std::string* why) {
  steps.clear();
  if (!EndsInTrailer(data, size, kChainMagic)) {
    steps.push_back(CReleaseStep{data, size});
    return true;
  }
  const uint8_t* body = nullptr;
  uint32_t bodySize = 0;
  if (!TrailedBody(data, size, "the chain index", body, bodySize, why)) return false;
  CByteCursor cursor(body, bodySize);
  const uint32_t version = cursor.ReadU32();
  const uint32_t count = cursor.ReadU32();
  if (cursor.Failed() || version != kChainVersion)
    return Refuse(why, "a chain of version " + std::to_string(version) +
                           ", which this patcher does not know");
  if (count < 2 || uint64_t{count} * 24 != cursor.Remaining())
    return Refuse(why, "the chain's index does not match its count of steps");
  uint64_t at = 0;
  const uint64_t stepsEnd = size - kTrailerSize - bodySize;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t stepSize = cursor.ReadU64();
    CDigest128 digest;
    cursor.Read(digest.bytes, sizeof digest.bytes);
    if (stepSize == 0 || stepSize > stepsEnd - at)
      return Refuse(why, "the chain's steps do not fill the file");
    // Within the file, so within the address space.
    if (CContentDigest::Of(data + at, static_cast<size_t>(stepSize)) != digest)
      return Refuse(why, "the digest of step " + std::to_string(i + 1) + " does not match");
    steps.push_back(CReleaseStep{data + at, stepSize});
    at += stepSize;
  }
  if (at != stepsEnd) return Refuse(why, "the chain's steps do not fill the file");
  return true;
}

std::vector<uint8_t> ChainIndexBytes(const std::vector<CChainStep>& steps) {
  std::vector<uint8_t> body;
  AppendU32(body, kChainVersion);
  AppendU32(body, static_cast<uint32_t>(steps.size()));
  for (const CChainStep& step : steps) {
    AppendU64(body, step.size);
    body.insert(body.end(), step.digest.bytes, step.digest.bytes + sizeof step.digest.bytes);
  }
  return Trailed(std::move(body), kChainMagic);
}
