#pragma once
// A release for several old versions: the releases of its steps, each a
// whole release file with its manifest (release_manifest.h), the oldest
// version's step first and each step from the version the one before it
// makes, back to back; then the chain's index and trailer. A player at any
// of those versions is brought up step by step, so the game is at a real
// version after every step, and a file that two old versions share travels
// once.
//
// Index body, little-endian:
//
//   0       4     version        kChainVersion
//   4       4     stepCount      2 or more
//   8       ...   stepCount steps, in order: size (8), digest (16) of its
//                 bytes
//
// Trailer, the last 28 bytes of the file:
//
//   0       16    indexDigest    CContentDigest of the index body
//   16      4     bodySize
//   20      8     magic          "QelChn01"
//
// A file without the trailer is one release, its only step. The steps'
// digests are checked before any step is taken, so a damaged download is
// told before the first step changes the game, as for a release of one step.

#include <cstdint>
#include <string>
#include <vector>

#include "digest/content_digest.h"

constexpr uint32_t kChainVersion = 1;
constexpr char kChainMagic[9] = "QelChn01";

// One step's release file, inside the chain's bytes.
struct CReleaseStep {
  const uint8_t* data = nullptr;
  uint64_t size = 0;
};

// The steps of data[0, size): the chain's, or the file itself when it has no
// chain trailer. False, with `why`, for a damaged index (its digest, version,
// count or sizes) or a damaged step (its digest).
bool ReadReleaseChain(const uint8_t* data, uint64_t size, std::vector<CReleaseStep>& steps,
                      std::string* why);

// What the index says of a step.
struct CChainStep {
  uint64_t size = 0;
  CDigest128 digest;  // of its bytes
};

// The index and trailer that follow these steps.
std::vector<uint8_t> ChainIndexBytes(const std::vector<CChainStep>& steps);
