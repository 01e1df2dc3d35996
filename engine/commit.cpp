// The second pass of a patch: once every working file is made and checked,
// each is moved over its installed file in one atomic step.
#include "archive/unpack_archive_entry.h"
#include "container/working_names.h"
#include "engine/failure_reason.h"
#include "engine/in_use_wait.h"
#include "engine/install_dir.h"
#include "engine/patch_worker.h"

namespace {
// The cause of an unpacking that failed.
CFailureCause UnpackFailureCause(const CUnpackResult& result, bool copiesInstalledBytes) {
  switch (result.outcome) {
    case CUnpackOutcome::kArchiveInUse:
      return CFailureCause::kInUse;
    case CUnpackOutcome::kOutputFailed:
      return CauseOf(result.error);
    case CUnpackOutcome::kCrcMismatch:
      // Bytes copied from an installed file of another version do not add up.
      return copiesInstalledBytes ? CFailureCause::kNotExpectedVersion : CFailureCause::kDamaged;
    case CUnpackOutcome::kDataError:
      if (result.error != platform::FileError::kNone) return CauseOf(result.error);
      break;
    case CUnpackOutcome::kNoEntry:
    case CUnpackOutcome::kUnpacked:
      break;
  }
  return CFailureCause::kDamaged;
}
}  // namespace

bool CPatchWorker::UnpackWorkingFile(const CContainerEntry& entry, const std::string& archivePath,
                                     const std::string& outputPath, CContentDigest& made) {
  const std::string name = entry.name;
  CUnpackResult unpacked;
  RetryWhileInUse(progress_, name, CInUseErrors::kSharing, [&] {
    made = CContentDigest();
    unpacked = UnpackArchiveEntry(archivePath, ReleaseNameOf(entry), outputPath, &made);
    return unpacked.outcome == CUnpackOutcome::kArchiveInUse ? platform::FileError::kInUse
                                                             : unpacked.error;
  });
  if (unpacked.outcome == CUnpackOutcome::kUnpacked) return true;
  NoteFailure(FileFailure(name, UnpackFailureCause(unpacked, HasCopyChunks(container_, entry))));
  return false;
}

bool CPatchWorker::CommitPatchedFiles(const std::vector<const CContainerEntry*>& entries) {
  bool allInstalled = true;
  for (size_t i = 0; i < entries.size() && i < working_.size(); ++i) {
    if (InstallFile(working_[i], entries[i]->name)) continue;
    platform::DeleteFile(working_[i]);
    allInstalled = false;
  }
  RemoveLeftoverWorkingFiles();
  return allInstalled;
}

bool CPatchWorker::InstallFile(const std::string& from, const std::string& name) {
  const std::string to = InstallDir + name;
  const platform::FileError error =
      RetryWhileInUse(progress_, name, CInUseErrors::kSharingOrDenied, [&] {
        return platform::ReplaceFile(from, to) ? platform::FileError::kNone
                                               : platform::LastFileError();
      });
  if (error == platform::FileError::kNone) return true;
  NoteFailure(FileFailure(name, error == platform::FileError::kAccessDenied
                                    ? CFailureCause::kInUseOrProtected
                                    : CauseOf(error)));
  return false;
}

void CPatchWorker::RemoveLeftoverWorkingFiles() {
  for (const CContainerEntry& entry : container_.entries) {
    for (const std::string& working :
         {TemporaryName(entry.name, codePage_), UnpackedName(entry.name, codePage_)}) {
      if (platform::FileExists(InstallDir + working)) platform::DeleteFile(InstallDir + working);
    }
  }
}
