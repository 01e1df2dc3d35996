#include "archive/zip_writer.h"

#include <zlib.h>

#include <algorithm>

#include "base/little_endian.h"

// The records in the order of their fields (archive/zip_records.cpp has the
// tables): local header, then after the data one directory record and the
// end record.

namespace {
// 1980-01-01 00:00, the earliest DOS date: the same inputs make the same
// release, whatever the files' times.
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

class CLittleEndian {
 public:
  explicit CLittleEndian(std::vector<uint8_t>& out) : out_(out) {}
  CLittleEndian& U16(uint32_t v) {
    AppendU16(out_, static_cast<uint16_t>(v));
    return *this;
  }
  CLittleEndian& U32(uint32_t v) {
    AppendU32(out_, v);
    return *this;
  }
  CLittleEndian& Text(const std::string& text) {
    out_.insert(out_.end(), text.begin(), text.end());
    return *this;
  }

 private:
  std::vector<uint8_t>& out_;
};
}  // namespace

CZipFraming MakeZipFraming(const std::string& name, uint16_t method, uint32_t crc,
                           uint32_t storedSize, uint32_t size) {
  const uint16_t version = method == kZipMethodDeflated ? 20 : 10;
  const uint32_t nameLength = static_cast<uint32_t>(name.size());
  CZipFraming framing;
  CLittleEndian(framing.localHeader)
      .U32(kZipLocalSignature)
      .U16(version)
      .U16(0)
      .U16(method)
      .U16(0)
      .U16(kDosDate)
      .U32(crc)
      .U32(storedSize)
      .U32(size)
      .U16(nameLength)
      .U16(0)
      .Text(name);
  const uint32_t directoryOffset = kLocalHeaderSize + nameLength + storedSize;
  CLittleEndian(framing.trailer)
      .U32(kZipDirectorySignature)
      .U16(version)
      .U16(version)
      .U16(0)
      .U16(method)
      .U16(0)
      .U16(kDosDate)
      .U32(crc)
      .U32(storedSize)
      .U32(size)
      .U16(nameLength)
      .U16(0)
      .U16(0)
      .U16(0)
      .U16(0)
      .U32(0)
      .U32(0)
      .Text(name)
      .U32(kZipEndSignature)
      .U16(0)
      .U16(0)
      .U16(1)
      .U16(1)
      .U32(kDirectoryHeaderSize + nameLength)
      .U32(directoryOffset)
      .U16(0);
  return framing;
}

uint64_t ZipArchiveSize(const std::string& name, uint64_t storedSize) {
  return kLocalHeaderSize + kDirectoryHeaderSize + kEndRecordSize + 2 * name.size() + storedSize;
}

uint32_t Crc32(const uint8_t* data, uint64_t size) {
  return static_cast<uint32_t>(crc32_z(crc32_z(0, nullptr, 0), data, static_cast<size_t>(size)));
}

bool DeflateRaw(const uint8_t* data, uint64_t size, uint64_t limit, std::vector<uint8_t>& out) {
  z_stream stream = {};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    return false;
  // zlib counts in 32-bit units: the input goes in pieces.
  constexpr uint64_t kPiece = uint64_t{1} << 30;
  const uint64_t capacity = std::min<uint64_t>(limit, deflateBound(&stream, size) + 64);
  out.resize(static_cast<size_t>(capacity));
  uint64_t taken = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.avail_in == 0 && taken < size) {
      const uint64_t piece = std::min(kPiece, size - taken);
      stream.next_in = const_cast<uint8_t*>(data + taken);
      stream.avail_in = static_cast<uInt>(piece);
      taken += piece;
    }
    const uint64_t produced = stream.total_out;
    if (produced >= capacity) break;
    stream.next_out = out.data() + produced;
    stream.avail_out = static_cast<uInt>(std::min(kPiece, capacity - produced));
    status = deflate(&stream, taken == size ? Z_FINISH : Z_NO_FLUSH);
  }
  const bool done = status == Z_STREAM_END && stream.total_out < limit;
  out.resize(static_cast<size_t>(stream.total_out));
  deflateEnd(&stream);
  return done;
}
