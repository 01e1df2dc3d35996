#include "engine/patch_worker.h"

#include <algorithm>

#include "base/path_text.h"
#include "container/entry_kind.h"
#include "engine/compare_result.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "platform/embedded_data.h"
#include "platform/text_conversion.h"
#include "platform/threads.h"

namespace {
const char kEmptySetting[] = "empty";
const char kSelectDirectory[] = "Select Directory";

// "12.3 MB", rounded up, so that a shortfall never reads as none.
std::string Megabytes(uint64_t bytes) {
  const uint64_t tenths = (bytes + 99999) / 100000;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}
}  // namespace

CPatchWorker::CPatchWorker() : codePage_(platform::AnsiCodePage()) {}
CPatchWorker::~CPatchWorker() = default;

bool CPatchWorker::Start(platform::WindowHandle window, uint32_t message) {
  targetWindow_ = window;
  resultMessage_ = message;
  return platform::StartThread(&CPatchWorker::ThreadMain, this);
}

unsigned CPatchWorker::ThreadMain(void* parameter) {
  auto* worker = static_cast<CPatchWorker*>(parameter);
  if (!worker->FindInstallDir() || !worker->LockInstallDir() || !worker->LoadPatchData()) {
    worker->PostResult(0);
    return 0;
  }
  CCompareResult compare;
  if (!compare.ComparePatchFiles(worker->targetWindow_, worker->container_,
                                 worker->hasManifest_ ? &worker->manifest_ : nullptr,
                                 &worker->progress_)) {
    worker->NoteFailure(compare.Refusal());
    worker->PostResult(0);
    return 0;
  }
  std::vector<std::string> names;
  compare.CopyNames(names);
  worker->kept_ = compare.Kept();
  worker->progress_.SetTotal(compare.GetTotal());
  bool installed = worker->RunPatch(names);
  worker->PostResult(installed ? 1 : 0);
  return 0;
}

bool CPatchWorker::FindInstallDir() {
  CInstallPathLocation location = InstallPathLocationFor(platform::GetSystemDefaultLanguage());
  std::string stored;
  if (platform::ReadMachineSetting(location.key, location.valueName, stored) &&
      stored != kEmptySetting) {
    InstallDir = FolderPartOfPath(stored, codePage_);
    if (InstallDir.empty()) NoteFailure("The game's installation path names no folder: " + stored);
  } else {
    std::string chosen = platform::BrowseForFolder(targetWindow_, kSelectDirectory);
    if (chosen.empty()) {
      NoteFailure("No game folder was chosen");
      return false;
    }
    // The chooser gives a folder without its final separator (a drive root
    // keeps its own, so it then ends with two).
    InstallDir = chosen + (chosen[0] == '/' ? "/" : "\\");
  }
  return !InstallDir.empty();
}

bool CPatchWorker::LockInstallDir() {
  if (folderLock_.Lock(InstallDir) != platform::CFolderLockResult::kBusy) return true;
  NoteFailure("Another patch is running in this game folder");
  return false;
}

bool CPatchWorker::LoadPatchData() {
  const uint8_t* data = chosenRelease_;
  uint32_t size = chosenReleaseSize_;
  if (data == nullptr && (!platform::FindPatchData(data, size) || data == nullptr)) {
    NoteFailure("This program carries no patch data");
    return false;
  }
  progress_.SetStatusText("Creating PatchData....");
  std::string why;
  CReleaseView release;
  auto damaged = [&] {
    // The window shows the first line; the second is for whoever looks closer.
    NoteFailure("The patch data is damaged; download the patch again\n" + why);
    return false;
  };
  if (!ReadReleaseFile(data, size, release, &why)) {
    if (!release.outOfMemory) return damaged();
    NoteFailure(
        "Not enough memory to unpack the patch data; close other programs and run the "
        "patch again\n" +
        why);
    return false;
  }
  const uint32_t namesCodePage =
      release.hasManifest && release.manifest.codePage != 0 ? release.manifest.codePage : codePage_;
  if (!ValidatePatchContainer(release.container, release.containerSize, namesCodePage, &why,
                              &container_) ||
      (release.hasManifest && !CheckManifest(release.manifest, container_, namesCodePage, &why)))
    return damaged();
  if (namesCodePage != codePage_ && !UseLocalNames(namesCodePage)) return false;
  hasManifest_ = release.hasManifest;
  manifest_ = std::move(release.manifest);
  unpackedContainer_ = std::move(release.unpacked);
  patchData = release.container;
  patchDataSize = release.containerSize;
  return true;
}

bool CPatchWorker::UseLocalNames(uint32_t releaseCodePage) {
  // Windows names files in its ANSI code page; a name written for another
  // would name another file. A UTF-8 system (Linux) takes any name.
  if (codePage_ != kCodePageUtf8) {
    NoteFailure("This patch is for code page " + std::to_string(releaseCodePage) +
                "; this system uses code page " + std::to_string(codePage_));
    return false;
  }
  localNames_.assign(container_.entries.size(), std::string());
  releaseNames_.assign(container_.entries.size(), nullptr);
  for (size_t i = 0; i < container_.entries.size(); ++i) {
    CContainerEntry& entry = container_.entries[i];
    releaseNames_[i] = entry.name;
    if (!ConvertCodePage(releaseCodePage, kCodePageUtf8, entry.name, localNames_[i])) {
      NoteFailure("The patch data is damaged; download the patch again\n" +
                  std::string(entry.name) + ": not a name of code page " +
                  std::to_string(releaseCodePage));
      return false;
    }
    entry.name = localNames_[i].c_str();
  }
  return true;
}

const char* CPatchWorker::ReleaseNameOf(const CContainerEntry& entry) const {
  if (releaseNames_.empty()) return entry.name;
  return releaseNames_[static_cast<size_t>(&entry - container_.entries.data())];
}

const CManifestEntry* CPatchWorker::ManifestOf(const CContainerEntry& entry) const {
  if (!hasManifest_) return nullptr;
  return &manifest_.entries[static_cast<size_t>(&entry - container_.entries.data())];
}

bool CPatchWorker::HasRoomFor(const std::vector<const CContainerEntry*>& entries) {
  // Every working file stands beside its installed file until all are
  // checked; an archive lasts only until its file is unpacked.
  uint64_t needed = 0;
  uint64_t largestArchive = 0;
  for (const CContainerEntry* entry : entries) {
    uint64_t rebuilt = 0;
    CByteCursor table = ChunkTable(container_, *entry);
    CChunkRecord chunk;
    for (uint32_t i = 0; i < entry->chunkCount && ReadChunkRecord(table, chunk); ++i)
      rebuilt += chunk.size;
    if (KindOf(*entry, codePage_) != CEntryKind::kArchive) {
      needed += rebuilt;
      continue;
    }
    const CManifestEntry* listed = ManifestOf(*entry);
    needed += listed ? listed->newSize : rebuilt;
    largestArchive = std::max(largestArchive, rebuilt);
  }
  needed += largestArchive;
  uint64_t available = 0;
  // When the system cannot tell, the writes will.
  if (!platform::FreeDiskSpace(InstallDir, available) || available >= needed) return true;
  NoteFailure("Not enough disk space: the patch needs " + Megabytes(needed) +
              " in the game folder, " + Megabytes(available) + " are free");
  return false;
}

std::string CPatchWorker::CompletionText() const {
  std::string text = "Patch Complete.";
  if (kept_.empty()) return text;
  text += kept_.size() == 1 ? " Left as it was: " : " Left as they were: ";
  text += kept_[0];
  if (kept_.size() > 1) text += " and " + std::to_string(kept_.size() - 1) + " more";
  return text;
}

void CPatchWorker::GetProgress(float& ratio, std::string& text) {
  progress_.Snapshot(ratio, text);
}

void CPatchWorker::NoteFailure(const std::string& reason) {
  if (failure_.empty()) failure_ = reason;
}

void CPatchWorker::PostResult(uintptr_t wParam) {
  // The player learns why before the result box opens.
  if (wParam != 1 && !failure_.empty()) progress_.SetStatusText(failure_);
  platform::PostResult(targetWindow_, resultMessage_, wParam);
}
