#include "engine/patch_worker.h"

#include "engine/compare_result.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "platform/embedded_data.h"
#include "platform/threads.h"

namespace {
const char kEmptySetting[] = "empty";
const char kSelectDirectory[] = "Select Directory";
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
  if (!worker->FindInstallDir() || !worker->LoadPatchData()) {
    worker->PostResult(0);
    return 0;
  }
  CCompareResult compare;
  if (!compare.ComparePatchFiles(worker->targetWindow_, worker->container_)) {
    worker->NoteFailure(compare.Refusal());
    worker->PostResult(0);
    return 0;
  }
  std::vector<std::string> names;
  compare.CopyNames(names);
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

bool CPatchWorker::LoadPatchData() {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!platform::FindPatchData(data, size) || data == nullptr) {
    NoteFailure("This program carries no patch data");
    return false;
  }
  progress_.SetStatusText("Creating PatchData....");
  std::string why;
  if (!ValidatePatchContainer(data, size, codePage_, &why, &container_)) {
    // The window shows the first line; the second is for whoever looks closer.
    NoteFailure("The patch data is damaged; download the patch again\n" + why);
    return false;
  }
  patchData = data;
  patchDataSize = size;
  return true;
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
