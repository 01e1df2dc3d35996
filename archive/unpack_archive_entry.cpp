#include "archive/unpack_archive_entry.h"

#include <vector>

#include "archive/zip_file_reader.h"

namespace {
constexpr int32_t kCopyBufferSize = 10240;

CUnpackResult Failed(CUnpackOutcome outcome, platform::FileError error) {
  return CUnpackResult{outcome, error};
}

CUnpackResult CopyEntry(CZipSource& archive, const std::string& entryName,
                        const std::string& outputPath, CContentDigest* digest) {
  CZipFileReader reader;
  // A read that fails while the directory is read says so; otherwise the
  // archive is not one that can be read.
  if (!reader.Open(archive) || !reader.OpenEntry(entryName))
    return Failed(archive.Error() != platform::FileError::kNone ? CUnpackOutcome::kDataError
                                                                : CUnpackOutcome::kNoEntry,
                  archive.Error());

  platform::CFile output;
  if (!output.Create(outputPath))
    return Failed(CUnpackOutcome::kOutputFailed, platform::LastFileError());
  std::vector<uint8_t> buffer(kCopyBufferSize);
  for (;;) {
    int32_t count = reader.Read(buffer.data(), kCopyBufferSize);
    if (count < 0) return Failed(CUnpackOutcome::kDataError, archive.Error());
    if (count == 0) break;
    if (!output.Write(buffer.data(), static_cast<uint32_t>(count)))
      return Failed(CUnpackOutcome::kOutputFailed, platform::LastFileError());
    if (digest) digest->Update(buffer.data(), static_cast<size_t>(count));
  }
  if (!reader.CloseEntry()) return Failed(CUnpackOutcome::kCrcMismatch, {});
  if (!output.Flush() || !output.Close())
    return Failed(CUnpackOutcome::kOutputFailed, platform::LastFileError());
  return CUnpackResult{CUnpackOutcome::kUnpacked, {}};
}
}  // namespace

CUnpackResult UnpackArchiveEntry(const std::string& archivePath, const std::string& entryName,
                                 const std::string& outputPath, CContentDigest* digest) {
  CZipFileSource file;
  if (!file.Open(archivePath)) {
    // An archive that another program holds is worth waiting for; one that
    // does not open for any other reason is not an archive that can be read.
    const platform::FileError error = file.Error();
    return Failed(error == platform::FileError::kInUse ? CUnpackOutcome::kArchiveInUse
                                                       : CUnpackOutcome::kNoEntry,
                  error);
  }
  return UnpackArchiveEntry(file, entryName, outputPath, digest);
}

CUnpackResult UnpackArchiveEntry(CZipSource& archive, const std::string& entryName,
                                 const std::string& outputPath, CContentDigest* digest) {
  CUnpackResult result = CopyEntry(archive, entryName, outputPath, digest);
  // Whatever stands at the output now is partial.
  if (result.outcome != CUnpackOutcome::kUnpacked) platform::DeleteFile(outputPath);
  return result;
}
