#include "engine/patch_worker.h"

#include <new>

#include "base/path_text.h"
#include "engine/compare_result.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "engine/installed_version.h"
#include "platform/threads.h"

namespace {
const char kEmptySetting[] = "empty";
const char kSelectDirectory[] = "Select Directory";
const char kOutOfMemory[] =
    "Not enough memory to unpack the patch data; close other programs and run the patch again";
const char kOutOfMemoryInRun[] =
    "Not enough memory to patch the game; close other programs and run the patch again";

// "12.3 MB", rounded up, so that a shortfall never reads as none.
std::string Megabytes(uint64_t bytes) {
  const uint64_t tenths = (bytes + 99999) / 100000;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}
}  // namespace

CPatchWorker::CPatchWorker(CPatchHost& host, CReleaseBytes release)
    : host_(host), bytes_(release) {}
CPatchWorker::~CPatchWorker() = default;

bool CPatchWorker::Start() {
  return platform::StartThread(&CPatchWorker::ThreadMain, this);
}

unsigned CPatchWorker::ThreadMain(void* parameter) {
  auto* worker = static_cast<CPatchWorker*>(parameter);
  bool installed = false;
  try {
    installed = worker->Run();
  } catch (const std::bad_alloc&) {
    // A 32-bit process can run out of address space anywhere: the run ends
    // as a failure the player can read, never as a vanished program, and
    // leaves no working file behind where it can help it.
    worker->NoteFailure(kOutOfMemoryInRun);
    try {
      if (!InstallDir.empty()) worker->RemoveLeftoverWorkingFiles();
    } catch (const std::bad_alloc&) {
      // The next run removes them.
    }
  }
  worker->PostResult(installed);
  return 0;
}

bool CPatchWorker::Run() {
  if (!FindInstallDir() || !LockInstallDir()) return false;
  if (bytes_.data == nullptr) {
    NoteFailure("This program carries no patch data");
    return false;
  }
  std::vector<CReleaseStep> steps;
  std::string why;
  if (!ReadReleaseChain(bytes_.data, bytes_.size, steps, &why)) {
    NoteFailure(kDamagedRelease, why);
    return false;
  }
  size_t first = 0;
  if (!FindFirstStep(steps, first)) return false;
  for (size_t k = first; k < steps.size(); ++k) {
    if ((k != first && !LoadPatchData(steps[k])) || !ApplyStep()) return false;
    reached_ = release_.view.manifest.toVersion;
  }
  return true;
}

bool CPatchWorker::FindFirstStep(const std::vector<CReleaseStep>& steps, size_t& first) {
  std::vector<std::string> served;
  std::string differs;
  for (first = 0; first < steps.size(); ++first) {
    if (!LoadPatchData(steps[first])) return false;
    const CReleaseManifest& manifest = release_.view.manifest;
    if (!release_.view.hasManifest) {
      if (steps.size() == 1) return true;
      NoteFailure(kDamagedRelease, "a step of the chain has no manifest");
      return false;
    }
    // Another version is told before anything is asked or written.
    differs = OtherVersionFile(manifest, release_.container);
    if (differs.empty()) return true;
    served.push_back(manifest.fromVersion);
  }
  NoteFailure(OtherVersionReason(served, release_.view.manifest.toVersion), differs);
  return false;
}

bool CPatchWorker::ApplyStep() {
  const CReleaseManifest* manifest = release_.view.hasManifest ? &release_.view.manifest : nullptr;
  CCompareResult compare;
  if (!compare.ComparePatchFiles(host_, release_.container, manifest, &progress_)) {
    NoteFailure(compare.Refusal());
    return false;
  }
  if (Stopped()) return false;
  const std::vector<std::string> kept = compare.Kept();
  kept_.insert(kept_.end(), kept.begin(), kept.end());
  removals_ = CRemovalPlan();
  if (manifest) {
    removals_ = PlanRemovals(*manifest, progress_);
    kept_.insert(kept_.end(), removals_.changed.begin(), removals_.changed.end());
  }
  progress_.Restart(compare.GetTotal());
  const bool installed = RunPatch(compare.Plan());
  // The game is at a real version again: a stop may end the run here.
  installing_ = false;
  return installed;
}

bool CPatchWorker::FindInstallDir() {
  CInstallPathLocation location;
  if (!host_.NamedInstallPath(location))
    location = InstallPathLocationFor(host_.SystemDefaultLanguage());
  std::string stored;
  if (host_.ReadInstallPath(location, stored) && stored != kEmptySetting) {
    InstallDir = GameFolderOf(stored, kCodePageUtf8);
    if (InstallDir.empty()) NoteFailure("The game's installation path names no folder: " + stored);
  } else {
    std::string chosen = host_.ChooseFolder(kSelectDirectory);
    if (chosen.empty()) {
      NoteFailure("No game folder was chosen");
      return false;
    }
    // The chooser gives a folder without its final separator (a drive root
    // keeps its own, so it then ends with two). Windows' paths have a
    // backslash or a drive's colon; any other, a relative one typed at a
    // console prompt too, takes '/', which Windows reads as well.
    const bool windows = chosen[0] != '/' && chosen.find_first_of("\\:") != std::string::npos;
    InstallDir = chosen + (windows ? "\\" : "/");
  }
  return !InstallDir.empty();
}

bool CPatchWorker::LockInstallDir() {
  if (folderLock_.Lock(InstallDir) != platform::CFolderLockResult::kBusy) return true;
  NoteFailure("Another patch is running in this game folder");
  return false;
}

bool CPatchWorker::LoadPatchData(const CReleaseStep& step) {
  progress_.SetStatusText("Creating PatchData....");
  // The bar follows the unpacking of a compressed release (the container is
  // under 4 GiB); the run's total starts it again from 0.
  uint64_t shown = 0;
  const CUnpackProgress unpacking = [&](uint64_t unpacked, uint64_t size) {
    if (unpacked == 0) progress_.SetTotal(static_cast<uint32_t>(size));
    progress_.AddDone(static_cast<uint32_t>(unpacked - shown));
    shown = unpacked;
  };
  std::string why;
  CLoadRefusal refusal;
  // The names must be written for this system's code page, and are carried
  // on in UTF-8 with the folder, as the file layer takes paths.
  const uint32_t system = platform::AnsiCodePage();
  if (LoadRelease(step.data, step.size, CLoadRules{system, system}, release_, refusal, &why,
                  unpacking))
    return true;
  NoteRefusal(refusal, why);
  return false;
}

void CPatchWorker::NoteRefusal(CLoadRefusal refusal, const std::string& why) {
  switch (refusal) {
    case CLoadRefusal::kOutOfMemory:
      NoteFailure(kOutOfMemory, why);
      break;
    case CLoadRefusal::kOtherCodePage:
      NoteFailure(why);
      break;
    default:
      NoteFailure(kDamagedRelease, why);
  }
}

bool CPatchWorker::HasRoomFor(const std::vector<CPlannedEntry>& entries) {
  // Every working file stands beside its installed file until all are
  // checked; an archive entry's archive is never written. The loader made
  // sure the sizes add up within 64 bits.
  uint64_t needed = 0;
  for (const CPlannedEntry& planned : entries) {
    const uint64_t rebuilt = MadeSize(release_.container, *planned.entry);
    const CManifestEntry* listed = release_.ManifestOf(*planned.entry);
    needed += planned.action == CPlannedAction::kUnpack && listed ? listed->newSize : rebuilt;
  }
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

bool CPatchWorker::RequestStop() {
  stopRequested_ = true;
  return !installing_;
}

std::string CPatchWorker::StoppedText() const {
  return StoppedRunReason(reached_);
}

bool CPatchWorker::Stopped() {
  if (!stopRequested_ || installing_) return false;
  NoteFailure(StoppedRunReason(reached_));
  return true;
}

void CPatchWorker::GetProgress(float& ratio, std::string& text) {
  progress_.Snapshot(ratio, text);
}

void CPatchWorker::NoteFailure(const std::string& reason, const std::string& detail) {
  if (!failure_.reason.empty()) return;
  failure_.reason = reason;
  failure_.detail = detail;
}

void CPatchWorker::PostResult(bool completed) {
  CPatchOutcome outcome;
  if (!completed) {
    outcome = failure_;
    // The player learns why before the result box opens.
    if (!outcome.reason.empty()) progress_.SetStatusText(outcome.reason);
  }
  outcome.completed = completed;
  host_.PostResult(outcome);
}
