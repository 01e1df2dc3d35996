#pragma once
// The malformed-container generator: from one valid container, every
// single-field change that matters, every truncation, and random mutations.
// The variants are made at test time; none is stored.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct CMutant {
  std::string what;  // names the change, for failure messages
  Bytes container;
};

// Where the parts of one entry of a valid container lie.
struct CEntryLayout {
  uint32_t record = 0;  // offset of the entry record
  uint32_t chunkCount = 0;
  uint32_t payloadArea = 0;
  uint32_t payloadSize = 0;
  std::vector<uint32_t> copyChunks;     // offsets of the copy chunks' records
  std::vector<uint32_t> payloadChunks;  // offsets of the payload chunks' records
  std::string name;
};
std::vector<CEntryLayout> ContainerLayout(const Bytes& container);

// Each field of the entry count, entry records and chunk records set to the
// values that matter (zero, one off either way, the largest, overflowing
// products), texts without their NUL or with unsafe names, digests changed,
// payload bytes changed, and an extra byte at the end.
std::vector<CMutant> FieldMutants(const Bytes& container);

// The container cut to `length` bytes.
CMutant Truncated(const Bytes& container, uint32_t length);

// One to three random changes: bits flipped, bytes set, words set to
// boundary values (mostly inside records and chunk tables), bytes cut,
// appended or copied over others.
CMutant RandomMutant(const Bytes& container, std::mt19937& random);
