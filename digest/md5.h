#pragma once
// MD5 (RFC 1321) in the form of that document's reference context.

#include <cstdint>

class CMD5Checksum {
 public:
  CMD5Checksum();
  virtual ~CMD5Checksum() = default;

  void Update(const uint8_t* input, uint32_t length);
  // Appends the padding and the bit count; afterwards the state is the digest.
  // Apply once only.
  void Final();

 protected:
  void Transform(const uint8_t block[64]);

  uint8_t buffer_[64];
  uint32_t count_[2];  // bits taken so far, low word first
  uint32_t state_[4];
};

class CMD5Hash : public CMD5Checksum {
 public:
  // Finishes once (later calls give the same digest) and writes the 16 bytes.
  void GetDigest(uint8_t digest[16]);

 private:
  bool finalized = false;
};
