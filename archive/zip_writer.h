#pragma once
// One-entry zip archives as the patcher unpacks them: a local header, the
// entry's data, one central directory record and the end record, with no
// archive comment, no extra fields, no data descriptor and 32-bit fields.
// The builder writes the headers and the trailer here; the data between them
// is stored or raw-deflated bytes that the caller places.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/zip_records.h"

// The patcher's zip reader keeps positions in signed 32-bit fields.
constexpr uint64_t kZipArchiveLimit = 0x7FFFFFFF;

struct CZipFraming {
  std::vector<uint8_t> localHeader;  // before the data
  std::vector<uint8_t> trailer;      // after it: central directory and end record
};

// The framing of an archive that holds `name`, whose data of `storedSize`
// bytes (method `method`) follows the local header.
CZipFraming MakeZipFraming(const std::string& name, uint16_t method, uint32_t crc,
                           uint32_t storedSize, uint32_t size);

// The size of the archive around `storedSize` bytes of data.
uint64_t ZipArchiveSize(const std::string& name, uint64_t storedSize);

uint32_t Crc32(const uint8_t* data, uint64_t size);

// Raw deflate (no zlib header) at the best compression. False when the
// result would not be smaller than `limit` bytes; then `out` is undefined.
bool DeflateRaw(const uint8_t* data, uint64_t size, uint64_t limit, std::vector<uint8_t>& out);
