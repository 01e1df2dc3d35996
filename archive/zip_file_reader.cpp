#include "archive/zip_file_reader.h"

#include <algorithm>

#include "archive/zip_file_read_info_inflate.h"
#include "archive/zip_file_read_info_stored.h"
#include "archive/zip_records.h"

namespace {
constexpr uint32_t kBoundedFieldSize = 1024;
// Positions and sizes are kept as signed 32-bit values.
constexpr int64_t kLargestArchive = INT32_MAX;

bool FitsSigned32(uint32_t value) {
  return value <= static_cast<uint32_t>(INT32_MAX);
}
}  // namespace

CZipFileReader::~CZipFileReader() {
  Close();
}

bool CZipFileReader::Open(const std::string& path) {
  Close();
  auto file = std::make_unique<CZipFileSource>();
  if (!file->Open(path)) return false;
  file_ = std::move(file);
  return Open(*file_);
}

bool CZipFileReader::Open(CZipSource& source) {
  current_.reset();
  index_.clear();
  entries_.clear();
  if (&source != file_.get()) file_.reset();
  stream_ = &source;
  int64_t fileLength = stream_->Size();
  if (ReadDirectory(fileLength) && CheckLocalHeaders(fileLength)) return true;
  Close();
  return false;
}

void CZipFileReader::Close() {
  current_.reset();
  index_.clear();
  entries_.clear();
  stream_ = nullptr;
  file_.reset();  // read only: nothing to lose
}

bool CZipFileReader::ReadBoundedField(uint64_t position, uint32_t length, std::string& value) {
  uint32_t keep = length < kBoundedFieldSize ? length : kBoundedFieldSize;
  inputBuffer_.resize(kBoundedFieldSize);
  if (stream_->ReadAt(position, inputBuffer_.data(), keep) != keep) return false;
  auto begin = inputBuffer_.begin();
  value.assign(begin, std::find(begin, begin + keep, 0));
  return true;
}

bool CZipFileReader::ReadDirectory(int64_t fileLength) {
  if (fileLength < kEndRecordSize || fileLength > kLargestArchive) return false;

  // Only the last 22 bytes are tried: an archive comment is not allowed.
  uint8_t endBytes[kEndRecordSize];
  CZipEndRecord end;
  if (stream_->ReadAt(static_cast<uint64_t>(fileLength - kEndRecordSize), endBytes,
                      kEndRecordSize) != kEndRecordSize ||
      !ParseEndRecord(endBytes, end) || end.commentLength != 0)
    return false;
  // One volume only.
  if (end.diskNumber != 0 || end.directoryDisk != 0) return false;
  if (end.directoryOffset == kZip64Placeholder) return false;

  // The directory ends where the end record starts. Bytes in front of the
  // archive move everything by the prefix shift.
  int64_t directoryStart = fileLength - kEndRecordSize - end.directorySize;
  if (directoryStart < 0) return false;
  int64_t prefixShift = directoryStart - end.directoryOffset;

  uint32_t consumed = 0;
  while (consumed < end.directorySize) {
    uint64_t position = static_cast<uint64_t>(directoryStart) + consumed;
    uint8_t headerBytes[kDirectoryHeaderSize];
    CZipDirectoryHeader header;
    if (end.directorySize - consumed < kDirectoryHeaderSize ||
        stream_->ReadAt(position, headerBytes, kDirectoryHeaderSize) != kDirectoryHeaderSize ||
        !ParseDirectoryHeader(headerBytes, header))
      return false;
    uint32_t recordSize =
        kDirectoryHeaderSize + header.nameLength + header.extraLength + header.commentLength;
    if (recordSize > end.directorySize - consumed) return false;

    auto entry = std::make_unique<CZipFileEntry>();
    position += kDirectoryHeaderSize;
    if (!ReadBoundedField(position, header.nameLength, entry->name)) return false;
    position += header.nameLength;
    if (!ReadBoundedField(position, header.extraLength, entry->extraField)) return false;
    position += header.extraLength;
    if (!ReadBoundedField(position, header.commentLength, entry->comment)) return false;
    consumed += recordSize;

    // ZIP64 placeholders (0xFFFFFFFF) fail here too.
    if (!FitsSigned32(header.compressedSize) || !FitsSigned32(header.uncompressedSize) ||
        !FitsSigned32(header.localHeaderOffset))
      return false;
    int64_t localHeaderOffset = static_cast<int64_t>(header.localHeaderOffset) + prefixShift;
    if (localHeaderOffset < 0 || localHeaderOffset > fileLength) return false;
    entry->localHeaderOffset = static_cast<int32_t>(localHeaderOffset);
    entry->compressionMethod = header.compressionMethod;
    entry->crc32 = header.crc32;
    entry->compressedSize = static_cast<int32_t>(header.compressedSize);
    entry->uncompressedSize = static_cast<int32_t>(header.uncompressedSize);

    index_[entry->name] = entry.get();
    entries_.push_back(std::move(entry));
  }
  return true;
}

bool CZipFileReader::CheckLocalHeaders(int64_t fileLength) {
  for (const auto& entry : entries_) {
    uint64_t position = static_cast<uint64_t>(entry->localHeaderOffset);
    uint8_t headerBytes[kLocalHeaderSize];
    CZipLocalHeader header;
    if (stream_->ReadAt(position, headerBytes, kLocalHeaderSize) != kLocalHeaderSize ||
        !ParseLocalHeader(headerBytes, header))
      return false;
    int64_t dataOffset = entry->localHeaderOffset + int64_t{kLocalHeaderSize} + header.nameLength +
                         header.extraLength;
    if (dataOffset + entry->compressedSize > fileLength) return false;
    entry->dataOffset = static_cast<int32_t>(dataOffset);

    std::string localName;
    if (!ReadBoundedField(position + kLocalHeaderSize, header.nameLength, localName) ||
        localName != entry->name)
      return false;
  }
  return true;
}

bool CZipFileReader::OpenEntry(const std::string& name) {
  current_.reset();
  auto found = index_.find(name);
  if (found == index_.end()) return false;
  const CZipFileEntry& entry = *found->second;

  if (entry.compressionMethod == kZipMethodStored) {
    // Stored data is the file: more of it than the file's size is no file.
    if (entry.compressedSize != entry.uncompressedSize) return false;
    current_ = std::make_unique<CZipFileReadInfoStored>(entry, *stream_);
    return true;
  }
  if (entry.compressionMethod == kZipMethodDeflated) {
    inputBuffer_.resize(kInflateBufferSize);
    outputBuffer_.resize(kInflateBufferSize);
    auto reader = std::make_unique<CZipFileReadInfoInflate>(entry, *stream_, inputBuffer_.data(),
                                                            outputBuffer_.data());
    if (!reader->Start()) return false;
    current_ = std::move(reader);
    return true;
  }
  return false;
}

int32_t CZipFileReader::Read(uint8_t* buffer, int32_t size) {
  if (!current_) return 0;
  int32_t count = current_->Read(buffer, size);
  if (count < 0) current_.reset();
  return count;
}

bool CZipFileReader::CloseEntry() {
  if (!current_) return false;
  bool crcMatches = current_->CheckCrc();
  current_.reset();
  return crcMatches;
}
