#pragma once
// Zip archives laid out byte by byte, for the cases no tool writes: each
// field is set by name and can be corrupted at its offset afterwards.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "tests/support/package_file.h"

// Field offsets inside the records, for corrupting one field at a time.
namespace zipfield {
constexpr size_t kLocalNameLength = 26;
constexpr size_t kLocalName = 30;
constexpr size_t kDirMethod = 10;
constexpr size_t kDirCrc = 16;
constexpr size_t kDirCompressedSize = 20;
constexpr size_t kDirUncompressedSize = 24;
constexpr size_t kDirNameLength = 28;
constexpr size_t kDirLocalOffset = 42;
constexpr size_t kEndDisk = 4;
constexpr size_t kEndDirectoryDisk = 6;
constexpr size_t kEndDirectorySize = 12;
constexpr size_t kEndDirectoryOffset = 16;
constexpr size_t kEndCommentLength = 20;
}  // namespace zipfield

inline uint32_t Crc32(const Bytes& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

// A raw deflate stream (no zlib header or trailer), as zip stores it.
inline Bytes RawDeflate(const Bytes& content) {
  z_stream stream = {};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, static_cast<uLong>(content.size())));
  stream.next_in = const_cast<Bytef*>(content.data());
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

struct CZipImageEntry {
  std::string name;       // in the directory
  std::string localName;  // in the local header
  Bytes data;             // as it lies in the file
  uint16_t method = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  Bytes extra;    // the same in the local header and the directory
  Bytes comment;  // directory only
};

inline CZipImageEntry StoredEntry(const std::string& name, const Bytes& content) {
  CZipImageEntry entry;
  entry.name = entry.localName = name;
  entry.data = content;
  entry.crc32 = Crc32(content);
  entry.compressedSize = entry.uncompressedSize = static_cast<uint32_t>(content.size());
  return entry;
}

inline CZipImageEntry DeflatedEntry(const std::string& name, const Bytes& content) {
  CZipImageEntry entry = StoredEntry(name, content);
  entry.method = 8;
  entry.data = RawDeflate(content);
  entry.compressedSize = static_cast<uint32_t>(entry.data.size());
  return entry;
}

struct CZipImage {
  Bytes bytes;
  std::vector<size_t> local;      // where each local header starts
  std::vector<size_t> directory;  // where each directory header starts
  size_t end = 0;                 // where the end record starts
};

inline CZipImage BuildZip(const std::vector<CZipImageEntry>& entries) {
  CZipImage image;
  Bytes& out = image.bytes;
  auto u16 = [&out](uint32_t v) { AppendU16(out, static_cast<uint16_t>(v)); };
  auto u32 = [&out](uint32_t v) { AppendU32(out, v); };
  auto append = [&out](const auto& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };

  for (const CZipImageEntry& e : entries) {
    image.local.push_back(out.size());
    u32(0x04034B50);  // signature
    u16(20);          // version needed
    u16(0);           // flags
    u16(e.method);
    u16(0), u16(0);  // time, date
    u32(e.crc32);
    u32(e.compressedSize);
    u32(e.uncompressedSize);
    u16(static_cast<uint32_t>(e.localName.size()));
    u16(static_cast<uint32_t>(e.extra.size()));
    append(e.localName);
    append(e.extra);
    append(e.data);
  }
  size_t directoryStart = out.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const CZipImageEntry& e = entries[i];
    image.directory.push_back(out.size());
    u32(0x02014B50);   // signature
    u16(20), u16(20);  // version made by, needed
    u16(0);            // flags
    u16(e.method);
    u16(0), u16(0);  // time, date
    u32(e.crc32);
    u32(e.compressedSize);
    u32(e.uncompressedSize);
    u16(static_cast<uint32_t>(e.name.size()));
    u16(static_cast<uint32_t>(e.extra.size()));
    u16(static_cast<uint32_t>(e.comment.size()));
    u16(0), u16(0), u32(0);  // disk, internal and external attributes
    u32(static_cast<uint32_t>(image.local[i]));
    append(e.name);
    append(e.extra);
    append(e.comment);
  }
  image.end = out.size();
  u32(0x06054B50);  // signature
  u16(0), u16(0);   // this disk, directory disk
  u16(static_cast<uint32_t>(entries.size()));
  u16(static_cast<uint32_t>(entries.size()));
  u32(static_cast<uint32_t>(image.end - directoryStart));
  u32(static_cast<uint32_t>(directoryStart));
  u16(0);  // comment length
  return image;
}
