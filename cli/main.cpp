// The console patcher (qelpatch on Linux, qelpatch-console.exe on Windows):
// the terminal stands in for the window. As in the window program, the
// worker thread does all file work and posts one result; this thread only
// shows progress from GetProgress, three times a second, and waits for the
// result.
#include <atomic>
#include <memory>
#include <string>

#include "base/refusal.h"
#include "base/version.h"
#include "cli/patcher_options.h"
#include "cli/progress_line.h"
#include "cli/terminal_host.h"
#include "engine/carried_release.h"
#include "engine/failure_reason.h"
#include "engine/patch_worker.h"
#include "platform/command_line.h"
#include "platform/folder_listing.h"
#include "platform/interrupt_cleanup.h"
#include "platform/terminal.h"

namespace {
constexpr int kRepaintMilliseconds = 333;
// What the patcher tells whoever started it.
constexpr int kCompleted = 0;
constexpr int kFailed = 1;
constexpr int kRefusedCommandLine = 2;
constexpr int kCannotStart = 3;

int CannotStart(const std::string& message) {
  WriteTerminal(TerminalStream::kError, QELPATCH_PATCHER_NAME ": " + message + "\n");
  return kCannotStart;
}

// The run's last line, and its code.
int Ended(bool completed) {
  WriteTerminal(TerminalStream::kOutput,
                completed ? " Patch is completed.\n" : " Patch is failed.\n");
  return completed ? kCompleted : kFailed;
}

// What ends the run before it starts ends it as a failure in the run would.
int FailedBeforeTheRun(CProgressLine& line, const std::string& why) {
  line.EndWithFailure(why, std::string());
  return Ended(false);
}

// What an interrupt stops: the run, once it has started.
struct CInterruptible {
  CProgressLine* line = nullptr;
  CTerminalHost* host = nullptr;
  std::atomic<CPatchWorker*> worker{nullptr};
};

// Ctrl+C (or a closed terminal): a run asks its worker to stop, which ends
// it failed with nothing changed, or lets the install pass finish. Before
// the run, or at a question (nothing is written before one), the patcher
// ends at once.
bool Interrupted(void* context) {
  auto* run = static_cast<CInterruptible*>(context);
  CPatchWorker* worker = run->worker;
  if (worker != nullptr && !run->host->PromptOpen()) {
    worker->RequestStop();
    return true;
  }
  run->line->EndWithFailure(worker != nullptr ? worker->StoppedText() : kStoppedRun, std::string());
  ExitNow(Ended(false));
}

// --game takes the place of the stored installation path, which names a
// file in the folder: the folder followed by its separator does.
bool StoredPathOf(const std::string& folder, std::string& stored, std::string* why) {
  if (KindOfPath(folder) != PathKind::kFolder) return Refuse(why, folder + ": no such folder");
  stored = FolderWithSeparator(folder);
  if (stored.size() > CTerminalHost::kLongestStoredPath)
    return Refuse(why, folder + ": a path longer than the patcher's 1023 bytes");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CPatcherOptions options;
  std::string why;
  if (!ParsePatcherOptions(CommandLineArguments(argc, argv), options, &why)) {
    WriteTerminal(TerminalStream::kError, QELPATCH_PATCHER_NAME ": " + why + "\n" + kPatcherUsage);
    return kRefusedCommandLine;
  }
  if (options.help) {
    WriteTerminal(TerminalStream::kOutput, kPatcherUsage);
    return 0;
  }
  if (options.version) {
    WriteTerminal(TerminalStream::kOutput, QELPATCH_PATCHER_NAME " " QELPATCH_VERSION "\n");
    return 0;
  }
  const bool terminal = RedrawsLinesInPlace();
  CProgressLine line(terminal);
  // Never destroyed, as the worker below: the interrupts' thread may use it
  // until the process ends.
  auto* interruptible = new CInterruptible;
  interruptible->line = &line;
  HandleInterrupts(Interrupted, interruptible);
  std::string stored;
  if (!options.game.empty() && !StoredPathOf(options.game, stored, &why))
    return FailedBeforeTheRun(line, why);
  CReleaseBytes bytes = CarriedRelease();
  // Freed when the patcher ends before the run; once the worker runs, the
  // process ends without destroying it.
  std::unique_ptr<CChosenRelease> release;
  if (!options.release.empty()) {
    release.reset(new CChosenRelease);
    if (!release->Open(options.release, &why)) return CannotStart(why);
    // A file that was read but holds no release fails as a damaged one does.
    if (!release->FindRelease(&why)) return FailedBeforeTheRun(line, why);
    bytes = CReleaseBytes{release->Data(), release->Size()};
  }
  // None of these is ever destroyed: the worker thread may still be using
  // them when this thread ends the process.
  auto* host = new CTerminalHost(stored, terminal);
  auto* worker = new CPatchWorker(*host, bytes);
  interruptible->host = host;
  interruptible->worker = worker;
  if (!worker->Start()) return CannotStart("cannot start the worker thread");

  CPatchOutcome outcome;
  float ratio = 0;
  std::string text;
  while (!host->WaitFor(kRepaintMilliseconds, outcome)) {
    if (host->PromptOpen()) continue;
    worker->GetProgress(ratio, text);
    line.Show(ratio, text);
  }
  if (outcome.completed) {
    line.Show(1.0f, worker->CompletionText());
    line.End();
  } else {
    line.EndWithFailure(outcome.reason, outcome.detail);
  }

  ExitNow(Ended(outcome.completed));
}
