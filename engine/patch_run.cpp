// The first pass of a patch: every listed entry is rebuilt into its temporary
// file beside the installed one. No installed file changes in this pass.
#include <algorithm>
#include <vector>

#include "engine/failure_reason.h"
#include "engine/in_use_wait.h"
#include "engine/install_dir.h"
#include "engine/patch_worker.h"
#include "engine/working_names.h"

namespace {
// Copy chunks stream through this much memory, whatever their size.
constexpr uint32_t kCopyBufferSize = 1024 * 1024;
}  // namespace

bool CPatchWorker::RunPatch(std::vector<std::string> names) {
  recordCursor_->Seek(0);
  recordCursor_->ReadU32();
  progress_.SetStatusText("Start Patch.....");

  written_.assign(names.size(), false);
  bool allFound = true;
  for (size_t i = 0; i < names.size(); ++i) {
    // The list is in container order: pass over entries until the name.
    bool found = false;
    while (ReadEntryRecord(*recordCursor_, currentEntry_)) {
      if (names[i] == currentEntry_.name) {
        found = true;
        break;
      }
      if (!SkipEntry(*recordCursor_, currentEntry_, currentChunk_)) break;
    }
    if (!found) {
      NoteFailure(FileFailure(names[i], CFailureCause::kDamaged));
      allFound = false;
      break;
    }
    progress_.SetStatusText("Patch " + names[i] + " ");
    localReader_.OpenLocal(InstallDir + names[i], currentEntry_.chunkCount);
    // The chunk table is walked even when the folders cannot be made.
    bool folders = CreateEntryFolders(InstallDir, names[i], codePage_);
    if (!folders) NoteFailure(FileFailure(names[i], CauseOf(platform::LastFileError())));
    written_[i] =
        WritePatchedPackage(InstallDir + TemporaryName(names[i], codePage_), names[i]) && folders;
    recordCursor_->Seek(payloadCursor_->Tell());
    localReader_.CloseLocal();
  }

  bool allInstalled = CommitPatchedFiles(names) && allFound;
  recordCursor_.reset();
  payloadCursor_.reset();
  return allInstalled;
}

bool CPatchWorker::WritePatchedPackage(const std::string& tempPath, const std::string& name) {
  bool ok = true;
  auto fail = [&](CFailureCause cause) {
    if (ok) NoteFailure(FileFailure(name, cause));
    ok = false;
  };
  auto failOnFileError = [&] { fail(CauseOf(platform::LastFileError())); };

  platform::CFile out;
  // A leftover of an earlier run may still be held by a virus scanner.
  const platform::FileError created = RetryWhileInUse(progress_, name, CInUseErrors::kSharing, [&] {
    return out.Create(tempPath) ? platform::FileError::kNone : platform::LastFileError();
  });
  if (created != platform::FileError::kNone) fail(CauseOf(created));

  std::vector<uint8_t> copyBuffer;
  for (uint32_t i = 0; i < currentEntry_.chunkCount; ++i) {
    ReadChunkRecord(*recordCursor_, currentChunk_);
    const uint32_t size = currentChunk_.size;
    if (currentChunk_.IsPayload()) {
      // Straight from the container's memory: no copy of the chunk.
      payloadCursor_->Seek(currentChunk_.offset);
      const uint8_t* bytes = payloadCursor_->Take(size);
      if (bytes == nullptr)
        fail(CFailureCause::kDamaged);
      else if (ok && !out.Write(bytes, size))
        failOnFileError();
      progress_.AddDone(size);
      continue;
    }
    if (copyBuffer.empty()) copyBuffer.resize(std::min(size, kCopyBufferSize));
    for (uint32_t done = 0; ok && done < size;) {
      uint32_t piece = std::min<uint32_t>(size - done, kCopyBufferSize);
      if (copyBuffer.size() < piece) copyBuffer.resize(piece);
      if (!localReader_.ReadLocalAt(copyBuffer.data(), uint64_t{currentChunk_.offset} + done,
                                    piece))
        fail(localReader_.FailureCause());
      else if (!out.Write(copyBuffer.data(), piece))
        failOnFileError();
      done += piece;
    }
  }
  if (ok && !out.Flush()) failOnFileError();
  if (!out.Close()) failOnFileError();
  return ok;
}
