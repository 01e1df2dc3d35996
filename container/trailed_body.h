#pragma once
// A body at the end of a release file (its manifest, a chain's index),
// sealed by a trailer, the file's last 28 bytes:
//
//   0       16    digest         CContentDigest of the body
//   16      4     bodySize
//   20      8     magic          the body's kind
#include <cstdint>
#include <string>
#include <vector>

#include "digest/content_digest.h"

constexpr uint32_t kTrailerSize = 28;

// Appends the trailer of a body of `bodySize` bytes whose digest is `digest`.
void AppendTrailer(std::vector<uint8_t>& out, const CDigest128& digest, uint32_t bodySize,
                   const char* magic);
// `body` followed by its trailer.
std::vector<uint8_t> Trailed(std::vector<uint8_t> body, const char* magic);

// Whether data[0, size) ends in a trailer of `magic` (8 bytes).
bool EndsInTrailer(const uint8_t* data, uint64_t size, const char* magic);

// The body before the trailer. False, with `why` saying that `what`'s size
// reaches past the start of the file or that its digest does not match.
bool TrailedBody(const uint8_t* data, uint64_t size, const std::string& what, const uint8_t*& body,
                 uint32_t& bodySize, std::string* why);
