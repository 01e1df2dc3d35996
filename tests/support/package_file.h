#pragma once
// Package files as the fingerprint reads them: a 32-byte header whose word at
// 20 is the index offset, opaque data, then the index (a 12-byte header of 0,
// the record count and the index length, and length-prefixed records).

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct CPackageImage {
  Bytes bytes;
  uint32_t indexOffset = 0;
  uint32_t indexSize = 0;
};

CPackageImage MakePackage(const Bytes& data, const std::vector<Bytes>& records);

// Deterministic pseudo-random bytes.
Bytes RandomBytes(size_t size, uint32_t seed);
Bytes TextBytes(const std::string& text);
// The MD5 text of a byte range.
std::string Md5Text(const uint8_t* data, size_t size);
