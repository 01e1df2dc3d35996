// The second pass of a patch: once every working file is made and checked,
// each is moved over its installed file in one atomic step, and then each
// folder that changed is synced once.
#include "archive/unpack_archive_entry.h"
#include "base/path_text.h"
#include "container/working_names.h"
#include "engine/failure_reason.h"
#include "engine/in_use_wait.h"
#include "engine/install_dir.h"
#include "engine/patch_worker.h"
#include "engine/rebuilt_archive.h"
#include "platform/files.h"

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

// Notes an installed file's entry and those of the folders of its path, the
// deepest first: the run may have made them, or an earlier one left them
// unsynced.
void NoteInstalled(platform::CFolderSyncs& folders, const std::string& name, uint32_t codePage) {
  folders.Note(InstallDir + name);
  for (size_t end = LastSeparator(name, codePage); end != std::string::npos;
       end = LastSeparator(name.substr(0, end), codePage))
    folders.Note(InstallDir + name.substr(0, end));
}
}  // namespace

bool CPatchWorker::UnpackWorkingFile(const CContainerEntry& entry, const std::string& outputPath,
                                     CContentDigest& made) {
  const std::string name = entry.name;
  CRebuiltArchive archive(release_.container, entry, localReader_, progress_);
  CUnpackResult unpacked;
  // A leftover of an earlier run may still be held by a virus scanner.
  RetryWhileInUse(progress_, name, CInUseErrors::kSharing, [&] {
    made = CContentDigest();
    unpacked = UnpackArchiveEntry(archive, release_.ReleaseNameOf(entry), outputPath, &made);
    return unpacked.outcome == CUnpackOutcome::kOutputFailed ? unpacked.error
                                                             : platform::FileError::kNone;
  });
  archive.FinishProgress();
  if (unpacked.outcome == CUnpackOutcome::kUnpacked) return true;
  // The installed file's reader knows why a copy could not be read.
  NoteFailure(FileFailure(
      name, archive.CopyFailed()
                ? localReader_.FailureCause()
                : UnpackFailureCause(unpacked, HasCopyChunks(release_.container, entry))));
  return false;
}

bool CPatchWorker::CommitPatchedFiles(const std::vector<CPlannedEntry>& entries) {
  // From here a stop waits for the end: the last one asked before is seen.
  installing_ = true;
  if (stopRequested_) {
    NoteFailure(StoppedRunReason(reached_));
    RemoveLeftoverWorkingFiles();
    return false;
  }
  bool allInstalled = true;
  platform::CFolderSyncs folders;
  for (size_t i = 0; i < entries.size() && i < working_.size(); ++i) {
    if (InstallFile(working_[i], entries[i].entry->name)) {
      NoteInstalled(folders, entries[i].entry->name, kCodePageUtf8);
      continue;
    }
    platform::DeleteFile(working_[i]);
    allInstalled = false;
  }
  // The old version's files the new one lacks go only with every new file
  // in place, so a failed run leaves no game of neither version.
  if (allInstalled) allInstalled = RemoveOldFiles(folders);
  RemoveLeftoverWorkingFiles();
  // Each folder once, after the last file moved into it (and the working
  // files removed from it): the run completes only once every installed file
  // lasts a power cut, and until then each is its old or its new version.
  std::string failed;
  if (!folders.SyncAll(failed)) {
    NoteFailure(FileFailure(failed.substr(InstallDir.size()), CauseOf(platform::LastFileError())));
    allInstalled = false;
  }
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

bool CPatchWorker::RemoveOldFiles(platform::CFolderSyncs& folders) {
  for (const std::string& name : removals_.files) {
    const platform::FileError error =
        RetryWhileInUse(progress_, name, CInUseErrors::kSharingOrDenied, [&] {
          return platform::DeleteFile(InstallDir + name) ? platform::FileError::kNone
                                                         : platform::LastFileError();
        });
    if (error != platform::FileError::kNone) {
      NoteFailure(FileFailure(name, error == platform::FileError::kAccessDenied
                                        ? CFailureCause::kInUseOrProtected
                                        : CauseOf(error)));
      return false;
    }
    folders.Note(InstallDir + name);
  }
  for (const std::string& folder : removals_.folders)
    if (platform::RemoveEmptyFolder(InstallDir + folder))
      folders.NoteRemovedFolder(InstallDir + folder);
  return true;
}

void CPatchWorker::RemoveLeftoverWorkingFiles() {
  for (const CContainerEntry& entry : release_.container.entries) {
    for (const std::string& working :
         {TemporaryName(entry.name, kCodePageUtf8), UnpackedName(entry.name, kCodePageUtf8)}) {
      if (platform::FileExists(InstallDir + working)) platform::DeleteFile(InstallDir + working);
    }
  }
}
