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
//   8       ...   stepCount sizes (8) of the steps, in order
//
// Trailer, the last 28 bytes of the file:
//
//   0       16    indexDigest    CContentDigest of the index body
//   16      4     bodySize
//   20      8     magic          "QelChn01"
//
// A file without the trailer is one release, its only step.

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kChainVersion = 1;
constexpr uint32_t kChainTrailerSize = 28;
constexpr char kChainMagic[9] = "QelChn01";

// One step's release file, inside the chain's bytes.
struct CReleaseStep {
  const uint8_t* data = nullptr;
  uint64_t size = 0;
};

// The steps of data[0, size): the chain's, or the file itself when it has no
// chain trailer. False, with `why`, for a damaged index (its digest, version,
// count or sizes).
bool ReadReleaseChain(const uint8_t* data, uint64_t size, std::vector<CReleaseStep>& steps,
                      std::string* why);

// The index and trailer that follow steps of these sizes.
std::vector<uint8_t> ChainIndexBytes(const std::vector<uint64_t>& stepSizes);
