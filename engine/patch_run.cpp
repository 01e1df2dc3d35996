// The first pass of a patch: every listed entry is made into its working file
// beside the installed one (an archive entry's is the file unpacked from the
// rebuilt archive) and checked against what the release promises. No
// installed file changes in this pass.
#include <algorithm>
#include <vector>

#include "archive/unpack_archive_entry.h"
#include "base/path_text.h"
#include "container/installed_reads.h"
#include "container/working_names.h"
#include "engine/compare_result.h"
#include "engine/failure_reason.h"
#include "engine/in_use_wait.h"
#include "engine/install_dir.h"
#include "engine/patch_worker.h"

namespace {
// Copy chunks stream through this much memory, whatever their size.
constexpr uint32_t kCopyBufferSize = 1024 * 1024;
// Copies whose source lies within this distance of the last one join its read.
constexpr uint32_t kReadGap = 64 * 1024;
// How far the chunk table is looked into for copies to read together.
constexpr uint32_t kReadAheadChunks = 4096;

// The span of the installed file that the copy chunk `first` and the copies
// after it need, as long as they go forward with small gaps and fit one
// read window: the records are read from a copy of the walk.
uint32_t SpanOfCopies(const CChunkRecord& first, CChunkWalk rest) {
  const uint64_t start = first.offset;
  uint64_t end = start + first.size;
  CChunkRecord next;
  for (uint32_t n = 0; n < kReadAheadChunks && rest.Next(next); ++n) {
    if (next.IsPayload()) continue;
    const uint64_t nextEnd = uint64_t{next.offset} + next.size;
    if (next.offset < start || next.offset > end + kReadGap ||
        nextEnd - start > CLocalFileReader::kWindowSize)
      break;
    end = std::max(end, nextEnd);
  }
  return static_cast<uint32_t>(end - start);
}
}  // namespace

bool CPatchWorker::MadeEntries(const std::vector<CPlannedEntry>& plan,
                               std::vector<CPlannedEntry>& made) {
  const std::vector<CContainerEntry>& entries = release_.container.entries;
  for (const CPlannedEntry& planned : plan) {
    if (!planned.Makes()) continue;
    if (entries.empty() || planned.entry < &entries.front() || planned.entry > &entries.back()) {
      NoteFailure(FileFailure(planned.entry->name, CFailureCause::kDamaged));
      return false;
    }
    made.push_back(planned);
  }
  return true;
}

bool CPatchWorker::RunPatch(const std::vector<CPlannedEntry>& plan) {
  progress_.SetStatusText("Start Patch.....");
  std::vector<CPlannedEntry> made;
  return MadeEntries(plan, made) && HasRoomFor(made) && WriteWorkingFiles(made) &&
         CommitPatchedFiles(made);
}

bool CPatchWorker::WriteWorkingFiles(const std::vector<CPlannedEntry>& entries) {
  working_.clear();
  bool written = true;
  for (const CPlannedEntry& planned : entries) {
    std::string working;
    written = !Stopped() && MakeWorkingFile(planned, working);
    if (!written) break;
    working_.push_back(working);
  }
  // The payload's digest is known once all of it is unpacked: before the
  // first install.
  if (written && IsPayloadSound()) return true;
  // Nothing is installed unless everything is right.
  RemoveLeftoverWorkingFiles();
  working_.clear();
  return false;
}

bool CPatchWorker::IsPayloadSound() {
  std::string why;
  if (release_.CheckPayload(&why)) return true;
  NoteFailure(kDamagedRelease, why);
  return false;
}

bool CPatchWorker::MakeWorkingFile(const CPlannedEntry& planned, std::string& working) {
  const CContainerEntry& entry = *planned.entry;
  const std::string name = entry.name;
  progress_.SetStatusText("Patch " + name + " ");
  if (!CreateEntryFolders(InstallDir, name, kCodePageUtf8)) {
    NoteFailure(FileFailure(name, CauseOf(platform::LastFileError())));
    return false;
  }
  const bool unpack = planned.action == CPlannedAction::kUnpack;
  const std::string tempName = TemporaryName(name, kCodePageUtf8);
  const std::string tempPath = InstallDir + tempName;
  CContentDigest made;
  // An archive entry's file is unpacked straight from its archive as the
  // chunks make it: the archive itself is never written.
  working = unpack ? InstallDir + UnpackedName(name, kCodePageUtf8) : tempPath;
  CLoadRefusal refusal;
  std::string why;
  if (!release_.HoldPayload(entry, refusal, &why)) {
    NoteRefusal(refusal, why);
    return false;
  }
  localReader_.OpenLocal(InstallDir + name, entry.chunkCount);
  const CManifestEntry* listed = release_.ManifestOf(entry);
  const bool written =
      (listed == nullptr || !listed->differs || AddInstalledBytes(entry, *listed)) &&
      (unpack ? UnpackWorkingFile(entry, working, made)
              : WritePatchedPackage(entry, tempPath, made));
  localReader_.CloseLocal();
  if (!written) return false;
  // A package rebuilt from pieces must carry the index this patch makes.
  if (planned.action == CPlannedAction::kRebuild &&
      InstalledIndexDigest(host_, tempName) != entry.digestAfter) {
    NoteFailure(FileFailure(name, CFailureCause::kNotExpectedVersion));
    return false;
  }
  return IsAsListed(entry, made);
}

bool CPatchWorker::AddInstalledBytes(const CContainerEntry& entry, const CManifestEntry& listed) {
  uint8_t* payload = release_.HeldPayload();
  if (payload == nullptr) {
    NoteFailure(FileFailure(entry.name, CFailureCause::kDamaged));
    return false;
  }
  std::vector<uint8_t> under;
  return ForEachInstalledRead(
      release_.container, entry, true, listed.oldSize, [&](const CInstalledRead& read) {
        if (read.copy) return true;
        uint8_t* bytes = payload + (read.payload - entry.payloadOffset);
        for (uint32_t done = 0; done < read.size;) {
          const uint32_t piece = std::min(read.size - done, kCopyBufferSize);
          under.resize(piece);
          if (!localReader_.ReadLocalAt(under.data(), read.from + done, piece)) {
            NoteFailure(FileFailure(entry.name, localReader_.FailureCause()));
            return false;
          }
          for (uint32_t i = 0; i < piece; ++i) bytes[done + i] += under[i];
          done += piece;
        }
        return true;
      });
}

bool CPatchWorker::IsAsListed(const CContainerEntry& entry, const CContentDigest& made) {
  const CManifestEntry* listed = release_.ManifestOf(entry);
  if (listed == nullptr || (made.Length() == listed->newSize && made.Final() == listed->newDigest))
    return true;
  // With the payload sound, what differs came from the installed file, or
  // from a disk that read back wrong.
  if (!IsPayloadSound()) return false;
  NoteFailure(FileFailure(
      entry.name, listed->copies ? CFailureCause::kInstalledDamaged : CFailureCause::kDiskError));
  return false;
}

bool CPatchWorker::WritePatchedPackage(const CContainerEntry& entry, const std::string& tempPath,
                                       CContentDigest& digest) {
  const std::string name = entry.name;
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

  CChunkWalk walk(release_.container, entry);
  // The file layer gathers the small writes; every byte is digested on its way.
  auto write = [&](const uint8_t* data, uint32_t size) {
    digest.Update(data, size);
    return out.Write(data, size);
  };
  std::vector<uint8_t> copyBuffer;
  while (walk.Next(currentChunk_)) {
    if (Stopped()) {
      ok = false;
      break;
    }
    const uint32_t size = currentChunk_.size;
    if (currentChunk_.IsPayload()) {
      // Straight from the container's memory (the validation placed it).
      if (ok && !write(walk.PayloadOf(currentChunk_), size)) failOnFileError();
      progress_.AddDone(size);
      continue;
    }
    // A small copy that no copy after it goes on from is served from the
    // reader's blocks, keeping the window of the copies around it.
    if (size < CLocalFileReader::kWindowSize / 2 &&
        !localReader_.InWindow(currentChunk_.offset, size)) {
      const uint32_t span = SpanOfCopies(currentChunk_, walk);
      if (span > size || size > CLocalFileReader::kBlockSize)
        localReader_.ReadAhead(currentChunk_.offset, span);
    }
    if (copyBuffer.empty()) copyBuffer.resize(std::min(size, kCopyBufferSize));
    for (uint32_t done = 0; ok && done < size;) {
      uint32_t piece = std::min<uint32_t>(size - done, kCopyBufferSize);
      if (copyBuffer.size() < piece) copyBuffer.resize(piece);
      if (!localReader_.ReadLocalAt(copyBuffer.data(), uint64_t{currentChunk_.offset} + done,
                                    piece))
        fail(localReader_.FailureCause());
      else if (!write(copyBuffer.data(), piece))
        failOnFileError();
      done += piece;
    }
  }
  // A package is installed as it was written, so it reaches the disk first.
  if (ok && !out.Flush()) failOnFileError();
  if (!out.Close()) failOnFileError();
  return ok;
}
