#include "archive/zip_records.h"

#include <cstring>

#include "base/byte_cursor.h"

// End of central directory record:
//
//   offset  size  field
//   0       4     signature 50 4B 05 06
//   4       2     number of this disk
//   6       2     disk where the central directory starts
//   8       2     directory records on this disk
//   10      2     directory records in total
//   12      4     size of the central directory
//   16      4     offset of the central directory, as recorded
//   20      2     archive comment length
static_assert(4 + 2 + 2 + 2 + 2 + 4 + 4 + 2 == kEndRecordSize, "end record is 22 bytes");

bool ParseEndRecord(const uint8_t (&bytes)[kEndRecordSize], CZipEndRecord& record) {
  CByteCursor cursor(bytes, kEndRecordSize);
  uint32_t signature = cursor.ReadU32();
  record.diskNumber = cursor.ReadU16();
  record.directoryDisk = cursor.ReadU16();
  cursor.ReadU16();  // records on this disk: the directory size bounds the walk
  cursor.ReadU16();  // records in total: likewise
  record.directorySize = cursor.ReadU32();
  record.directoryOffset = cursor.ReadU32();
  record.commentLength = cursor.ReadU16();
  return !cursor.Failed() && signature == kZipEndSignature;
}

// Central directory file header:
//
//   offset  size  field
//   0       4     signature 50 4B 01 02
//   4       2     version made by
//   6       2     version needed to extract
//   8       2     general purpose bit flags
//   10      2     compression method
//   12      2     last modification time
//   14      2     last modification date
//   16      4     CRC-32 of the uncompressed data
//   20      4     compressed size
//   24      4     uncompressed size
//   28      2     file name length n
//   30      2     extra field length m
//   32      2     file comment length k
//   34      2     disk number where the file starts
//   36      2     internal file attributes
//   38      4     external file attributes
//   42      4     offset of the local header
//   46      n     file name, then m bytes of extra field, then k of comment
static_assert(4 + 2 + 2 + 2 + 2 + 2 + 2 + 4 + 4 + 4 + 2 + 2 + 2 + 2 + 2 + 4 + 4 ==
                  kDirectoryHeaderSize,
              "directory header is 46 bytes");

bool ParseDirectoryHeader(const uint8_t (&bytes)[kDirectoryHeaderSize],
                          CZipDirectoryHeader& header) {
  CByteCursor cursor(bytes, kDirectoryHeaderSize);
  uint32_t signature = cursor.ReadU32();
  cursor.ReadU16();  // version made by
  cursor.ReadU16();  // version needed to extract
  cursor.ReadU16();  // flags: the directory's sizes serve, so data descriptors do not matter
  header.compressionMethod = cursor.ReadU16();
  cursor.ReadU16();  // modification time
  cursor.ReadU16();  // modification date
  header.crc32 = cursor.ReadU32();
  header.compressedSize = cursor.ReadU32();
  header.uncompressedSize = cursor.ReadU32();
  header.nameLength = cursor.ReadU16();
  header.extraLength = cursor.ReadU16();
  header.commentLength = cursor.ReadU16();
  cursor.ReadU16();  // disk where the file starts
  cursor.ReadU16();  // internal attributes
  cursor.ReadU32();  // external attributes
  header.localHeaderOffset = cursor.ReadU32();
  return !cursor.Failed() && signature == kZipDirectorySignature;
}

// Local file header:
//
//   offset  size  field
//   0       4     signature 50 4B 03 04
//   4       2     version needed to extract
//   6       2     general purpose bit flags
//   8       2     compression method
//   10      2     last modification time
//   12      2     last modification date
//   14      4     CRC-32
//   18      4     compressed size
//   22      4     uncompressed size
//   26      2     file name length n
//   28      2     extra field length m
//   30      n     file name, then m bytes of extra field, then the data
//
// The reader takes only the lengths: the directory is its one source of
// method, sizes and CRC-32 (a data descriptor, flag bit 3, leaves zeros here).
static_assert(4 + 2 + 2 + 2 + 2 + 2 + 4 + 4 + 4 + 2 + 2 == kLocalHeaderSize,
              "local header is 30 bytes");

bool ParseLocalHeaderIn(const uint8_t* bytes, uint64_t size, CZipLocalHeader& header,
                        std::string& name) {
  uint8_t fixed[kLocalHeaderSize];
  if (size < kLocalHeaderSize) return false;
  std::memcpy(fixed, bytes, kLocalHeaderSize);
  if (!ParseLocalHeader(fixed, header) || size - kLocalHeaderSize < header.nameLength) return false;
  name.assign(reinterpret_cast<const char*>(bytes) + kLocalHeaderSize, header.nameLength);
  return true;
}

bool ParseLocalHeader(const uint8_t (&bytes)[kLocalHeaderSize], CZipLocalHeader& header) {
  CByteCursor cursor(bytes, kLocalHeaderSize);
  uint32_t signature = cursor.ReadU32();
  cursor.ReadU16();  // version needed to extract
  header.flags = cursor.ReadU16();
  header.compressionMethod = cursor.ReadU16();
  cursor.ReadU16();  // modification time
  cursor.ReadU16();  // modification date
  header.crc32 = cursor.ReadU32();
  header.compressedSize = cursor.ReadU32();
  header.uncompressedSize = cursor.ReadU32();
  header.nameLength = cursor.ReadU16();
  header.extraLength = cursor.ReadU16();
  return !cursor.Failed() && signature == kZipLocalSignature;
}
