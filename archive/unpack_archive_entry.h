#pragma once
#include <string>

#include "archive/zip_source.h"
#include "digest/content_digest.h"
#include "platform/files.h"

// What became of an unpacking, and for the file errors, which error.
enum class CUnpackOutcome {
  kUnpacked,
  kNoEntry,       // not a readable archive, no entry of that name, or a method not supported
  kCrcMismatch,   // the bytes read do not have the recorded CRC-32
  kDataError,     // the entry's data cannot be read (damaged deflate data, a read error)
  kArchiveInUse,  // the archive cannot be opened: another program holds it
  kOutputFailed,  // the output could not be written whole and flushed
};

struct CUnpackResult {
  CUnpackOutcome outcome = CUnpackOutcome::kNoEntry;
  platform::FileError error = platform::FileError::kNone;  // of the failed file operation
};

// Writes the entry `entryName` of the zip archive at `archivePath` to a new
// file at `outputPath` (an existing one is truncated), flushed to the disk.
// Unpacked only when the archive opened, the entry was found, read to its
// end without a failure, its CRC-32 matched and every byte was written; on
// any other outcome nothing is left at `outputPath`. The archive stays as it
// is: its owner removes it. `digest`, when given, is fed every byte written.
CUnpackResult UnpackArchiveEntry(const std::string& archivePath, const std::string& entryName,
                                 const std::string& outputPath, CContentDigest* digest = nullptr);
// The same for an archive from `archive`, which may never lie on disk
// whole: a failed read of it is kDataError with its error.
CUnpackResult UnpackArchiveEntry(CZipSource& archive, const std::string& entryName,
                                 const std::string& outputPath, CContentDigest* digest = nullptr);
