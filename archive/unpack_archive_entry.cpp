#include "archive/unpack_archive_entry.h"

#include <vector>

#include "archive/zip_file_reader.h"
#include "platform/platform.h"

namespace {
constexpr int32_t kCopyBufferSize = 10240;

// Writes the entry of the archive to outputPath; true only when the whole
// entry was read, its CRC-32 matched and every byte reached the disk.
bool CopyEntry(const std::string& archivePath, const std::string& entryName,
               const std::string& outputPath) {
  CZipFileReader reader;
  if (!reader.Open(archivePath) || !reader.OpenEntry(entryName)) return false;

  platform::CFile output;
  if (!output.Create(outputPath)) return false;
  std::vector<uint8_t> buffer(kCopyBufferSize);
  for (;;) {
    int32_t count = reader.Read(buffer.data(), kCopyBufferSize);
    if (count < 0) return false;
    if (count == 0) break;
    if (!output.Write(buffer.data(), static_cast<uint32_t>(count))) return false;
  }
  bool crcMatches = reader.CloseEntry();
  bool written = output.Flush() && output.Close();
  return crcMatches && written;
}
}  // namespace

bool UnpackArchiveEntry(const std::string& path, const std::string& entryName) {
  std::string archivePath = path + ".zip";
  // A leftover of an earlier run goes first, so only this archive is read.
  bool unpacked = platform::DeleteFile(archivePath) && platform::ReplaceFile(path, archivePath) &&
                  CopyEntry(archivePath, entryName, path);
  bool archiveGone = platform::DeleteFile(archivePath);
  if (unpacked && archiveGone) return true;
  // Whatever stands at path now is partial or still the archive.
  platform::DeleteFile(path);
  return false;
}
