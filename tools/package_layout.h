#pragma once
// Where a package's index lies, read from the package's bytes (little-endian):
//
//   offset    size  field
//   0         32    header; its word at 20 is the index's absolute offset
//   index+0   12    index header: 0, record count (at +4), index length
//   index+12  ...   record count records, each a 4-byte length and its bytes
//
// The index's fingerprint is the MD5 text of exactly these index bytes.

#include <cstdint>
#include <string>

struct CPackageLayout {
  uint32_t indexOffset = 0;
  uint32_t indexSize = 0;  // index header and all records
};

constexpr uint32_t kPackageHeaderSize = 32;

// False, with `why`, when the header or the index cannot be read whole: a
// file shorter than its header, an index or record past the end, or a file
// of 4 GiB or more.
bool ReadPackageLayout(const uint8_t* data, uint64_t size, CPackageLayout& layout,
                       std::string* why);

// The MD5 text of the index.
std::string PackageIndexDigest(const uint8_t* data, const CPackageLayout& layout);
