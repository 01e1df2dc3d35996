#pragma once
// Package files as far as the fingerprint reads them, the one description of
// the format for the patcher and the builder (little-endian):
//
//   where      size  field
//   0          32    header; its word at 20 is the index's absolute offset
//   index+0    12    index header: 0, record count (at +4), index length
//   index+12   ...   record count records, each a 4-byte length and its bytes
//
// The fingerprint is the MD5 text of exactly the index bytes: the index
// header and all records as stored, never the data.

#include <cstdint>
#include <string>

constexpr uint32_t kPackageHeaderSize = 32;
constexpr uint32_t kIndexOffsetField = 20;  // in the header
constexpr uint32_t kIndexHeaderSize = 12;
constexpr uint32_t kRecordCountField = 4;  // in the index header
constexpr uint32_t kRecordLengthSize = 4;

struct CPackageLayout {
  uint32_t indexOffset = 0;
  uint32_t indexSize = 0;  // index header and all records
};

// Reads where the index of a package in memory lies. False, with `why`, when
// the header or the index cannot be read whole: a file shorter than its
// header, an index or record past the end, or a file of 4 GiB or more.
bool ReadPackageLayout(const uint8_t* data, uint64_t size, CPackageLayout& layout,
                       std::string* why);
