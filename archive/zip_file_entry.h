#pragma once
// One central directory record as the reader keeps it. Positions and sizes are
// checked at open time to lie inside the archive file, so they fit 32 bits.

#include <cstdint>
#include <string>

struct CZipFileEntry {
  std::string name;               // up to 1024 bytes, ends at its first zero byte
  std::string extraField;         // kept, not interpreted
  std::string comment;            // kept, not interpreted
  int32_t localHeaderOffset = 0;  // file position: recorded offset + prefix shift
  int32_t compressionMethod = 0;
  int32_t compressedSize = 0;
  int32_t uncompressedSize = 0;
  int32_t dataOffset = 0;  // file position of the first data byte
  uint32_t crc32 = 0;      // as the directory records it
};
