#pragma once
// The worker: one whole patch run on a thread of its own. It finds the
// installation folder and locks it against a second patcher, loads and
// checks the embedded release, compares the installed files, rebuilds and
// checks every listed file beside its installed one, installs them all once
// every one is right, and posts one result to its host.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/release_chain.h"
#include "container/release_loader.h"
#include "engine/compare_result.h"
#include "engine/local_file_reader.h"
#include "engine/patch_host.h"
#include "engine/patch_progress.h"
#include "engine/removal_plan.h"
#include "platform/files.h"
#include "platform/folder_lock.h"

// The release a run applies: the bytes the program carries or a file the
// front end chose. They must outlive the run.
struct CReleaseBytes {
  const uint8_t* data = nullptr;  // null: the program carries none
  uint64_t size = 0;
};

class CPatchWorker {
 public:
  // One run of `release`, answered and reported by `host`; both outlive it.
  CPatchWorker(CPatchHost& host, CReleaseBytes release);
  ~CPatchWorker();
  CPatchWorker(const CPatchWorker&) = delete;
  CPatchWorker& operator=(const CPatchWorker&) = delete;

  // Starts the worker thread on ThreadMain; false when it cannot be created.
  bool Start();
  // The thread entry: one run, one result posted to the host. Always
  // returns 0. Running out of memory anywhere ends the run with a reason.
  static unsigned ThreadMain(void* worker);

  // Takes one step of the release (the whole of a release of one step),
  // sets "Creating PatchData...." (the bar follows the unpacking of a
  // compressed one) and validates its container and manifest, keeping the
  // entries it checked for the passes that follow, in place of the step
  // before. False for a damaged release, or one whose names were written for
  // another code page than this system's.
  bool LoadPatchData(const CReleaseStep& step);
  // Makes every entry the plan makes (container order) into its working
  // file and installs them all. True only when every one was installed.
  bool RunPatch(const std::vector<CPlannedEntry>& plan);

  // Asks the run to stop, from any thread (an interrupt). Before the install
  // pass the run ends failed, its working files removed and the game as it
  // was; once installing, it finishes first, so no stop leaves a game of two
  // versions. True when the stop comes before the install pass.
  bool RequestStop();
  // What a stop says at a moment the worker waits (for an answer): whether
  // earlier steps changed the game.
  std::string StoppedText() const;

  // One snapshot for the window's repaint.
  void GetProgress(float& ratio, std::string& text);
  CPatchProgress& Progress() { return progress_; }
  // What the window shows once the run completed: "Patch Complete.", and
  // the files the user chose to leave as they were.
  std::string CompletionText() const;
  // Why the run failed: the first failure's reason and detail.
  const CPatchOutcome& Failure() const { return failure_; }

 private:
  // The run's steps, from the folder to the installed files.
  bool Run();
  bool FindInstallDir();
  // Loads the steps in turn until one serves the installed game: its old
  // version, or the one it makes (a run stopped between steps goes on from
  // there). Sizes cannot always tell a version from the next one, so the
  // earliest step that fits is taken: applying a step to a game it already
  // made changes nothing the later steps do not make again, while skipping
  // one would leave a game of two versions. `first` is its index; false,
  // with the versions served named, when none fits.
  bool FindFirstStep(const std::vector<CReleaseStep>& steps, size_t& first);
  // One step, loaded: compared, made and installed, its old files removed.
  bool ApplyStep();
  // One patcher per game folder; false when another one runs there.
  bool LockInstallDir();
  // Whether the game folder's disk holds every working file the run makes.
  bool HasRoomFor(const std::vector<CPlannedEntry>& entries);
  // The plan's entries the run makes; false when one is not the loaded
  // release's.
  bool MadeEntries(const std::vector<CPlannedEntry>& plan, std::vector<CPlannedEntry>& made);
  // The first pass: every entry made into its working file beside the
  // installed one and checked (a package rebuilt, an archive rebuilt and its
  // file unpacked); no installed file changes. False, with every working
  // file removed, as soon as one entry cannot be made or is not right.
  bool WriteWorkingFiles(const std::vector<CPlannedEntry>& entries);
  bool WritePatchedPackage(const CContainerEntry& entry, const std::string& tempPath,
                           CContentDigest& digest);
  // Makes one entry's working file and checks it: its path goes to `working`.
  bool MakeWorkingFile(const CPlannedEntry& planned, std::string& working);
  // Adds the installed bytes to an entry's payload that travels as
  // differences, where it is held: the payload becomes the one the builder
  // made. False, with the failure noted, when they cannot be read.
  bool AddInstalledBytes(const CContainerEntry& entry, const CManifestEntry& listed);
  // Unpacks an archive entry's file from its rebuilt archive, fed to `made`
  // as it is written.
  bool UnpackWorkingFile(const CContainerEntry& entry, const std::string& outputPath,
                         CContentDigest& made);
  // Whether a working file is the new version the manifest describes.
  bool IsAsListed(const CContainerEntry& entry, const CContentDigest& made);
  // Whether the payload a release unpacks as the run goes is the one its
  // manifest describes, all of it; notes the failure when not.
  bool IsPayloadSound();
  // The second pass: installs the working files the first made and checked.
  // True only when every entry was installed.
  bool CommitPatchedFiles(const std::vector<CPlannedEntry>& entries);
  // Moves a finished working file over the installed file, waiting while
  // another program holds either.
  bool InstallFile(const std::string& from, const std::string& name);
  // Removes the old version's files and folders the new one lacks (the
  // plan's); false, with the failure noted, at the first file that stays.
  bool RemoveOldFiles(platform::CFolderSyncs& folders);
  // Working files of any entry that an earlier run or a refused deletion
  // left behind.
  void RemoveLeftoverWorkingFiles();
  // Notes why the release, or a part of it unpacked as the run reaches it,
  // was refused.
  void NoteRefusal(CLoadRefusal refusal, const std::string& why);
  // Keeps the first reason only: later failures often follow from it.
  void NoteFailure(const std::string& reason, const std::string& detail = std::string());
  // Whether a stop was asked for before the install pass; notes the failure.
  bool Stopped();
  void PostResult(bool completed);

  CPatchHost& host_;
  const CReleaseBytes bytes_;
  // The release as loaded: its entries, its manifest, and a container
  // unpacked from a compressed release, which lasts as long as the worker,
  // as a container in the program's image would.
  CLoadedRelease release_;
  platform::CFolderLock folderLock_;
  CChunkRecord currentChunk_ = {};
  CLocalFileReader localReader_;
  // Per listed entry: its checked working file.
  std::vector<std::string> working_;
  std::vector<std::string> kept_;
  CRemovalPlan removals_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> installing_{false};
  // The version the game was brought to by the steps done so far.
  std::string reached_;
  CPatchOutcome failure_;
  CPatchProgress progress_;
};
