#pragma once
// The three zip records, the one description of them for the patcher's reader
// and the builder's writer: sizes, signatures and methods here, the field
// tables beside the code that reads them (zip_records.cpp). All numbers are
// little-endian.

#include <cstdint>
#include <string>

constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kDirectoryHeaderSize = 46;
constexpr uint32_t kLocalHeaderSize = 30;

constexpr uint32_t kZipEndSignature = 0x06054B50;        // "PK\5\6"
constexpr uint32_t kZipDirectorySignature = 0x02014B50;  // "PK\1\2"
constexpr uint32_t kZipLocalSignature = 0x04034B50;      // "PK\3\4"

constexpr uint16_t kZipMethodStored = 0;
constexpr uint16_t kZipMethodDeflated = 8;

// A size or offset of this value means "see the ZIP64 record", which this
// reader does not read.
constexpr uint32_t kZip64Placeholder = 0xFFFFFFFF;

// End of central directory record, the last 22 bytes of the archive.
struct CZipEndRecord {
  uint16_t diskNumber;
  uint16_t directoryDisk;
  uint32_t directorySize;
  uint32_t directoryOffset;
  uint16_t commentLength;
};

// Central directory file header; the name, extra field and comment follow it.
struct CZipDirectoryHeader {
  uint16_t compressionMethod;
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint16_t nameLength;
  uint16_t extraLength;
  uint16_t commentLength;
  uint32_t localHeaderOffset;
};

// Local file header; the name and extra field follow it, then the data.
struct CZipLocalHeader {
  uint16_t flags;
  uint16_t compressionMethod;
  uint32_t crc32;  // with the sizes: zeros when flag bit 3 puts them after the data
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint16_t nameLength;
  uint16_t extraLength;
};

// General purpose flag bits.
constexpr uint16_t kZipFlagEncrypted = 0x0001;
constexpr uint16_t kZipFlagDataDescriptor = 0x0008;

// Each returns false when the signature does not match.
bool ParseEndRecord(const uint8_t (&bytes)[kEndRecordSize], CZipEndRecord& record);
bool ParseDirectoryHeader(const uint8_t (&bytes)[kDirectoryHeaderSize],
                          CZipDirectoryHeader& header);
bool ParseLocalHeader(const uint8_t (&bytes)[kLocalHeaderSize], CZipLocalHeader& header);
// The local header at the start of `size` bytes in memory, and the name
// after it; false when they do not fit or the signature does not match.
bool ParseLocalHeaderIn(const uint8_t* bytes, uint64_t size, CZipLocalHeader& header,
                        std::string& name);
