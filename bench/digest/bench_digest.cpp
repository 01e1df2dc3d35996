// Throughput of the release manifest's content digest (XXH3-128) against the
// project's MD5 and the MurmurHash3 x64_128 that came before it: over MIB
// mebibytes in memory, in 1 MiB pieces, or in the cache, one 256 KiB piece
// again and again (the patcher digests what it has just written); or over a
// file read in 1 MiB pieces (as sha256sum and md5sum read it).
//
//   qelpatch-bench-digest memory|cache xxh3|md5|murmur3 MIB
//   qelpatch-bench-digest file xxh3|md5|murmur3 FILE
//
// Prints the digest and the decimal megabytes a second of one pass, by the
// wall clock and by the processor time used (the figure that a shared machine
// disturbs less; under Windows std::clock is the wall clock).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "digest/content_digest.h"
#include "digest/digest_text.h"
#include "digest/md5.h"

namespace {
// MurmurHash3 x64_128, seed 0, streamed: kept here only as the comparison
// point for the digest it replaced.
class CMurmur3 {
 public:
  void Update(const uint8_t* data, size_t size) {
    length_ += size;
    if (tailSize_ != 0) {
      const size_t take = size < 16 - tailSize_ ? size : 16 - tailSize_;
      std::memcpy(tail_ + tailSize_, data, take);
      tailSize_ += take;
      data += take;
      size -= take;
      if (tailSize_ < 16) return;
      Block(tail_);
      tailSize_ = 0;
    }
    for (; size >= 16; data += 16, size -= 16) Block(data);
    if (size != 0) std::memcpy(tail_, data, size);
    tailSize_ = size;
  }

  std::string Hex() const {
    uint64_t h1 = h1_;
    uint64_t h2 = h2_;
    uint64_t k1 = 0;
    uint64_t k2 = 0;
    for (size_t i = tailSize_; i > 8; --i) k2 = (k2 << 8) | tail_[i - 1];
    for (size_t i = tailSize_ < 8 ? tailSize_ : 8; i > 0; --i) k1 = (k1 << 8) | tail_[i - 1];
    if (tailSize_ > 8) h2 ^= MixK2(k2);
    if (tailSize_ > 0) h1 ^= MixK1(k1);
    h1 ^= length_;
    h2 ^= length_;
    h1 += h2;
    h2 += h1;
    h1 = Mix(h1);
    h2 = Mix(h2);
    h1 += h2;
    h2 += h1;
    uint8_t digest[16];
    for (int i = 0; i < 8; ++i) {
      digest[i] = static_cast<uint8_t>(h1 >> (8 * i));
      digest[8 + i] = static_cast<uint8_t>(h2 >> (8 * i));
    }
    return DigestToHex(digest);
  }

 private:
  static uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
  static uint64_t Load64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
  }
  static uint64_t Mix(uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdull;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ull;
    return k ^ (k >> 33);
  }
  static uint64_t MixK1(uint64_t k) {
    return Rotl(k * 0x87c37b91114253d5ull, 31) * 0x4cf5ad432745937full;
  }
  static uint64_t MixK2(uint64_t k) {
    return Rotl(k * 0x4cf5ad432745937full, 33) * 0x87c37b91114253d5ull;
  }

  void Block(const uint8_t* block) {
    h1_ ^= MixK1(Load64(block));
    h1_ = Rotl(h1_, 27) + h2_;
    h1_ = h1_ * 5 + 0x52dce729;
    h2_ ^= MixK2(Load64(block + 8));
    h2_ = Rotl(h2_, 31) + h1_;
    h2_ = h2_ * 5 + 0x38495ab5;
  }

  uint64_t h1_ = 0;
  uint64_t h2_ = 0;
  uint64_t length_ = 0;
  uint8_t tail_[16] = {};
  size_t tailSize_ = 0;
};

class CMd5 {
 public:
  void Update(const uint8_t* data, size_t size) { md5_.Update(data, static_cast<uint32_t>(size)); }
  std::string Hex() {
    uint8_t digest[16];
    md5_.GetDigest(digest);
    return DigestToHex(digest);
  }

 private:
  CMD5Hash md5_;
};

class CXxh3 {
 public:
  void Update(const uint8_t* data, size_t size) { digest_.Update(data, size); }
  std::string Hex() const { return digest_.Final().Hex(); }

 private:
  CContentDigest digest_;
};

constexpr size_t kPiece = 1 << 20;
constexpr size_t kCachePiece = 256 << 10;
using Clock = std::chrono::steady_clock;

struct CPiece {
  const uint8_t* data;
  size_t size;
};

// Feeds the input piece by piece; `next` gives an empty piece at the end.
template <class TDigest, class TNext>
int Run(const char* name, TNext next) {
  TDigest digest;
  uint64_t total = 0;
  const auto start = Clock::now();
  const std::clock_t cpuStart = std::clock();
  for (CPiece piece; (piece = next()).size > 0; total += piece.size)
    digest.Update(piece.data, piece.size);
  const std::string hex = digest.Hex();
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%s %s %llu bytes: wall %.3f s %.0f MB/s, cpu %.3f s %.0f MB/s\n", name, hex.c_str(),
              static_cast<unsigned long long>(total), wall, total / wall / 1e6, cpu,
              total / cpu / 1e6);
  return 0;
}

// `mebibytes` of input in pieces of `pieceSize`, from a buffer of
// `bufferSize` bytes made before the clock starts: one larger than any cache
// reads from memory, one piece long stays in the cache, as what the patcher
// has just written does.
template <class TDigest>
int RunMemory(const char* name, size_t mebibytes, size_t bufferSize, size_t pieceSize) {
  std::vector<uint8_t> data(bufferSize);
  uint32_t state = 1;
  for (uint8_t& b : data) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  const uint64_t total = uint64_t{mebibytes} << 20;
  uint64_t done = 0;
  return Run<TDigest>(name, [&] {
    const CPiece piece{data.data() + done % bufferSize, done == total ? 0 : pieceSize};
    done += piece.size;
    return piece;
  });
}

template <class TDigest>
int RunFile(const char* name, const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "cannot open %s\n", path);
    return 1;
  }
  std::vector<uint8_t> piece(kPiece);
  const int status = Run<TDigest>(name, [&] {
    return CPiece{piece.data(), std::fread(piece.data(), 1, kPiece, file)};
  });
  std::fclose(file);
  return status;
}

template <class TDigest>
int RunMode(const std::string& mode, const char* name, const char* argument) {
  const size_t mebibytes = std::strtoul(argument, nullptr, 10);
  if (mode == "memory") return RunMemory<TDigest>(name, mebibytes, mebibytes << 20, kPiece);
  if (mode == "cache") return RunMemory<TDigest>(name, mebibytes, kCachePiece, kCachePiece);
  if (mode == "file") return RunFile<TDigest>(name, argument);
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string algorithm = argc == 4 ? argv[2] : "";
  int status = 2;
  if (algorithm == "xxh3") status = RunMode<CXxh3>(argv[1], "xxh3-128", argv[3]);
  if (algorithm == "md5") status = RunMode<CMd5>(argv[1], "md5", argv[3]);
  if (algorithm == "murmur3") status = RunMode<CMurmur3>(argv[1], "murmur3-128", argv[3]);
  if (status == 2)
    std::fprintf(stderr,
                 "usage: qelpatch-bench-digest memory|cache|file xxh3|md5|murmur3 MIB|FILE\n");
  return status;
}
