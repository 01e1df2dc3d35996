// The first pass of a patch: every listed entry is rebuilt into its temporary
// file beside the installed one. No installed file changes in this pass.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/install_dir.h"
#include "engine/patch_worker.h"
#include "engine/temporary_name.h"

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
      allFound = false;
      break;
    }
    progress_.SetStatusText("Patch " + names[i] + " ");
    localReader_.OpenLocal(InstallDir + names[i], currentEntry_.chunkCount);
    // The chunk table is walked even when the folders cannot be made.
    bool folders = CreateEntryFolders(InstallDir, names[i]);
    written_[i] = WritePatchedPackage(InstallDir + TemporaryName(names[i])) && folders;
    recordCursor_->Seek(payloadCursor_->Tell());
    localReader_.CloseLocal();
  }

  bool allInstalled = CommitPatchedFiles(names) && allFound;
  recordCursor_.reset();
  payloadCursor_.reset();
  return allInstalled;
}

bool CPatchWorker::WritePatchedPackage(const std::string& tempPath) {
  platform::CFile out;
  bool ok = out.Create(tempPath);
  std::vector<uint8_t> copyBuffer;
  for (uint32_t i = 0; i < currentEntry_.chunkCount; ++i) {
    ReadChunkRecord(*recordCursor_, currentChunk_);
    const uint32_t size = currentChunk_.size;
    if (currentChunk_.IsPayload()) {
      // Straight from the container's memory: no copy of the chunk.
      payloadCursor_->Seek(currentChunk_.offset);
      const uint8_t* bytes = payloadCursor_->Take(size);
      ok = ok && bytes != nullptr && out.Write(bytes, size);
      progress_.AddDone(size);
      continue;
    }
    if (copyBuffer.empty()) copyBuffer.resize(std::min(size, kCopyBufferSize));
    for (uint32_t done = 0; ok && done < size;) {
      uint32_t piece = std::min<uint32_t>(size - done, kCopyBufferSize);
      if (copyBuffer.size() < piece) copyBuffer.resize(piece);
      ok = localReader_.ReadLocalAt(copyBuffer.data(), uint64_t{currentChunk_.offset} + done,
                                    piece) &&
           out.Write(copyBuffer.data(), piece);
      done += piece;
    }
  }
  ok = ok && out.Flush();
  return out.Close() && ok;
}
