#include "digest/content_digest.h"

#include <cstring>

#include "base/little_endian.h"

namespace {
constexpr uint64_t kPrime32_1 = 0x9E3779B1u;
constexpr uint64_t kPrime32_2 = 0x85EBCA77u;
constexpr uint64_t kPrime32_3 = 0xC2B2AE3Du;
constexpr uint64_t kPrime64_1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime64_2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime64_3 = 0x165667B19E3779F9ull;
constexpr uint64_t kPrime64_4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kPrime64_5 = 0x27D4EB2F165667C5ull;
constexpr uint64_t kPrimeMx1 = 0x165667919E3779F9ull;
constexpr uint64_t kPrimeMx2 = 0x9FB21C651E98DF25ull;

constexpr size_t kStripe = 64;
constexpr size_t kSecretSize = 192;
constexpr size_t kStripesPerBlock = (kSecretSize - kStripe) / 8;
static_assert(kStripe * kStripesPerBlock == CContentDigest::kBlock, "a block is 16 stripes");
constexpr size_t kMaxMedium = 240;

// XXH3's default secret; the seed is 0, so it is used as it is.
const uint8_t kSecret[kSecretSize] = {
    0xb8, 0xfe, 0x6c, 0x39, 0x23, 0xa4, 0x4b, 0xbe, 0x7c, 0x01, 0x81, 0x2c, 0xf7, 0x21, 0xad, 0x1c,
    0xde, 0xd4, 0x6d, 0xe9, 0x83, 0x90, 0x97, 0xdb, 0x72, 0x40, 0xa4, 0xa4, 0xb7, 0xb3, 0x67, 0x1f,
    0xcb, 0x79, 0xe6, 0x4e, 0xcc, 0xc0, 0xe5, 0x78, 0x82, 0x5a, 0xd0, 0x7d, 0xcc, 0xff, 0x72, 0x21,
    0xb8, 0x08, 0x46, 0x74, 0xf7, 0x43, 0x24, 0x8e, 0xe0, 0x35, 0x90, 0xe6, 0x81, 0x3a, 0x26, 0x4c,
    0x3c, 0x28, 0x52, 0xbb, 0x91, 0xc3, 0x00, 0xcb, 0x88, 0xd0, 0x65, 0x8b, 0x1b, 0x53, 0x2e, 0xa3,
    0x71, 0x64, 0x48, 0x97, 0xa2, 0x0d, 0xf9, 0x4e, 0x38, 0x19, 0xef, 0x46, 0xa9, 0xde, 0xac, 0xd8,
    0xa8, 0xfa, 0x76, 0x3f, 0xe3, 0x9c, 0x34, 0x3f, 0xf9, 0xdc, 0xbb, 0xc7, 0xc7, 0x0b, 0x4f, 0x1d,
    0x8a, 0x51, 0xe0, 0x4b, 0xcd, 0xb4, 0x59, 0x31, 0xc8, 0x9f, 0x7e, 0xc9, 0xd9, 0x78, 0x73, 0x64,
    0xea, 0xc5, 0xac, 0x83, 0x34, 0xd3, 0xeb, 0xc3, 0xc5, 0x81, 0xa0, 0xff, 0xfa, 0x13, 0x63, 0xeb,
    0x17, 0x0d, 0xdd, 0x51, 0xb7, 0xf0, 0xda, 0x49, 0xd3, 0x16, 0x55, 0x26, 0x29, 0xd4, 0x68, 0x9e,
    0x2b, 0x16, 0xbe, 0x58, 0x7d, 0x47, 0xa1, 0xfc, 0x8f, 0xf8, 0xb8, 0xd1, 0x7a, 0xd0, 0x31, 0xce,
    0x45, 0xcb, 0x3a, 0x8f, 0x95, 0x16, 0x04, 0x28, 0xaf, 0xd7, 0xfb, 0xca, 0xbb, 0x4b, 0x40, 0x7e,
};

struct U128 {
  uint64_t low;
  uint64_t high;
};

inline uint64_t Read64(const uint8_t* p) {
  return uint64_t{GetU32(p)} | uint64_t{GetU32(p + 4)} << 32;
}

inline uint64_t Secret64(size_t offset) {
  return Read64(kSecret + offset);
}

inline uint32_t Swap32(uint32_t x) {
  return x >> 24 | (x >> 8 & 0xff00) | (x << 8 & 0xff0000) | x << 24;
}

inline uint64_t Swap64(uint64_t x) {
  return uint64_t{Swap32(static_cast<uint32_t>(x))} << 32 | Swap32(static_cast<uint32_t>(x >> 32));
}

inline uint32_t Rotl32(uint32_t x, int r) {
  return x << r | x >> (32 - r);
}

// The full 128-bit product from 32-bit halves: the 32-bit patcher has no
// 128-bit integer type, and the same code on both targets keeps it tested
// where the tests run. It is off the main loop's path.
inline U128 Multiply(uint64_t a, uint64_t b) {
  const uint64_t lowLow = (a & 0xffffffff) * (b & 0xffffffff);
  const uint64_t highLow = (a >> 32) * (b & 0xffffffff);
  const uint64_t lowHigh = (a & 0xffffffff) * (b >> 32);
  const uint64_t highHigh = (a >> 32) * (b >> 32);
  const uint64_t cross = (lowLow >> 32) + (highLow & 0xffffffff) + lowHigh;
  return {cross << 32 | (lowLow & 0xffffffff), (highLow >> 32) + (cross >> 32) + highHigh};
}

inline uint64_t MultiplyFold(uint64_t a, uint64_t b) {
  const U128 product = Multiply(a, b);
  return product.low ^ product.high;
}

inline uint64_t Avalanche(uint64_t x) {
  x ^= x >> 37;
  x *= kPrimeMx1;
  return x ^ x >> 32;
}

inline uint64_t AvalancheXxh64(uint64_t x) {
  x ^= x >> 33;
  x *= kPrime64_2;
  x ^= x >> 29;
  x *= kPrime64_3;
  return x ^ x >> 32;
}

U128 HashUpTo3(const uint8_t* p, size_t size) {
  const uint32_t combined = uint32_t{p[size - 1]} | static_cast<uint32_t>(size) << 8 |
                            uint32_t{p[0]} << 16 | uint32_t{p[size >> 1]} << 24;
  const uint64_t low = (GetU32(kSecret) ^ GetU32(kSecret + 4)) ^ uint64_t { combined };
  const uint64_t high =
      (GetU32(kSecret + 8) ^ GetU32(kSecret + 12)) ^ uint64_t { Rotl32(Swap32(combined), 13) };
  return {AvalancheXxh64(low), AvalancheXxh64(high)};
}

U128 HashUpTo8(const uint8_t* p, size_t size) {
  const uint64_t combined = uint64_t{GetU32(p)} | uint64_t{GetU32(p + size - 4)} << 32;
  const uint64_t value = (Secret64(16) ^ Secret64(24)) ^ combined;
  U128 product = Multiply(value, kPrime64_1 + (uint64_t{size} << 2));
  product.high += product.low << 1;
  product.low ^= product.high >> 3;
  product.low ^= product.low >> 35;
  product.low *= kPrimeMx2;
  product.low ^= product.low >> 28;
  return {product.low, Avalanche(product.high)};
}

U128 HashUpTo16(const uint8_t* p, size_t size) {
  const uint64_t first = Read64(p);
  const uint64_t last = Read64(p + size - 8);
  const uint64_t value1 = (Secret64(32) ^ Secret64(40)) ^ first ^ last;
  const uint64_t value2 = (Secret64(48) ^ Secret64(56)) ^ last;
  U128 product = Multiply(value1, kPrime64_1);
  product.low += uint64_t{size - 1} << 54;
  product.high += value2 + (value2 & 0xffffffff) * (kPrime32_2 - 1);
  product.low ^= Swap64(product.high);
  U128 result = Multiply(product.low, kPrime64_2);
  result.high += product.high * kPrime64_2;
  return {Avalanche(result.low), Avalanche(result.high)};
}

inline uint64_t MixStep(const uint8_t* p, size_t secretOffset) {
  return MultiplyFold(Read64(p) ^ Secret64(secretOffset),
                      Read64(p + 8) ^ Secret64(secretOffset + 8));
}

inline void MixTwoChunks(uint64_t acc[2], const uint8_t* first, const uint8_t* second,
                         size_t secretOffset) {
  acc[0] += MixStep(first, secretOffset);
  acc[1] += MixStep(second, secretOffset + 16);
  acc[0] ^= Read64(second) + Read64(second + 8);
  acc[1] ^= Read64(first) + Read64(first + 8);
}

U128 HashMedium(const uint8_t* p, size_t size) {
  uint64_t acc[2] = {size * kPrime64_1, 0};
  if (size <= 128) {
    for (size_t i = (size - 1) / 32 + 1; i-- > 0;)
      MixTwoChunks(acc, p + 16 * i, p + size - 16 * i - 16, 32 * i);
  } else {
    for (size_t i = 0; i < 4; ++i) MixTwoChunks(acc, p + 32 * i, p + 32 * i + 16, 32 * i);
    acc[0] = Avalanche(acc[0]);
    acc[1] = Avalanche(acc[1]);
    for (size_t i = 4; i < size / 32; ++i)
      MixTwoChunks(acc, p + 32 * i, p + 32 * i + 16, 32 * (i - 4) + 3);
    MixTwoChunks(acc, p + size - 16, p + size - 32, 103);
  }
  const uint64_t high = acc[0] * kPrime64_1 + acc[1] * kPrime64_4 + size * kPrime64_2;
  return {Avalanche(acc[0] + acc[1]), 0 - Avalanche(high)};
}

U128 HashShort(const uint8_t* p, size_t size) {
  if (size == 0)
    return {AvalancheXxh64(Secret64(64) ^ Secret64(72)),
            AvalancheXxh64(Secret64(80) ^ Secret64(88))};
  if (size <= 3) return HashUpTo3(p, size);
  if (size <= 8) return HashUpTo8(p, size);
  if (size <= 16) return HashUpTo16(p, size);
  return HashMedium(p, size);
}

inline void Accumulate(uint64_t acc[8], const uint8_t* stripe, const uint8_t* secret) {
  for (size_t i = 0; i < 8; ++i) {
    const uint64_t data = Read64(stripe + 8 * i);
    const uint64_t keyed = data ^ Read64(secret + 8 * i);
    acc[i ^ 1] += data;
    acc[i] += (keyed & 0xffffffff) * (keyed >> 32);
  }
}

void Round(uint64_t state[8], const uint8_t* block) {
  // A local copy: the input's bytes may alias the state, so the compiler
  // would otherwise store and reload the accumulators for every lane.
  uint64_t acc[8];
  std::memcpy(acc, state, sizeof acc);
  for (size_t n = 0; n < kStripesPerBlock; ++n)
    Accumulate(acc, block + n * kStripe, kSecret + n * 8);
  for (size_t i = 0; i < 8; ++i) {
    acc[i] ^= acc[i] >> 47;
    acc[i] ^= Secret64(kSecretSize - kStripe + 8 * i);
    acc[i] *= kPrime32_1;
  }
  std::memcpy(state, acc, sizeof acc);
}

uint64_t Merge(const uint64_t acc[8], size_t secretOffset, uint64_t start) {
  uint64_t result = start;
  for (size_t i = 0; i < 8; i += 2)
    result += MultiplyFold(acc[i] ^ Secret64(secretOffset + 8 * i),
                           acc[i + 1] ^ Secret64(secretOffset + 8 * i + 8));
  return Avalanche(result);
}
}  // namespace

bool CDigest128::operator==(const CDigest128& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

std::string CDigest128::Hex() const {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

CContentDigest::CContentDigest()
    : acc_{kPrime32_3, kPrime64_1, kPrime64_2, kPrime64_3,
           kPrime64_4, kPrime32_2, kPrime64_5, kPrime32_1} {}

// A block is taken into the accumulators only once input follows it: the last
// block, full or not, ends differently and is left to Final.
void CContentDigest::Update(const uint8_t* data, size_t size) {
  if (size == 0) return;
  length_ += size;
  if (buffered_ + size <= kBlock) {
    std::memcpy(buffer_ + buffered_, data, size);
    buffered_ += size;
    return;
  }
  const uint8_t* lastTaken = buffer_;
  if (buffered_ != 0) {
    const size_t take = kBlock - buffered_;
    std::memcpy(buffer_ + buffered_, data, take);
    data += take;
    size -= take;
    Round(acc_, buffer_);
  }
  for (; size > kBlock; data += kBlock, size -= kBlock) {
    Round(acc_, data);
    lastTaken = data;
  }
  std::memcpy(previousStripe_, lastTaken + kBlock - kStripe, kStripe);
  std::memcpy(buffer_, data, size);
  buffered_ = size;
}

CDigest128 CContentDigest::Final() const {
  U128 hash;
  if (length_ <= kMaxMedium) {
    hash = HashShort(buffer_, buffered_);
  } else {
    uint64_t acc[8];
    std::memcpy(acc, acc_, sizeof acc);
    for (size_t n = 0; n < (buffered_ - 1) / kStripe; ++n)
      Accumulate(acc, buffer_ + n * kStripe, kSecret + n * 8);
    // The last stripe is the input's last 64 bytes, which may reach back
    // into the block taken before.
    uint8_t lastStripe[kStripe];
    if (buffered_ >= kStripe) {
      std::memcpy(lastStripe, buffer_ + buffered_ - kStripe, kStripe);
    } else {
      std::memcpy(lastStripe, previousStripe_ + buffered_, kStripe - buffered_);
      std::memcpy(lastStripe + kStripe - buffered_, buffer_, buffered_);
    }
    Accumulate(acc, lastStripe, kSecret + kSecretSize - kStripe - 7);
    hash = {Merge(acc, 11, length_ * kPrime64_1),
            Merge(acc, kSecretSize - kStripe - 11, ~(length_ * kPrime64_2))};
  }
  CDigest128 digest;
  for (int i = 0; i < 8; ++i) {
    digest.bytes[i] = static_cast<uint8_t>(hash.high >> (56 - 8 * i));
    digest.bytes[8 + i] = static_cast<uint8_t>(hash.low >> (56 - 8 * i));
  }
  return digest;
}

CDigest128 CContentDigest::Of(const uint8_t* data, size_t size) {
  CContentDigest digest;
  digest.Update(data, size);
  return digest.Final();
}
