#include "engine/up_to_date.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/zip_file_read_info_inflate.h"
#include "archive/zip_records.h"
#include "base/byte_cursor.h"
#include "container/entry_kind.h"
#include "container/installed_reads.h"
#include "engine/local_file_reader.h"
#include "platform/files.h"

namespace {
constexpr uint32_t kBlockSize = 1 << 20;

// A chunk and where its bytes stand in the rebuilt file.
struct CPiece {
  uint64_t at;
  CChunkRecord chunk;
};

std::vector<CPiece> PiecesOf(const CPatchContainer& container, const CContainerEntry& entry) {
  CChunkWalk walk(container, entry);
  std::vector<CPiece> pieces;
  CChunkRecord chunk;
  while (walk.Next(chunk)) pieces.push_back(CPiece{walk.At(), chunk});
  return pieces;
}

class CInstalledFile {
 public:
  bool Open(const std::string& path) { return file_.OpenRead(path); }
  int64_t Size() { return file_.Size(); }

  // The file holds exactly these bytes at the position.
  bool Holds(uint64_t position, const uint8_t* expected, uint32_t size) {
    for (uint32_t done = 0; done < size;) {
      const uint32_t piece = std::min(size - done, kBlockSize);
      if (!Read(position + done, piece) || std::memcmp(buffer_.data(), expected + done, piece) != 0)
        return false;
      done += piece;
    }
    return true;
  }

  // The CRC-32 of the first `size` bytes, or false when they cannot be read.
  bool Crc(uint64_t size, uint32_t& crc) {
    crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    for (uint64_t done = 0; done < size;) {
      const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(size - done, kBlockSize));
      if (!Read(done, piece)) return false;
      crc = static_cast<uint32_t>(crc32(crc, buffer_.data(), piece));
      done += piece;
    }
    return true;
  }

  // The whole file equals what the inflater makes, no more and no less.
  bool HoldsInflated(CZipFileReadInfo& inflater, uint64_t size) {
    std::vector<uint8_t> expected(kBlockSize);
    for (uint64_t done = 0;; done += kBlockSize) {
      const int64_t made = inflater.Read(expected.data(), static_cast<int32_t>(kBlockSize));
      const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(size - done, kBlockSize));
      if (made != static_cast<int64_t>(piece)) return false;
      if (piece != 0 &&
          (!Read(done, piece) || std::memcmp(buffer_.data(), expected.data(), piece) != 0))
        return false;
      // Less than a block: the stream has ended, exactly at the file's end.
      if (piece < kBlockSize) return true;
    }
  }

 private:
  bool Read(uint64_t position, uint32_t size) {
    if (buffer_.size() < size) buffer_.resize(size);
    return file_.ReadAt(position, buffer_.data(), size) == static_cast<int64_t>(size);
  }

  platform::CFile file_;
  std::vector<uint8_t> buffer_;
};

// Every chunk is stored in the patch data: the installed file must be their
// concatenation.
bool HoldsAllPayload(const CContainerEntry& entry, const std::vector<CPiece>& pieces,
                     CInstalledFile& installed) {
  uint64_t total = 0;
  for (const CPiece& piece : pieces) {
    if (!piece.chunk.IsPayload()) return false;
    total += piece.chunk.size;
  }
  if (installed.Size() != static_cast<int64_t>(total)) return false;
  for (const CPiece& piece : pieces)
    if (!installed.Holds(piece.at, PayloadAt(entry, piece.chunk.offset), piece.chunk.size))
      return false;
  return true;
}

// The archive's local header and the entry's name, read from the start of
// the first chunk.
bool ReadLocalHeader(const CContainerEntry& entry, const CPiece& first, const std::string& name,
                     CZipLocalHeader& header) {
  std::string recorded;
  return first.chunk.IsPayload() &&
         ParseLocalHeaderIn(PayloadAt(entry, first.chunk.offset), first.chunk.size, header,
                            recorded) &&
         recorded == name;
}

// A stored file's bytes that the patch data carries stand where they belong.
bool HoldsStoredPayload(const CContainerEntry& entry, const std::vector<CPiece>& pieces,
                        uint64_t dataStart, uint64_t dataSize, CInstalledFile& installed) {
  const uint64_t dataEnd = dataStart + dataSize;
  for (const CPiece& piece : pieces) {
    if (!piece.chunk.IsPayload()) continue;
    const uint64_t from = std::max(piece.at, dataStart);
    const uint64_t to = std::min(piece.at + piece.chunk.size, dataEnd);
    if (from >= to) continue;
    const uint8_t* expected = PayloadAt(entry, piece.chunk.offset) + (from - piece.at);
    if (!installed.Holds(from - dataStart, expected, static_cast<uint32_t>(to - from)))
      return false;
  }
  return true;
}

// The deflated data, when the patch data carries all of it (then it lies
// back to back in the payload area); null when a copy chunk makes part of it.
const uint8_t* DeflatedData(const CContainerEntry& entry, const std::vector<CPiece>& pieces,
                            uint64_t dataStart, uint64_t dataSize) {
  const uint8_t* start = nullptr;
  for (const CPiece& piece : pieces) {
    const uint64_t end = piece.at + piece.chunk.size;
    if (end <= dataStart || piece.at >= dataStart + dataSize) continue;
    if (!piece.chunk.IsPayload()) return nullptr;
    if (start == nullptr) start = PayloadAt(entry, piece.chunk.offset) + (dataStart - piece.at);
  }
  return start;
}

// The installed file is what the deflated data inflates to, read through
// the zip reader's own inflate.
bool HoldsInflated(const uint8_t* deflated, const CZipLocalHeader& header,
                   CInstalledFile& installed) {
  if (header.compressedSize > INT32_MAX || header.uncompressedSize > INT32_MAX) return false;
  CZipFileEntry entry;
  entry.compressionMethod = kZipMethodDeflated;
  entry.compressedSize = static_cast<int32_t>(header.compressedSize);
  entry.uncompressedSize = static_cast<int32_t>(header.uncompressedSize);
  entry.crc32 = header.crc32;
  CZipBytesSource data(deflated, header.compressedSize);
  std::vector<uint8_t> input(kInflateBufferSize), output(kInflateBufferSize);
  CZipFileReadInfoInflate inflater(entry, data, input.data(), output.data());
  return inflater.Start() && installed.HoldsInflated(inflater, header.uncompressedSize);
}

bool HoldsArchivedFile(const CContainerEntry& entry, const std::vector<CPiece>& pieces,
                       CInstalledFile& installed) {
  const std::string name = entry.name;
  CZipLocalHeader header;
  if (pieces.empty() || !ReadLocalHeader(entry, pieces[0], name, header)) return false;
  // Without sizes and CRC-32 in the header, or encrypted, nothing can be judged.
  if (header.flags & (kZipFlagDataDescriptor | kZipFlagEncrypted)) return false;
  if (installed.Size() != static_cast<int64_t>(header.uncompressedSize)) return false;
  const uint64_t dataStart = uint64_t{kLocalHeaderSize} + header.nameLength + header.extraLength;
  const uint64_t archiveSize = pieces.back().at + pieces.back().chunk.size;
  if (dataStart + header.compressedSize > archiveSize) return false;

  if (header.compressionMethod == kZipMethodStored) {
    if (header.compressedSize != header.uncompressedSize ||
        !HoldsStoredPayload(entry, pieces, dataStart, header.uncompressedSize, installed))
      return false;
  } else if (header.compressionMethod == kZipMethodDeflated) {
    const uint8_t* deflated = DeflatedData(entry, pieces, dataStart, header.compressedSize);
    if (deflated != nullptr && !HoldsInflated(deflated, header, installed)) return false;
  } else {
    return false;
  }
  uint32_t crc = 0;
  return installed.Crc(header.uncompressedSize, crc) && crc == header.crc32;
}
}  // namespace

bool IsInstalledFileNew(const CPatchContainer& container, const CContainerEntry& entry,
                        const std::string& installedPath, uint32_t codePage) {
  const std::vector<CPiece> pieces = PiecesOf(container, entry);
  CInstalledFile installed;
  // Without its payload held, the entry cannot tell: it is made again.
  if (entry.payload == nullptr || pieces.size() != entry.chunkCount ||
      !installed.Open(installedPath))
    return false;
  if (KindOf(entry, codePage) != CEntryKind::kArchive)
    return HoldsAllPayload(entry, pieces, installed);
  return HoldsArchivedFile(entry, pieces, installed);
}

bool IsInstalledFileExact(const std::string& installedPath, const CManifestEntry& listed) {
  return InstalledFileIs(installedPath, listed.newSize, listed.newDigest);
}

bool InstalledFileIs(const std::string& installedPath, uint64_t size, const CDigest128& wanted) {
  platform::CFile file;
  if (!file.OpenRead(installedPath) || file.Size() != static_cast<int64_t>(size)) return false;
  CContentDigest digest;
  std::vector<uint8_t> buffer(kBlockSize);
  for (uint64_t done = 0; done < size;) {
    const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(size - done, kBlockSize));
    if (file.ReadAt(done, buffer.data(), piece) != static_cast<int64_t>(piece)) return false;
    digest.Update(buffer.data(), piece);
    done += piece;
  }
  return digest.Final() == wanted;
}

bool InstalledCopiesAre(const CPatchContainer& container, const CContainerEntry& entry,
                        const std::string& installedPath, const CManifestEntry& listed) {
  // Hundreds of thousands of small reads, mostly near one another: the
  // reader's blocks serve them (under Wine each read of a file is a call to
  // its server).
  CLocalFileReader file;
  file.OpenLocal(installedPath, entry.chunkCount);
  CContentDigest digest;
  std::vector<uint8_t> buffer(kBlockSize);
  const bool read = ForEachInstalledRead(
      container, entry, listed.differs, listed.oldSize, [&](const CInstalledRead& next) {
        for (uint32_t done = 0; done < next.size;) {
          const uint32_t piece = std::min(next.size - done, kBlockSize);
          if (!file.ReadLocalAt(buffer.data(), next.from + done, piece)) return false;
          digest.Update(buffer.data(), piece);
          done += piece;
        }
        return true;
      });
  return read && digest.Final() == listed.copiedDigest;
}
