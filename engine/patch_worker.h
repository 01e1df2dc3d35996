#pragma once
// The worker: one whole patch run on a thread of its own. It finds the
// installation folder, loads and validates the embedded container, compares
// the installed packages, rebuilds every listed file into a temporary file,
// commits them, and posts one result message to the target window.

#include <cstdint>
#include <string>
#include <vector>

#include "container/patch_container.h"
#include "engine/local_file_reader.h"
#include "engine/patch_progress.h"
#include "platform/user.h"

// The result message: wParam 1 completed, 0 failed; lParam 0.
constexpr uint32_t WM_PATCH_RESULT = 0x0400 + 10;

class CPatchWorker {
 public:
  CPatchWorker();
  ~CPatchWorker();
  CPatchWorker(const CPatchWorker&) = delete;
  CPatchWorker& operator=(const CPatchWorker&) = delete;

  // Starts the worker thread on ThreadMain; false when it cannot be created.
  bool Start(platform::WindowHandle window, uint32_t message);
  // The thread entry: one run, one posted result. Always returns 0.
  static unsigned ThreadMain(void* worker);

  // Finds the embedded container, sets "Creating PatchData...." and validates
  // it, keeping the entries it checked for the passes that follow. False for
  // a missing or malformed container.
  bool LoadPatchData();
  // Rebuilds every listed entry (container order) into its temporary file and
  // commits them. True only when every listed file was installed.
  bool RunPatch(const std::vector<std::string>& names);

  // One snapshot for the window's repaint.
  void GetProgress(float& ratio, std::string& text);
  CPatchProgress& Progress() { return progress_; }
  // Why the run failed, for the status line: the first failure's reason.
  const std::string& Failure() const { return failure_; }

  const uint8_t* patchData = nullptr;
  uint32_t patchDataSize = 0;

 private:
  bool FindInstallDir();
  // The entries of the listed names, found in container order; false when a
  // name is not found after the one before it (the rest are left out).
  bool ListedEntries(const std::vector<std::string>& names,
                     std::vector<const CContainerEntry*>& entries);
  // The first pass: every entry rebuilt into its temporary file; no installed
  // file changes.
  void WriteWorkingFiles(const std::vector<const CContainerEntry*>& entries);
  bool WritePatchedPackage(const CContainerEntry& entry, const std::string& tempPath);
  // The second pass: verifies and installs the temporary files the first
  // wrote. True only when every entry was installed.
  bool CommitPatchedFiles(const std::vector<const CContainerEntry*>& entries);
  // Verifies, unpacks where needed and installs the index-th listed entry.
  bool CommitEntry(size_t index, const CContainerEntry& entry);
  // Moves a finished working file over the installed file, waiting while
  // another program holds either.
  bool InstallFile(const std::string& from, const std::string& name);
  // Working files of any entry that an earlier run or a refused deletion
  // left behind.
  void RemoveLeftoverWorkingFiles();
  // Keeps the first reason only: later failures often follow from it.
  void NoteFailure(const std::string& reason);
  void PostResult(uintptr_t wParam);

  platform::WindowHandle targetWindow_ = nullptr;
  uint32_t resultMessage_ = 0;
  CPatchContainer container_;
  CChunkRecord currentChunk_ = {};
  CLocalFileReader localReader_;
  // Per listed name: its temporary file was written whole and flushed.
  std::vector<bool> written_;
  std::string failure_;
  const uint32_t codePage_;
  CPatchProgress progress_;
};
