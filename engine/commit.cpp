// The second pass of a patch: each temporary file is checked and then moved
// over its installed file in one atomic step. A file that is not complete and
// checked never replaces an installed one; its working files are removed.
#include "archive/unpack_archive_entry.h"
#include "container/entry_kind.h"
#include "container/working_names.h"
#include "engine/compare_result.h"
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

bool CPatchWorker::CommitPatchedFiles(const std::vector<const CContainerEntry*>& entries) {
  bool allInstalled = true;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!CommitEntry(i, *entries[i])) allInstalled = false;
  RemoveLeftoverWorkingFiles();
  return allInstalled;
}

bool CPatchWorker::CommitEntry(size_t index, const CContainerEntry& entry) {
  const std::string name = entry.name;
  const std::string tempName = TemporaryName(name, codePage_);
  const std::string tempPath = InstallDir + tempName;
  // The run noted why the temporary file is not whole.
  if (index >= written_.size() || !written_[index]) {
    platform::DeleteFile(tempPath);
    return false;
  }

  const CEntryKind kind = KindOf(entry, codePage_);
  if (kind != CEntryKind::kArchive) {
    // A package rebuilt from pieces must carry the index this patch makes;
    // a package sent whole is taken as it came.
    if (kind == CEntryKind::kDelta &&
        CCompareResult().GetPackageIndexDigest(tempName) != entry.digestAfter) {
      NoteFailure(FileFailure(name, CFailureCause::kNotExpectedVersion));
      platform::DeleteFile(tempPath);
      return false;
    }
    if (InstallFile(tempPath, name)) return true;
    platform::DeleteFile(tempPath);
    return false;
  }

  // Any other file: the temporary file is its archive.
  const std::string unpackedPath = InstallDir + UnpackedName(name, codePage_);
  CUnpackResult unpacked;
  RetryWhileInUse(progress_, name, CInUseErrors::kSharing, [&] {
    unpacked = UnpackArchiveEntry(tempPath, name, unpackedPath);
    return unpacked.outcome == CUnpackOutcome::kArchiveInUse ? platform::FileError::kInUse
                                                             : unpacked.error;
  });
  bool installed = false;
  if (unpacked.outcome != CUnpackOutcome::kUnpacked) {
    NoteFailure(FileFailure(name, UnpackFailureCause(unpacked, HasCopyChunks(container_, entry))));
  } else {
    installed = InstallFile(unpackedPath, name);
    if (!installed) platform::DeleteFile(unpackedPath);
  }
  // The archive has served; a scanner that holds it only delays its removal
  // to the next run.
  platform::DeleteFile(tempPath);
  return installed;
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
