#pragma once
// The digest of a file's whole content that a release manifest records:
// XXH3-128 (seed 0, the default secret), fed in pieces of any size. The
// patcher checks it while it writes each file, so it must keep up with the
// disk: XXH3 takes about 11 GB/s on x86-64, 1.5 times MurmurHash3 and twenty
// times MD5, and its main loop needs only 32x32->64 multiplications, which
// the 32-bit patcher has natively (MurmurHash3's 64-bit ones cost it three
// times the instructions). It catches accidental damage (a flipped bit, a
// torn or truncated file); the release's signature, not this, guards against
// tampering.

#include <cstddef>
#include <cstdint>
#include <string>

struct CDigest128 {
  // XXH3-128's canonical form: the high 64 bits first, each half most
  // significant byte first (as xxhsum -H2 prints it).
  uint8_t bytes[16] = {};
  bool operator==(const CDigest128& other) const;
  bool operator!=(const CDigest128& other) const { return !(*this == other); }
  // 32 lower-case hexadecimal characters.
  std::string Hex() const;
};

class CContentDigest {
 public:
  // The input is taken in blocks of this size; the last one waits for Final.
  static constexpr size_t kBlock = 1024;

  CContentDigest();
  void Update(const uint8_t* data, size_t size);
  // The digest of everything fed so far; the state is left as it was.
  CDigest128 Final() const;
  uint64_t Length() const { return length_; }

  static CDigest128 Of(const uint8_t* data, size_t size);

 private:
  uint64_t acc_[8];
  uint64_t length_ = 0;
  uint8_t buffer_[kBlock];
  size_t buffered_ = 0;
  // The last stripe of the latest block taken in: the input's last 64 bytes
  // reach back into it when fewer than 64 follow.
  uint8_t previousStripe_[64];
};
